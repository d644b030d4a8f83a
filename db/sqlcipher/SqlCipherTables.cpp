#include "db/sqlcipher/SqlCipherTables.h"

#include "db/sqlcipher/ConnectionPool.h"
#include "db/sqlcipher/InsertTransaction.h"

namespace quarn {

namespace {

class SqlCipherTableTransaction final : public TableTransaction {
 public:
  explicit SqlCipherTableTransaction(const SqlCipherFile& file)
      : m_transaction(file.path, file.waiter) {}
  void insert(const std::string&, const std::string& sql, const SqlParams& params) override {
    m_transaction.insert(sql, params);
  }
  void commit() override { m_transaction.commit(); }

 private:
  InsertTransaction m_transaction;
};

}  // namespace

std::vector<ColumnInfo> SqlCipherTables::columns(const std::string& table) {
  const PooledConnection connection = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  return connection->columns(table);
}

std::unique_ptr<TableTransaction> SqlCipherTables::beginWrite() {
  return std::make_unique<SqlCipherTableTransaction>(m_file);
}

}  // namespace quarn
