#include "db/postgres/PgRoles.h"

#include "db/Schema.h"
#include "db/postgres/PgError.h"

namespace quarn {

namespace {

constexpr const char* kPlanTables =
    R"("tblBlock", "tblPlayer", "tblTraining", "tblDisplay", "tblDisplayOption", "tblPause",
       "tblPredicter")";
constexpr const char* kResultTables =
    R"("datUser", "datRole", "datTrial", "datPlaying", "datTeamMember", "datTeamOrder", "datTeam")";

}  // namespace

std::string quotedIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void grantWorkstationRole(PgConnection& connection, const std::string& role) {
  if (role.empty()) throw PgError(PgErrorKind::Other, "", "The workstation role has no name");
  const PgResult found = connection.exec(
      "SELECT rolsuper, current_schema() AS schema FROM pg_roles WHERE rolname = $1", {role});
  if (found.rows.empty()) {
    throw PgError(PgErrorKind::Other, "",
                  "The role " + role +
                      " does not exist: make it first, with its password (as a superuser: "
                      "CREATE ROLE " +
                      quotedIdentifier(role) + " LOGIN PASSWORD '...')");
  }
  if (std::get<int64_t>(found.at(0, "rolsuper")) != 0) {
    throw PgError(PgErrorKind::Other, "",
                  "The role " + role + " is a superuser: a workstation role must not be one");
  }
  const std::string schema = quotedIdentifier(std::get<std::string>(found.at(0, "schema")));
  const std::string to = " TO " + quotedIdentifier(role);

  PgTransaction transaction(connection);
  connection.exec(std::string("REVOKE ALL ON ") + kPlanTables + ", " + kResultTables + ", " +
                  quotedIdentifier(kVersionTable) + " FROM " + quotedIdentifier(role));
  connection.exec("GRANT USAGE ON SCHEMA " + schema + to);
  connection.exec(std::string("GRANT SELECT ON ") + kPlanTables + ", " +
                  quotedIdentifier(kVersionTable) + to);
  // The login reads a participant's User ID and setting; the questionnaire's
  // answers (age, gender, year, major) are for the moderator's eyes only.
  connection.exec(R"(GRANT SELECT ("Subject", "Setting", rowid),
                           INSERT ("Subject", "Setting", "Age", "Gender", "SchoolYear", "Major")
                     ON "datUser")" +
                  to);
  connection.exec(R"(GRANT SELECT, INSERT ON "datRole", "datTrial")" + to);
  connection.exec(R"(GRANT SELECT, INSERT, DELETE, UPDATE ("LastWeek") ON "datPlaying")" + to);
  // A team's members join it and store their orders; nothing of a team is
  // changed or taken back from a workstation.
  connection.exec(R"(GRANT SELECT, INSERT ON "datTeamMember", "datTeamOrder", "datTeam")" + to);
  transaction.commit();
}

}  // namespace quarn
