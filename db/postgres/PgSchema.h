#pragma once

#include <optional>

#include "db/Schema.h"
#include "db/SchemaUpgrade.h"
#include "db/postgres/PgConnection.h"

namespace quarn {

// Creates every table and index in the connection's current schema, and the
// functions through which workstations change the marks and write the teams'
// rows (createWorkstationFunctions), all or nothing.
// Refuses, creating nothing, when any of the tables exists already.
void createSchema(PgConnection& connection, const Schema& schema = currentSchema());

// The schema version of the experiment's tables in the connection's current
// schema (see fileSchemaVersion).
int serverSchemaVersion(PgConnection& connection, const Schema& schema = currentSchema());
// Upgrades them to `schema` in one transaction, makes the workstation functions
// anew and gives the workstation roles of an earlier grant today's rights
// (renewWorkstationRoles). Two workstations that upgrade at once take turns;
// the second finds nothing left to do.
std::optional<SchemaUpgrade> upgradeServer(PgConnection& connection,
                                           const Schema& schema = currentSchema());

}  // namespace quarn
