#pragma once

#include "db/postgres/PgConnection.h"

namespace quarn {

// The experiment's tables on a server (db/postgres/schema.sql, embedded in the
// binary).
const char* pgSchemaSql();

// Creates every table and index in the connection's current schema, all or
// nothing. Refuses, creating nothing, when any of them exists already.
void createSchema(PgConnection& connection);

}  // namespace quarn
