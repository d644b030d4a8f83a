#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/QueryRunner.h"
#include "db/RecordColumns.h"
#include "db/postgres/PgConnectionPool.h"

namespace quarn {

// A table that rows are written to: its name, the stores' INSERT statement
// (with `?` parameters), and its key: each column with the place of its
// value among the statement's parameters.
struct PgInsertTarget {
  std::string table;
  std::string insertSql;
  std::vector<std::pair<std::string, size_t>> key;
};

// The target of a record's table: the INSERT of every column, in the
// schema's order, and the key's places among them.
template <class Record>
PgInsertTarget insertTargetOf(const RecordColumns<Record>& record, const std::string& insertSql) {
  return {record.table(), insertSql, keyPlaces(record.table())};
}

// Rows into one table of the server, in one transaction: commit() stores
// every row inserted, destruction without commit() none of them.
//
// A failed statement aborts the server's whole transaction, a key collision
// too, and a lost connection takes it along. So the rows inserted so far are
// kept here: the step after a failure begins the transaction anew (on a new
// connection when the old one broke) and writes them again before it goes
// on. As on the file, a failed step costs no earlier row, and a retried
// step with the row's Trial moved stores each row once. A commit whose
// answer was lost with the connection is looked up before it is repeated,
// so that a week the server did store is not stored twice.
class PgInsertTransaction {
 public:
  // Raises 3265 when the server lacks the table or a column.
  PgInsertTransaction(PgConnectionPool& pool, const PgInsertTarget& target);
  ~PgInsertTransaction();
  PgInsertTransaction(const PgInsertTransaction&) = delete;
  PgInsertTransaction& operator=(const PgInsertTransaction&) = delete;

  // A key that is taken raises kErrDuplicateKey. When a row written before
  // cannot be written again (another workstation took its key in the
  // meantime), kErrWriteLost.
  void insert(const SqlParams& params);
  // A second commit does nothing.
  void commit();
  // Whether the rows are stored: true after a commit, false before one; after
  // a commit whose answer was lost, the server is asked (on a new connection),
  // and nothing comes back when it cannot be reached.
  std::optional<bool> storedDespiteLostCommit();

 private:
  void connect();
  void begin();
  void abandon();
  bool storedAlready();
  void finish();

  PgConnectionPool& m_pool;
  const PgInsertTarget& m_target;
  std::string m_statementName;
  std::string m_insertSql;
  std::optional<PgConnectionPool::Lease> m_lease;
  std::vector<SqlParams> m_rows;  // inserted so far, in order
  bool m_open = false;            // a transaction holding m_rows is open on m_lease
  bool m_commitUnknown = false;   // the link broke during COMMIT
  bool m_committed = false;
};

}  // namespace quarn
