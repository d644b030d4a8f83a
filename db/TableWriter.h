#pragma once

#include <string>
#include <utility>
#include <vector>

#include "db/DatabaseTables.h"

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

// Adds rows of one table, by column name, within a write transaction of the
// administration (CSV import, copies, the demo) and of tests.
class TableWriter {
 public:
  // `columns`: the table's columns, as DatabaseTables::columns gives them.
  TableWriter(TableTransaction& write, std::string table, std::vector<ColumnInfo> columns);

  // The column `name` (in any letter case); 3265 when the table lacks it.
  const ColumnInfo& column(const std::string& name) const;
  // Adds a row: the named columns take the values as convertForColumn makes
  // them, the others their defaults.
  void insert(const TableRow& row);

 private:
  TableTransaction& m_write;
  std::string m_table;
  std::vector<ColumnInfo> m_columns;
};

// Appends `rows` to `table` in one transaction.
void insertRows(DatabaseTables& db, const std::string& table, const std::vector<TableRow>& rows);
// The same in the file at `path`.
void insertRows(const std::string& path, const std::string& table,
                const std::vector<TableRow>& rows);

}  // namespace quarn
