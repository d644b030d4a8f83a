#pragma once

#include <string>
#include <utility>
#include <vector>

#include "db/InsertTransaction.h"

namespace quarn {

// One row to insert: column names and their values.
using TableRow = std::vector<std::pair<std::string, CellValue>>;

// Converts a value to what a column of its affinity stores, the way a typed
// database field would: numeric text becomes a number, and text that is no
// plain decimal number (hexadecimal, "inf", "1e999") is refused instead of
// being stored as text in a numeric column. Text put into an integer column
// must be a whole number ("2.5" is refused, not rounded); a double is
// rounded half to even. Blank text in a numeric column is Null.
CellValue convertForColumn(const ColumnInfo& column, const CellValue& value);

// Adds rows of any table, by column name, for the administration (CSV
// import, the demo) and tests: one transaction, all rows or none.
class TableWriter {
 public:
  TableWriter(const std::string& path, const std::string& table, BusyWaiter* waiter = nullptr);

  // The column `name` (in any letter case); 3265 when the table lacks it.
  const ColumnInfo& column(const std::string& name) const;
  // Adds a row: the named columns take the values as convertForColumn makes
  // them, the others their defaults.
  void insert(const TableRow& row);
  void commit() { m_transaction.commit(); }

 private:
  InsertTransaction m_transaction;
};

// Appends `rows` to `table` of the file at `path` in one transaction.
void insertRows(const std::string& path, const std::string& table,
                const std::vector<TableRow>& rows);

}  // namespace quarn
