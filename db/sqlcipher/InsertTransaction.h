#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/sqlcipher/ConnectionPool.h"

namespace quarn {

// A write transaction that adds rows to one table. The write lock is taken
// at the start (BEGIN IMMEDIATE, so the busy timeout applies); commit()
// stores every row added, destruction without commit() none of them. A
// table the file lacks is refused at the start (3265).
class InsertTransaction {
 public:
  InsertTransaction(const std::string& path, const std::string& table, BusyWaiter* waiter);
  // The same on a connection opened before (for a read just made on it).
  InsertTransaction(PooledConnection connection, const std::string& table);
  // A transaction for rows of any table; nothing is checked at the start.
  InsertTransaction(const std::string& path, BusyWaiter* waiter);
  ~InsertTransaction();
  InsertTransaction(const InsertTransaction&) = delete;
  InsertTransaction& operator=(const InsertTransaction&) = delete;

  const std::string& table() const { return m_table; }
  const std::vector<ColumnInfo>& columns() const { return m_columns; }
  // The transaction's connection, for reads under its write lock.
  SqlCipherConnection& connection() { return *m_connection; }

  // Runs one INSERT with `params` bound; each text is prepared once. A key
  // that is taken raises kErrDuplicateKey; a failure that rolled the
  // transaction back raises kErrWriteLost, and so does every call after it.
  void insert(const std::string& sql, const SqlParams& params);
  // A second commit does nothing. A commit that meets a lock keeps the
  // transaction, so that it can be tried again.
  void commit();

 private:
  [[noreturn]] void failWrite(int rc, const std::string& sql);
  void needOpen() const;
  void begin();

  PooledConnection m_connection;
  std::string m_table;
  std::vector<ColumnInfo> m_columns;
  std::map<std::string, sqlite3_stmt*> m_statements;
  bool m_inTransaction = false;
  bool m_broken = false;
  bool m_committed = false;
};

// Raises kErrDuplicateKey when the last statement on `db` failed on a key
// of `table` that is taken.
void raiseIfKeyTaken(SqlCipherConnection& db, const std::string& table);

// Whether `table` holds a row with the key of the row `params` (every
// column, in the schema's order) would add: `key` names the key's columns
// and their places among `params`.
bool keyTaken(SqlCipherConnection& db, const std::string& table,
              const std::vector<std::pair<std::string, size_t>>& key, const SqlParams& params);

// Runs one INSERT into `table` on `db`; a key that is taken raises
// kErrDuplicateKey, any other failure as SqlCipherConnection raises it.
void insertRow(SqlCipherConnection& db, const std::string& table, const std::string& sql,
               const SqlParams& params);

}  // namespace quarn
