#include "db/SchemaUpgrade.h"

#include <filesystem>

#include "db/DbError.h"
#include "db/sqlcipher/SqlTranslation.h"

namespace quarn {

namespace {

bool fileHasTable(SqlCipherConnection& connection, const std::string& table) {
  return !connection
              .query(R"(SELECT "name" FROM "sqlite_master" WHERE "type" = 'table' AND "name" = ?)",
                     {table})
              .empty();
}

// The copy of the file kept before its upgrade from `version`; a copy left
// by an earlier upgrade is never written over.
std::string backupPath(const std::string& path, int version) {
  const std::string first = path + ".bak-" + std::to_string(version);
  std::string candidate = first;
  for (int n = 2; std::filesystem::exists(candidate); ++n) {
    candidate = first + "-" + std::to_string(n);
  }
  return candidate;
}

}  // namespace

std::string describeUpgrade(const SchemaUpgrade& upgrade, const std::string& location) {
  std::string text = "The database " + location + " was upgraded from schema version " +
                     std::to_string(upgrade.from) + " to " + std::to_string(upgrade.to) + ".";
  if (!upgrade.backup.empty()) text += " The file as it was is kept as " + upgrade.backup + ".";
  return text;
}

int recordedVersion(bool hasVersionTable, bool hasExperimentTables,
                    const std::optional<int64_t>& stored, const std::string& location,
                    const Schema& schema) {
  if (!hasVersionTable) return hasExperimentTables ? 1 : 0;
  const int64_t version = stored.value_or(1);
  if (version > schema.version) {
    throw DbError(DbErrorKind::Other, kErrUnrecognizedFormat,
                  "The database " + location + " has schema version " + std::to_string(version) +
                      ", newer than this Quarn Game knows (up to " +
                      std::to_string(schema.version) +
                      "): open it with the Quarn Game that made it, or a later one");
  }
  return static_cast<int>(version);
}

int fileSchemaVersion(SqlCipherConnection& connection, const Schema& schema) {
  const bool hasVersionTable = fileHasTable(connection, kVersionTable);
  std::optional<int64_t> stored;
  if (hasVersionTable) {
    const Rows rows = connection.query(std::string(R"(SELECT max("Version") AS "v" FROM ")") +
                                       kVersionTable + "\"");
    if (!rows.empty() && !rows.front().cell("v").isNull())
      stored = rows.front().cell("v").toInt32();
  }
  return recordedVersion(hasVersionTable, fileHasTable(connection, "datUser"), stored,
                         connection.path(), schema);
}

std::optional<SchemaUpgrade> upgradeFile(const std::string& path, BusyWaiter* waiter,
                                         const Schema& schema) {
  {
    SqlCipherConnection reader(path, OpenMode::ReadOnly, waiter);
    const int version = fileSchemaVersion(reader, schema);
    if (version == 0 || version == schema.version) return std::nullopt;
  }
  SqlCipherConnection writer(path, OpenMode::ReadWrite, waiter);
  // The write lock keeps every other program from writing until the commit,
  // so the copy is the file as it was, and only one program upgrades it.
  SqlTransaction transaction(writer);
  const int version = fileSchemaVersion(writer, schema);
  if (version == 0 || version == schema.version) return std::nullopt;
  SchemaUpgrade upgrade{version, schema.version, backupPath(path, version)};
  std::filesystem::copy_file(path, upgrade.backup);
  for (const std::string& statement : upgradeStatements(schema, DatabaseEngine::File, version)) {
    writer.executeScript(translateSql(statement));
  }
  transaction.commit();
  return upgrade;
}

}  // namespace quarn
