#include "db/postgres/PgRoles.h"

#include <iterator>
#include <vector>

#include "db/Schema.h"
#include "db/StoreSql.h"
#include "db/postgres/PgError.h"

namespace quarn {

namespace {

constexpr const char* kPlanTables =
    R"("tblBlock", "tblPlayer", "tblTraining", "tblDisplay", "tblDisplayOption", "tblPause",
       "tblSetting", "tblPredicter")";
constexpr const char* kResultTables =
    R"("datUser", "datRole", "datTrial", "datPlaying", "datTeamMember", "datTeamOrder", "datTeam")";

constexpr const char* kMarkFunctionNames[] = {"quarn_claim_mark", "quarn_take_over_mark",
                                              "quarn_refresh_mark", "quarn_release_mark"};

// The parameters of what the participant does, in the order of
// kMarkActivityColumns.
constexpr const char* kActivityParameters[] = {
    "p_state text",   "p_state_since bigint", "p_trial bigint", "p_week bigint",
    "p_weeks bigint", "p_role text",          "p_cost bigint"};
static_assert(std::size(kActivityParameters) == std::size(kMarkActivityColumns));

std::string parameterName(const std::string& parameter) {
  return parameter.substr(0, parameter.find(' '));
}

std::string activityParameters() {
  std::string list;
  for (const char* parameter : kActivityParameters) list += std::string(", ") + parameter;
  return list;
}

constexpr const char* kServerEpoch = "extract(epoch FROM now())::bigint";

std::string insertNewMark() {
  std::string values =
      std::string("p_subject, p_setting, p_host, p_process, ") + kServerEpoch + ", " + kServerEpoch;
  for (const char* parameter : kActivityParameters) values += ", " + parameterName(parameter);
  return R"(INSERT INTO "datPlaying" ()" + markColumnsSql() + R"(, "Token") VALUES ()" + values +
         ", p_token);\n";
}

std::string refreshMark() {
  std::string set = std::string(R"("LastWeek" = )") + kServerEpoch;
  for (size_t c = 0; c < std::size(kMarkActivityColumns); ++c) {
    set += std::string(", \"") + kMarkActivityColumns[c] +
           "\" = " + parameterName(kActivityParameters[c]);
  }
  return R"(UPDATE "datPlaying" SET )" + set +
         R"( WHERE "Subject" = p_subject AND "Token" = p_token AND p_token <> '';
)";
}

// Each function's head: run with its owner's rights, on this schema's tables
// whatever the caller's search_path.
std::string functionHead(const std::string& schema, const std::string& name,
                         const std::string& parameters) {
  return "CREATE OR REPLACE FUNCTION " + schema + "." + name + "(" + parameters +
         ")\n  RETURNS boolean LANGUAGE plpgsql SECURITY DEFINER SET search_path = " + schema +
         ", pg_temp AS $fn$\n";
}

constexpr const char* kRefuseEmptyToken = R"(  IF coalesce(p_token, '') = '' THEN
    RAISE EXCEPTION 'A workstation mark needs its secret' USING ERRCODE = '22023';
  END IF;
)";

std::string markFunctions(const std::string& schema) {
  const std::string newMark = "p_subject text, p_setting text, p_host text, p_process bigint" +
                              activityParameters() + ", p_token text";
  std::string sql;
  sql += functionHead(schema, "quarn_claim_mark", newMark) + "BEGIN\n" + kRefuseEmptyToken + "  " +
         insertNewMark() +
         "  RETURN true;\nEXCEPTION WHEN unique_violation THEN\n  RETURN false;\nEND\n$fn$;\n";
  // A collision undoes the removal too: the block is one subtransaction.
  sql += functionHead(schema, "quarn_take_over_mark",
                      "p_seen_subject text, p_seen_host text, p_seen_process bigint, "
                      "p_seen_since bigint, " +
                          newMark) +
         "BEGIN\n" + kRefuseEmptyToken +
         R"(  DELETE FROM "datPlaying" WHERE "Subject" = p_seen_subject AND "Host" = p_seen_host
    AND "Process" = p_seen_process AND "Since" = p_seen_since;
  IF NOT FOUND THEN
    RETURN false;
  END IF;
  )" + insertNewMark() +
         "  RETURN true;\nEXCEPTION WHEN unique_violation THEN\n  RETURN false;\nEND\n$fn$;\n";
  sql += functionHead(schema, "quarn_refresh_mark",
                      "p_subject text, p_token text" + activityParameters()) +
         "BEGIN\n  " + refreshMark() + "  RETURN FOUND;\nEND\n$fn$;\n";
  sql += functionHead(schema, "quarn_release_mark", "p_subject text, p_token text") +
         R"(BEGIN
  DELETE FROM "datPlaying" WHERE "Subject" = p_subject AND "Token" = p_token AND p_token <> '';
  RETURN FOUND;
END
$fn$;
)";
  return sql;
}

std::string currentSchema(PgConnection& connection) {
  return std::get<std::string>(connection.exec("SELECT current_schema()").rows.at(0).at(0));
}

std::string markFunctionList(const std::string& schema) {
  std::string list;
  for (const char* name : kMarkFunctionNames) {
    list += (list.empty() ? "" : ", ") + schema + "." + name;
  }
  return list;
}

// The rights of grantWorkstationRole(), given within the caller's
// transaction.
void giveWorkstationRights(PgConnection& connection, const std::string& role) {
  const std::string schema = quotedIdentifier(currentSchema(connection));
  const std::string to = " TO " + quotedIdentifier(role);
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
  // Every workstation shares the role: reading a mark's secret would let
  // one workstation refresh or remove another's mark.
  connection.exec("GRANT SELECT (" + markColumnsSql() + R"() ON "datPlaying")" + to);
  connection.exec("GRANT EXECUTE ON FUNCTION " + markFunctionList(schema) + to);
  // A team's members join it and store their orders; nothing of a team is
  // changed or taken back from a workstation.
  connection.exec(R"(GRANT SELECT, INSERT ON "datTeamMember", "datTeamOrder", "datTeam")" + to);
}

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
  const PgResult found =
      connection.exec("SELECT rolsuper FROM pg_roles WHERE rolname = $1", {role});
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
  PgTransaction transaction(connection);
  createMarkFunctions(connection);
  giveWorkstationRights(connection, role);
  transaction.commit();
}

void createMarkFunctions(PgConnection& connection) {
  const std::string schema = quotedIdentifier(currentSchema(connection));
  connection.execScript(markFunctions(schema));
  const PgResult owner = connection.exec(
      R"(SELECT tableowner FROM pg_tables
         WHERE schemaname = current_schema() AND tablename = 'datPlaying')");
  const std::string ownerName = quotedIdentifier(std::get<std::string>(owner.rows.at(0).at(0)));
  for (const char* name : kMarkFunctionNames) {
    const std::string function = schema + "." + name;
    // Made by a superuser they would run with a superuser's rights.
    connection.exec("ALTER FUNCTION " + function + " OWNER TO " + ownerName);
    connection.exec("REVOKE ALL ON FUNCTION " + function + " FROM PUBLIC");
  }
}

void renewWorkstationRoles(PgConnection& connection) {
  const PgResult roles = connection.exec(
      R"(SELECT DISTINCT r.rolname
         FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a
              JOIN pg_roles r ON r.oid = a.grantee
         WHERE c.oid = to_regclass(format('%I."datPlaying"', current_schema()))
           AND a.privilege_type = 'INSERT' AND a.grantee <> c.relowner AND NOT r.rolsuper
           AND NOT has_table_privilege(r.oid, format('%I."datRole"', current_schema()),
                                       'UPDATE'))");
  for (const std::vector<PgValue>& row : roles.rows) {
    giveWorkstationRights(connection, std::get<std::string>(row.at(0)));
  }
}

}  // namespace quarn
