#include "db/sqlcipher/InsertTransaction.h"

#include <sqlcipher/sqlite3.h>

#include <memory>

#include "db/DbError.h"
#include "db/StoreSql.h"

namespace quarn {

InsertTransaction::InsertTransaction(const std::string& path, const std::string& table,
                                     BusyWaiter* waiter)
    : InsertTransaction(connectTo(path, OpenMode::ReadWrite, waiter), table) {}

InsertTransaction::InsertTransaction(PooledConnection connection, const std::string& table)
    : m_connection(std::move(connection)), m_table(table) {
  begin();
  m_columns = m_connection->columns(m_table);
}

InsertTransaction::InsertTransaction(const std::string& path, BusyWaiter* waiter)
    : m_connection(connectTo(path, OpenMode::ReadWrite, waiter)) {
  begin();
}

void InsertTransaction::begin() {
  // FULL syncs the journal header separately and costs ~18 ms a week here;
  // NORMAL still syncs journal and file before the commit completes, so a
  // crash of the program never loses a committed week.
  m_connection->executeScript("PRAGMA synchronous=NORMAL;");
  m_connection->executeScript("BEGIN IMMEDIATE;");
  m_inTransaction = true;
}

InsertTransaction::~InsertTransaction() {
  for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
  if (m_inTransaction) sqlite3_exec(m_connection->handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
}

void InsertTransaction::insert(const std::string& sql, const SqlParams& params) {
  needOpen();
  sqlite3_stmt*& statement = m_statements[sql];
  if (!statement) {
    try {
      statement = m_connection->prepare(sql);
    } catch (...) {
      m_statements.erase(sql);
      throw;
    }
  }
  SqlCipherConnection::bind(statement, params);
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  if (rc != SQLITE_DONE) failWrite(rc, sql);
}

void InsertTransaction::commit() {
  if (m_committed) return;
  needOpen();
  if (const int rc = sqlite3_exec(m_connection->handle(), "COMMIT;", nullptr, nullptr, nullptr);
      rc != SQLITE_OK) {
    failWrite(rc, "COMMIT");
  }
  m_inTransaction = false;
  m_committed = true;
}

// A key collision is raised as such; a failure that rolled the transaction
// back (I/O, a full disk) as the loss of every row of this transaction, so
// that nothing after it is committed in their place.
void InsertTransaction::failWrite(int rc, const std::string& sql) {
  sqlite3* handle = m_connection->handle();
  raiseIfKeyTaken(*m_connection, m_table);
  if (sqlite3_get_autocommit(handle)) {
    m_inTransaction = false;
    m_broken = true;
    throw DbError(DbErrorKind::WriteLost, kErrWriteLost,
                  std::string(sqlite3_errmsg(handle)) + "; no row of this open was stored",
                  m_table);
  }
  m_connection->fail(rc, sql);
}

void InsertTransaction::needOpen() const {
  if (m_broken) {
    throw DbError(DbErrorKind::WriteLost, kErrWriteLost,
                  "The transaction was rolled back; no row of this open was stored", m_table);
  }
  if (m_committed) {
    throw DbError(DbErrorKind::Other, kErrDatabase + SQLITE_MISUSE, "The record set is closed",
                  m_table);
  }
}

void raiseIfKeyTaken(SqlCipherConnection& db, const std::string& table) {
  sqlite3* handle = db.handle();
  const int extended = sqlite3_extended_errcode(handle);
  if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE) {
    throw DbError(
        DbErrorKind::KeyCollision, kErrDuplicateKey,
        std::string("Duplicate value in index or primary key (") + sqlite3_errmsg(handle) + ")",
        table);
  }
}

bool keyTaken(SqlCipherConnection& db, const std::string& table,
              const std::vector<std::pair<std::string, size_t>>& key, const SqlParams& params) {
  std::vector<std::string> columns;
  SqlParams values;
  for (const auto& [column, place] : key) {
    columns.push_back(column);
    values.push_back(params.at(place));
  }
  return !db.query(keyLookupSql(table, columns), values).empty();
}

void insertRow(SqlCipherConnection& db, const std::string& table, const std::string& sql,
               const SqlParams& params) {
  // Finalized after the failure is read from the connection.
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(db.prepare(sql),
                                                                        sqlite3_finalize);
  SqlCipherConnection::bind(statement.get(), params);
  const int rc = sqlite3_step(statement.get());
  if (rc == SQLITE_DONE) return;
  raiseIfKeyTaken(db, table);
  db.fail(rc, sql);
}

}  // namespace quarn
