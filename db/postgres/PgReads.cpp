#include "db/postgres/PgReads.h"

#include "db/postgres/PgSql.h"

namespace quarn {

// A read changes nothing, so a read whose kept connection turns out to be
// lost is made once more on a new connection instead of failing.
Rows PgReads::query(const std::string& sql, const SqlParams& params) {
  const std::string numbered = numberedParameters(sql);
  return m_pool.run([&](PgConnection& db) { return rowsOf(db.exec(numbered, params)); });
}

}  // namespace quarn
