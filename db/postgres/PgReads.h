#pragma once

#include "db/QueryRunner.h"
#include "db/postgres/PgConnectionPool.h"

namespace quarn {

// Reads on the server, each on a connection of the pool.
class PgReads final : public QueryRunner {
 public:
  explicit PgReads(PgConnectionPool& pool) : m_pool(pool) {}
  Rows query(const std::string& sql, const SqlParams& params = {}) override;

 private:
  PgConnectionPool& m_pool;
};

}  // namespace quarn
