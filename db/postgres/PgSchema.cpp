#include "db/postgres/PgSchema.h"

#include "db/postgres/PgError.h"
#include "db/postgres/PgRoles.h"

namespace quarn {

namespace {

bool serverHasTable(PgConnection& connection, const std::string& table) {
  return !connection
              .exec(
                  "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND "
                  "tablename = $1",
                  {table})
              .rows.empty();
}

std::string script(const std::vector<std::string>& statements) {
  std::string text;
  for (const std::string& statement : statements) text += statement + ";\n";
  return text;
}

}  // namespace

void createSchema(PgConnection& connection, const Schema& schema) {
  PgTransaction transaction(connection);
  try {
    connection.execScript(script(createStatements(schema, DatabaseEngine::Server)));
    createWorkstationFunctions(connection);
  } catch (const PgError& e) {
    if (e.sqlState() != "42P07") throw;  // duplicate_table
    throw PgError(PgErrorKind::Other, e.sqlState(),
                  "The database already holds an experiment's tables; nothing was created (" +
                      e.description() + ")");
  }
  transaction.commit();
}

int serverSchemaVersion(PgConnection& connection, const Schema& schema) {
  const bool hasVersionTable = serverHasTable(connection, kVersionTable);
  std::optional<int64_t> stored;
  if (hasVersionTable) {
    const PgResult result =
        connection.exec(std::string(R"(SELECT max("Version") FROM ")") + kVersionTable + "\"");
    if (const auto* version = std::get_if<int64_t>(&result.rows.at(0).at(0))) stored = *version;
  }
  // The experiment tables count only where no version is recorded: a
  // recorded server is asked two questions, not three.
  const bool hasExperimentTables = !hasVersionTable && serverHasTable(connection, "datUser");
  return recordedVersion(hasVersionTable, hasExperimentTables, stored, "on the server", schema);
}

std::optional<SchemaUpgrade> upgradeServer(PgConnection& connection, const Schema& schema) {
  if (const int version = serverSchemaVersion(connection, schema);
      version == 0 || version == schema.version) {
    return std::nullopt;
  }
  PgTransaction transaction(connection);
  // One upgrade of a schema at a time: the lock is held to the commit.
  connection.exec("SELECT pg_advisory_xact_lock(hashtext(current_schema()))");
  const int version = serverSchemaVersion(connection, schema);
  if (version == 0 || version == schema.version) return std::nullopt;
  connection.execScript(script(upgradeStatements(schema, DatabaseEngine::Server, version)));
  // The marks and the teams' rows are changed only through their functions
  // now; a workstation role granted before may no longer change them
  // directly.
  createWorkstationFunctions(connection);
  renewWorkstationRoles(connection);
  transaction.commit();
  return SchemaUpgrade{version, schema.version, ""};
}

}  // namespace quarn
