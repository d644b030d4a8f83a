#pragma once

// The schema version of a database, and the upgrade of an older one to the
// version this program writes. A database made before versions were
// recorded is version 1; one without the experiment's tables has none (0)
// and is left alone. A database of a newer version than the program knows
// is refused (kErrUnrecognizedFormat): its tables may mean what this
// program does not know.

#include <optional>
#include <string>

#include "db/Schema.h"
#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

// A database whose schema is newer than this program knows.
inline constexpr int kErrUnrecognizedFormat = 3343;

// An upgrade done: from which version to which, and for a file the copy it
// was kept as before (the file's path plus ".bak-<from>").
struct SchemaUpgrade {
  int from = 0;
  int to = 0;
  std::string backup;
};

// What the person who opened the database is told once, after its upgrade.
std::string describeUpgrade(const SchemaUpgrade& upgrade, const std::string& location);

// The version a database records in its version table, 1 when it has none
// but holds the experiment's tables, 0 when it holds neither. Refuses a
// version newer than `schema` (`location` names the database).
int recordedVersion(bool hasVersionTable, bool hasExperimentTables,
                    const std::optional<int64_t>& stored, const std::string& location,
                    const Schema& schema);

// The version of the open file; refuses one newer than `schema`.
int fileSchemaVersion(SqlCipherConnection& connection, const Schema& schema = currentSchema());
// Upgrades the file at `path` to `schema`, all of it in one transaction
// after a copy of the file is written beside it. Nothing when the file is up
// to date (or another program upgraded it meanwhile).
std::optional<SchemaUpgrade> upgradeFile(const std::string& path, BusyWaiter* waiter = nullptr,
                                         const Schema& schema = currentSchema());

}  // namespace quarn
