#include "db/sqlcipher/SqlCipherReads.h"

namespace quarn {

Rows SqlCipherReads::query(const std::string& sql, const SqlParams& params) {
  SqlCipherConnection connection(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  return connection.query(sql, params);
}

}  // namespace quarn
