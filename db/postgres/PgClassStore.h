#pragma once

#include "db/ClassStoreSql.h"
#include "db/postgres/PgConnectionPool.h"

namespace quarn {

// The classes on a server. Writes hold an advisory lock of the class
// tables to the end of their transaction.
class PgClassStore final : public SqlClassStore {
 public:
  explicit PgClassStore(PgConnectionPool& pool) : m_pool(pool) {}

 protected:
  void write(const Use& use) override;
  void read(const Use& use) override;

 private:
  PgConnectionPool& m_pool;
};

}  // namespace quarn
