#include "db/postgres/PgRoles.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>

#include "base/Random.h"
#include "db/Schema.h"
#include "db/StoreSql.h"
#include "db/postgres/PgError.h"

namespace quarn {

namespace {

// The tables of the schema, quoted and listed: the plan's (named tbl...) or
// those the program writes (named dat...).
std::string tableList(const char* prefix) {
  std::string list;
  for (const TableDescription& table : quarn::currentSchema().tables) {
    if (!table.name.starts_with(prefix)) continue;
    list += (list.empty() ? "" : ", ") + quotedIdentifier(table.name);
  }
  return list;
}

constexpr const char* kWorkstationFunctionNames[] = {
    "quarn_claim_mark",         "quarn_take_over_mark",    "quarn_refresh_mark",
    "quarn_release_mark",       "quarn_join_team",         "quarn_store_team_order",
    "quarn_record_team_member", "quarn_store_clock_order", "quarn_class_password_head",
    "quarn_class_password_is"};

// A function's parameter for a column: "StateSince" is p_state_since.
std::string parameterName(const std::string& column) {
  std::string name = "p_";
  for (const char c : column) {
    if (std::isupper(static_cast<unsigned char>(c)) && name.size() > 2) name += '_';
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name;
}

std::string parameterType(const std::string& table, const std::string& column) {
  const ColumnDescription* described = findColumn(quarn::currentSchema(), table, column);
  switch (described->type) {
    case ColumnType::Integer:
      return "bigint";
    case ColumnType::Real:
      return "double precision";
    case ColumnType::Text:
      return "text";
  }
  return "";
}

// The parameters of what the participant does, one for each activity
// column, as the functions declare them.
std::string activityParameters() {
  std::string list;
  for (const auto& column : activityColumns()) {
    list += ", " + parameterName(column.column) + " " + parameterType("datPlaying", column.column);
  }
  return list;
}

constexpr const char* kServerEpoch = "extract(epoch FROM now())::bigint";

std::string insertNewMark() {
  std::string values =
      std::string("p_subject, p_setting, p_host, p_process, ") + kServerEpoch + ", " + kServerEpoch;
  for (const auto& column : activityColumns()) values += ", " + parameterName(column.column);
  return R"(INSERT INTO "datPlaying" ()" + markColumnsSql() + R"(, "Token") VALUES ()" + values +
         ", p_token);\n";
}

std::string refreshMark() {
  std::string set = std::string(R"("LastWeek" = )") + kServerEpoch;
  for (const auto& column : activityColumns()) {
    set += ", \"" + column.column + "\" = " + parameterName(column.column);
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

// The team functions' guard: a caller that may insert into `table` itself
// (the owner's administration) needs nothing more; a workstation must hold
// the mark of p_subject (its secret p_token), and `more` must hold too.
std::string teamGuard(const std::string& table, const std::string& more) {
  return R"(  IF NOT has_table_privilege(session_user, ')" + table + R"(', 'INSERT') THEN
    IF coalesce(p_token, '') = '' OR NOT EXISTS (
        SELECT 1 FROM "datPlaying" WHERE "Subject" = p_subject AND "Token" = p_token) THEN
      RAISE EXCEPTION 'This workstation does not hold the mark of %', p_subject
        USING ERRCODE = '42501';
    END IF;
)" + more +
         "  END IF;\n";
}

// Orders and trial rows are stored only for a member of the team.
constexpr const char* kMemberOfTeam = R"(    IF NOT EXISTS (SELECT 1 FROM "datTeamMember"
        WHERE "Setting" = p_setting AND "Team" = p_team AND "Member" = p_member
              AND "Subject" = p_subject) THEN
      RAISE EXCEPTION '% is not member % of team % of setting %', p_subject, p_member, p_team,
        p_setting USING ERRCODE = '42501';
    END IF;
)";

// A workstation joins a team only as its next member, never a team the
// moderator fixed, and never as a member number that a simulated player
// plays from the start (a class's smaller team).
constexpr const char* kNextMember = R"(    IF p_member <> (SELECT count(*) + 1 FROM "datTeamMember"
                    WHERE "Setting" = p_setting AND "Team" = p_team)
       OR EXISTS (SELECT 1 FROM "datTeamMember"
                  WHERE "Setting" = p_setting AND "Team" = p_team
                        AND ("Fixed" <> 0 OR "Subject" = p_subject))
       OR EXISTS (SELECT 1 FROM "datTeam"
                  WHERE "Setting" = p_setting AND "Team" = p_team AND "Member" = p_member
                        AND "Player" IS NOT NULL AND "Subject" IS NULL) THEN
      RAISE EXCEPTION '% cannot join team % of setting % as member %', p_subject, p_team,
        p_setting, p_member USING ERRCODE = '42501';
    END IF;
)";

// The week clock's order: a workstation must hold the mark of the caller,
// a member of the team, and the order's member must be that member of the
// team (the owner's administration needs neither). For another member than
// the caller the week's time must have run out by the server's clock: the
// week begins when the last order of the week before was stored (week 1:
// its first order), and lasts the setting's WeekSeconds.
// The end of a team order's insert: nothing is stored for a member a
// simulated player replaces in that experiment trial from that week on,
// nor a second order of the week; the function answers whether it stored.
constexpr const char* kUnlessReplaced = R"(
    WHERE NOT EXISTS (
      SELECT 1 FROM "datTeam"
      WHERE "Setting" = p_setting AND "Team" = p_team AND "Trial" = p_trial
            AND "Member" = p_member AND "Player" IS NOT NULL AND "FromWeek" <= p_week
            AND p_training = 0)
    ON CONFLICT DO NOTHING;
  RETURN FOUND;
END
$fn$;
)";

constexpr const char* kClockOrderChecks = R"(DECLARE
  v_seconds bigint;
  v_start bigint;
BEGIN
  IF NOT has_table_privilege(session_user, '"datTeamOrder"', 'INSERT') THEN
    IF coalesce(p_token, '') = '' OR NOT EXISTS (
        SELECT 1 FROM "datPlaying" WHERE "Subject" = p_caller AND "Token" = p_token) THEN
      RAISE EXCEPTION 'This workstation does not hold the mark of %', p_caller
        USING ERRCODE = '42501';
    END IF;
    IF NOT EXISTS (SELECT 1 FROM "datTeamMember"
        WHERE "Setting" = p_setting AND "Team" = p_team AND "Subject" = p_caller)
       OR NOT EXISTS (SELECT 1 FROM "datTeamMember"
        WHERE "Setting" = p_setting AND "Team" = p_team AND "Member" = p_member
              AND "Subject" = p_subject) THEN
      RAISE EXCEPTION '% cannot order for member % of team % of setting %', p_caller, p_member,
        p_team, p_setting USING ERRCODE = '42501';
    END IF;
  END IF;
  IF p_caller IS DISTINCT FROM p_subject THEN
    SELECT "WeekSeconds" INTO v_seconds FROM "tblSetting" WHERE "Setting" = p_setting
      ORDER BY rowid LIMIT 1;
    IF p_week > 1 THEN
      SELECT max("Stored") INTO v_start FROM "datTeamOrder"
        WHERE "Setting" = p_setting AND "Team" = p_team AND "Trial" = p_trial
              AND "Training" = p_training AND "Week" = p_week - 1;
    ELSE
      SELECT min("Stored") INTO v_start FROM "datTeamOrder"
        WHERE "Setting" = p_setting AND "Team" = p_team AND "Trial" = p_trial
              AND "Training" = p_training AND "Week" = 1;
    END IF;
    IF coalesce(v_seconds, 0) <= 0 OR v_start IS NULL
       OR extract(epoch FROM now()) < v_start + v_seconds THEN
      RETURN false;
    END IF;
  END IF;
)";

// A team function's parameter for a column. The order's TransactionTime is
// p_time, as the function was first made: a parameter's name cannot change
// when a function is made anew.
std::string teamParameterName(const std::string& column) {
  return column == "TransactionTime" ? "p_time" : parameterName(column);
}

std::string teamParameters(const TeamFunction& function) {
  std::string list;
  for (const std::string& column : parameterColumns(function)) {
    list += teamParameterName(column) + " " + parameterType(function.table, column) + ", ";
  }
  return list + "p_token text";
}

template <class Value>
const Value* findPair(const std::vector<std::pair<std::string, Value>>& pairs,
                      const std::string& key) {
  for (const auto& [name, value] : pairs) {
    if (name == key) return &value;
  }
  return nullptr;
}

// The INSERT of a team function's row up to its values, and those values:
// each parameter, or what the function fills in.
std::pair<std::string, std::string> teamInsert(const TeamFunction& function) {
  std::vector<std::string> columns;
  std::string values;
  for (const ColumnDescription& column :
       findTable(quarn::currentSchema(), function.table)->columns) {
    if (std::find(function.unset.begin(), function.unset.end(), column.name) !=
        function.unset.end()) {
      continue;
    }
    columns.push_back(column.name);
    const std::string* filled = findPair(function.filled, column.name);
    values += (values.empty() ? "" : ", ") + (filled ? *filled : teamParameterName(column.name));
  }
  return {
      "  INSERT INTO " + quotedIdentifier(function.table) + " (" + columnListSql(columns) + ")\n",
      values};
}

std::string teamFunctionHead(const std::string& schema, const TeamFunction& function) {
  return functionHead(schema, function.name, teamParameters(function));
}

// The functions through which a workstation writes a team's rows: joining
// (datTeamMember), a typed order (datTeamOrder, unless a simulated player
// replaces the member from that week of that experiment trial; dated by
// the server's clock; true when stored) and the member's row of a trial
// (datTeam, never a replacement).
std::string teamFunctions(const std::string& schema) {
  std::string sql;
  const auto [joinInsert, joinValues] = teamInsert(joinTeamFunction());
  sql += teamFunctionHead(schema, joinTeamFunction()) + "BEGIN\n" +
         teamGuard("\"datTeamMember\"", kNextMember) + joinInsert + "    VALUES (" + joinValues +
         R"();
  RETURN true;
END
$fn$;
)";
  const auto [orderInsert, orderValues] = teamInsert(storeTeamOrderFunction());
  sql += teamFunctionHead(schema, storeTeamOrderFunction()) + "BEGIN\n" +
         teamGuard("\"datTeamOrder\"", kMemberOfTeam) + orderInsert + "    SELECT " + orderValues +
         kUnlessReplaced;
  const auto [clockInsert, clockValues] = teamInsert(storeClockOrderFunction());
  std::string clockParameters = teamParameters(storeClockOrderFunction());
  clockParameters.insert(clockParameters.size() - std::string("p_token text").size(),
                         "p_caller text, ");
  sql += functionHead(schema, storeClockOrderFunction().name, clockParameters) + kClockOrderChecks +
         clockInsert + "    SELECT " + clockValues + kUnlessReplaced;
  const auto [memberInsert, memberValues] = teamInsert(recordTeamMemberFunction());
  sql += teamFunctionHead(schema, recordTeamMemberFunction()) + "BEGIN\n" +
         teamGuard("\"datTeam\"", kMemberOfTeam) + memberInsert + "    VALUES (" + memberValues +
         R"() ON CONFLICT DO NOTHING;
  RETURN FOUND;
END
$fn$;
)";
  return sql;
}

// The functions through which a workstation's login checks a class's
// teacher password without reading its hash: the hash's head (scheme,
// iterations, salt) to make the given password's hash under, and whether
// the stored hash is that.
std::string classFunctions(const std::string& schema) {
  const std::string head = " LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = " + schema +
                           ", pg_temp AS $fn$\n";
  return "CREATE OR REPLACE FUNCTION " + schema +
         ".quarn_class_password_head(p_code text)\n  RETURNS text" + head +
         R"(BEGIN
  RETURN (SELECT left("Password", length("Password") - strpos(reverse("Password"), '$'))
          FROM "datClass" WHERE "Code" = p_code AND strpos("Password", '$') > 0);
END
$fn$;
)" + "CREATE OR REPLACE FUNCTION " +
         schema + ".quarn_class_password_is(p_code text, p_hash text)\n  RETURNS boolean" + head +
         R"(BEGIN
  RETURN EXISTS (SELECT 1 FROM "datClass" WHERE "Code" = p_code AND "Password" = p_hash);
END
$fn$;
)";
}

// A class's columns a server reads: every one but the teacher password's
// hash.
std::string classColumnsRead() {
  std::vector<std::string> columns;
  for (const ColumnDescription& column : findTable(quarn::currentSchema(), "datClass")->columns) {
    if (column.name != "Password") columns.push_back(column.name);
  }
  return columnListSql(columns);
}

std::string currentSchema(PgConnection& connection) {
  return std::get<std::string>(connection.exec("SELECT current_schema()").rows.at(0).at(0));
}

std::string quotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + quotedIdentifier(name);
  return list;
}

std::string workstationFunctionList(const std::string& schema) {
  std::string list;
  for (const char* name : kWorkstationFunctionNames) {
    list += (list.empty() ? "" : ", ") + schema + "." + name;
  }
  return list;
}

// The rights of grantWorkstationRole(), given within the caller's
// transaction.
void giveWorkstationRights(PgConnection& connection, const std::string& role) {
  const std::string schema = quotedIdentifier(currentSchema(connection));
  const std::string to = " TO " + quotedIdentifier(role);
  const std::string planTables = tableList("tbl");
  connection.exec("REVOKE ALL ON " + planTables + ", " + tableList("dat") + ", " +
                  quotedIdentifier(kVersionTable) + " FROM " + quotedIdentifier(role));
  connection.exec("GRANT USAGE ON SCHEMA " + schema + to);
  connection.exec("GRANT SELECT ON " + planTables + ", " + quotedIdentifier(kVersionTable) + to);
  // The login reads a participant's User ID and setting; the questionnaire's
  // answers (age, gender, year, major) are for the moderator's eyes only.
  connection.exec(R"(GRANT SELECT ("Subject", "Setting", rowid), INSERT ()" +
                  quotedList(participantColumns().columns()) + R"() ON "datUser")" + to);
  connection.exec(R"(GRANT SELECT, INSERT ON "datRole", "datTrial")" + to);
  // Every workstation shares the role: reading a mark's secret would let
  // one workstation refresh or remove another's mark.
  connection.exec("GRANT SELECT (" + markColumnsSql() + R"() ON "datPlaying")" + to);
  connection.exec("GRANT EXECUTE ON FUNCTION " + workstationFunctionList(schema) + to);
  // A team's members join it, store their orders and their trials' rows
  // only through the team functions, each for a member whose mark the
  // workstation holds: one workstation cannot write another member's rows.
  connection.exec(R"(GRANT SELECT ON "datTeamMember", "datTeamOrder", "datTeam")" + to);
  // A server serves a class's students and its teacher's page: it reads the
  // class (its teacher password only through the class functions), records
  // who joined and their teams, and the teacher's start, pause and words.
  connection.exec("GRANT SELECT (" + classColumnsRead() +
                  R"(), UPDATE ("State", "PausesPassed", "TrainingsEnded") ON "datClass")" + to);
  connection.exec(R"(GRANT SELECT, INSERT, UPDATE ("Team") ON "datClassMember")" + to);
}

}  // namespace

const TeamFunction& joinTeamFunction() {
  // A member who joins by arriving is not fixed.
  static const TeamFunction function{"quarn_join_team", "datTeamMember", {{"Fixed", "0"}}, {}};
  return function;
}

const TeamFunction& storeTeamOrderFunction() {
  // A typed order: the clock's come through quarn_store_clock_order.
  static const TeamFunction function{
      "quarn_store_team_order", "datTeamOrder", {{"Stored", kServerEpoch}, {"Clock", "0"}}, {}};
  return function;
}

const TeamFunction& storeClockOrderFunction() {
  static const TeamFunction function{
      "quarn_store_clock_order", "datTeamOrder", {{"Stored", kServerEpoch}, {"Clock", "1"}}, {}};
  return function;
}

std::string clockOrderCallSql() {
  std::string sql = teamFunctionCallSql(storeClockOrderFunction());
  // The caller's User ID before the secret.
  return sql.insert(sql.size() - 2, "?, ");
}

const TeamFunction& recordTeamMemberFunction() {
  // Only the moderator's replacement names a simulated player.
  static const TeamFunction function{
      "quarn_record_team_member", "datTeam", {}, {"Player", "FromWeek"}};
  return function;
}

std::vector<std::string> parameterColumns(const TeamFunction& function) {
  std::vector<std::string> columns;
  for (const ColumnDescription& column :
       findTable(quarn::currentSchema(), function.table)->columns) {
    const bool unset = std::find(function.unset.begin(), function.unset.end(), column.name) !=
                       function.unset.end();
    if (!unset && !findPair(function.filled, column.name)) columns.push_back(column.name);
  }
  return columns;
}

std::string teamFunctionCallSql(const TeamFunction& function) {
  std::string arguments;
  for (const std::string& column : parameterColumns(function)) {
    const bool text = parameterType(function.table, column) == "text";
    arguments += text ? "?, " : "CAST(? AS " + parameterType(function.table, column) + "), ";
  }
  return "SELECT " + function.name + "(" + arguments + "?)";
}

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
  createWorkstationFunctions(connection);
  giveWorkstationRights(connection, role);
  transaction.commit();
}

void createWorkstationFunctions(PgConnection& connection) {
  const std::string schema = quotedIdentifier(currentSchema(connection));
  connection.execScript(markFunctions(schema) + teamFunctions(schema) + classFunctions(schema));
  const PgResult owner = connection.exec(
      R"(SELECT tableowner FROM pg_tables
         WHERE schemaname = current_schema() AND tablename = 'datPlaying')");
  const std::string ownerName = quotedIdentifier(std::get<std::string>(owner.rows.at(0).at(0)));
  for (const char* name : kWorkstationFunctionNames) {
    const std::string function = schema + "." + name;
    // Made by a superuser they would run with a superuser's rights.
    connection.exec("ALTER FUNCTION " + function + " OWNER TO " + ownerName);
    connection.exec("REVOKE ALL ON FUNCTION " + function + " FROM PUBLIC");
  }
}

std::vector<std::pair<std::string, std::string>> createWorkstationLogins(
    PgConnection& connection, const std::string& role, const std::vector<std::string>& logins) {
  std::vector<std::pair<std::string, std::string>> made;
  PgTransaction transaction(connection);
  for (const std::string& login : logins) {
    if (login.empty()) throw PgError(PgErrorKind::Other, "", "A workstation's login has no name");
    if (!connection.exec("SELECT 1 FROM pg_roles WHERE rolname = $1", {login}).rows.empty()) {
      throw PgError(PgErrorKind::Other, "",
                    "The role " + login +
                        " exists already: name a new one for each workstation (a lost password "
                        "is set anew by a superuser: ALTER ROLE " +
                        quotedIdentifier(login) + " PASSWORD '...')");
    }
    const std::string password = systemSecret(16);
    // The encrypted form holds no quote: it is hex and base64 digits.
    connection.exec("CREATE ROLE " + quotedIdentifier(login) + " LOGIN INHERIT PASSWORD '" +
                    connection.encryptedPassword(password, login) + "' IN ROLE " +
                    quotedIdentifier(role));
    made.emplace_back(login, password);
  }
  transaction.commit();
  return made;
}

void renewWorkstationRoles(PgConnection& connection) {
  const PgResult roles = connection.exec(
      R"(SELECT DISTINCT r.rolname
         FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a
              JOIN pg_roles r ON r.oid = a.grantee
         WHERE c.oid = to_regclass(format('%I."datRole"', current_schema()))
           AND a.privilege_type = 'INSERT' AND a.grantee <> c.relowner AND NOT r.rolsuper
           AND NOT has_table_privilege(r.oid, format('%I."datRole"', current_schema()),
                                       'UPDATE'))");
  for (const std::vector<PgValue>& row : roles.rows) {
    giveWorkstationRights(connection, std::get<std::string>(row.at(0)));
  }
}

}  // namespace quarn
