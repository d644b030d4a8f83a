#include "db/sqlcipher/SqlCipherClassStore.h"

#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

namespace {

class FileClassSql final : public ClassSql {
 public:
  explicit FileClassSql(SqlCipherConnection& connection) : m_connection(connection) {}
  Rows query(const std::string& sql, const SqlParams& params) override {
    return m_connection.query(sql, params);
  }
  void execute(const std::string& sql, const SqlParams& params) override {
    m_connection.execute(sql, params);
  }

 private:
  SqlCipherConnection& m_connection;
};

}  // namespace

void SqlCipherClassStore::write(const Use& use) {
  const PooledConnection connection = connectTo(m_file.path, OpenMode::ReadWrite, m_file.waiter);
  SqlTransaction transaction(*connection);
  FileClassSql sql(*connection);
  use(sql);
  transaction.commit();
}

void SqlCipherClassStore::read(const Use& use) {
  const PooledConnection connection = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  FileClassSql sql(*connection);
  use(sql);
}

}  // namespace quarn
