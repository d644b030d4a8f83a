#pragma once

// An experiment database as whole tables, on either engine: what its
// administration (CSV, copies, the demo) and the tests work with.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/QueryRunner.h"
#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

// The experiment's tables, in the order a copy writes them.
inline constexpr const char* kExperimentTables[] = {
    "tblPlayer",     "tblBlock",     "tblTraining", "tblDisplay", "tblDisplayOption", "tblPause",
    "tblSetting",    "tblPredicter", "datUser",     "datRole",    "datTrial",         "datPlaying",
    "datTeamMember", "datTeamOrder", "datTeam",     "datClass",   "datClassMember"};

// A failure of a row written earlier in a transaction: the row's place
// among the transaction's rows (0 for the first).
class TableRowError : public DbError {
 public:
  TableRowError(const DbError& failure, size_t row)
      : DbError(failure.kind(), failure.number(), failure.description(), failure.source()),
        m_row(row) {}
  size_t row() const { return m_row; }

 private:
  size_t m_row;
};

// One write transaction over any tables: all of its rows or none.
class TableTransaction {
 public:
  virtual ~TableTransaction() = default;
  // Runs one INSERT of the stores' dialect ("Names", `?` parameters) into
  // `table`. A key that is taken raises kErrDuplicateKey. An engine may send
  // rows to the database in batches: a row's failure then comes from a later
  // insert or from the commit, as a TableRowError naming the row.
  virtual void insert(const std::string& table, const std::string& sql,
                      const SqlParams& params) = 0;
  virtual void commit() = 0;
};

class DatabaseTables {
 public:
  virtual ~DatabaseTables() = default;
  // What messages name: the file, or the server's connection.
  virtual std::string location() const = 0;
  virtual QueryRunner& reads() = 0;
  // The columns of `table` in table order (the server's rowid is none of
  // them); 3265 when the database lacks the table.
  virtual std::vector<ColumnInfo> columns(const std::string& table) = 0;
  virtual std::unique_ptr<TableTransaction> beginWrite() = 0;
};

bool hasTable(DatabaseTables& db, const std::string& table);

// Every row of `table`, in the order it was inserted, its cells in the order
// of `columns`. The rows are read a few thousand at a time.
void forEachRow(DatabaseTables& db, const std::string& table,
                const std::vector<ColumnInfo>& columns,
                const std::function<void(const std::vector<CellValue>&)>& row);

}  // namespace quarn
