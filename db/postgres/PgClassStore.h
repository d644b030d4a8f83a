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
  // Through the functions a workstation's login may call: the hash itself
  // is not granted.
  std::optional<std::string> passwordHead(ClassSql& sql, const std::string& code) override;
  bool passwordIs(ClassSql& sql, const std::string& code, const std::string& hash) override;

 private:
  PgConnectionPool& m_pool;
};

}  // namespace quarn
