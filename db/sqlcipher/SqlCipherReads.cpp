#include "db/sqlcipher/SqlCipherReads.h"

#include "db/sqlcipher/ConnectionPool.h"

namespace quarn {

Rows SqlCipherReads::query(const std::string& sql, const SqlParams& params) {
  const PooledConnection connection = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  return connection->query(sql, params);
}

}  // namespace quarn
