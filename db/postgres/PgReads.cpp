#include "db/postgres/PgReads.h"

#include "db/postgres/PgError.h"
#include "db/postgres/PgSql.h"

namespace quarn {

// A read changes nothing, so a read whose kept connection turns out to be
// lost is made once more on a new connection instead of failing.
Rows PgReads::query(const std::string& sql, const SqlParams& params) {
  const std::string numbered = numberedParameters(sql);
  for (;;) {
    const PgConnectionPool::Lease db = m_pool.lease();
    try {
      return rowsOf(db->exec(numbered, params));
    } catch (const PgError& failure) {
      if (failure.pgKind() != PgErrorKind::ConnectionFailure || !db.kept()) throw;
      m_pool.dropIdle();
    }
  }
}

}  // namespace quarn
