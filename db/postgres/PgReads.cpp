#include "db/postgres/PgReads.h"

#include "db/postgres/PgSql.h"

namespace quarn {

Rows PgReads::query(const std::string& sql, const SqlParams& params) {
  const PgConnectionPool::Lease db = m_pool.lease();
  return rowsOf(db->exec(numberedParameters(sql), params));
}

}  // namespace quarn
