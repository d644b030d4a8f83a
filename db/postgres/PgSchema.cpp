#include "db/postgres/PgSchema.h"

#include "db/postgres/PgError.h"

namespace quarn {

void createSchema(PgConnection& connection) {
  PgTransaction transaction(connection);
  try {
    connection.execScript(pgSchemaSql());
  } catch (const PgError& e) {
    if (e.sqlState() != "42P07") throw;  // duplicate_table
    throw PgError(PgErrorKind::Other, e.sqlState(),
                  "The database already holds an experiment's tables; nothing was created (" +
                      e.description() + ")");
  }
  transaction.commit();
}

}  // namespace quarn
