#include "db/postgres/PgSchema.h"

#include "db/postgres/PgError.h"
#include "db/postgres/PgSchemaSql.h"

namespace quarn {

const char* pgSchemaSql() {
  return kPgSchemaSql;
}

void createSchema(PgConnection& connection) {
  PgTransaction transaction(connection);
  try {
    connection.execScript(kPgSchemaSql);
  } catch (const PgError& e) {
    if (e.sqlState() != "42P07") throw;  // duplicate_table
    throw PgError(PgErrorKind::Other, e.sqlState(),
                  "The database already holds an experiment's tables; nothing was created (" +
                      e.Description() + ")");
  }
  transaction.commit();
}

}  // namespace quarn
