#include "db/DatabaseTables.h"

#include <limits>

#include "db/DbError.h"
#include "db/sqlcipher/SqlTranslation.h"

namespace quarn {

namespace {

constexpr int64_t kRowsPerRead = 5000;

}  // namespace

bool hasTable(DatabaseTables& db, const std::string& table) {
  try {
    db.columns(table);
    return true;
  } catch (const DbError& failure) {
    if (failure.kind() == DbErrorKind::ItemNotFound) return false;
    throw;
  }
}

// Both engines number a table's rows in the order they were inserted, under
// the name rowid, so the next rows are always those after the last one read.
void forEachRow(DatabaseTables& db, const std::string& table,
                const std::vector<ColumnInfo>& columns,
                const std::function<void(const std::vector<CellValue>&)>& row) {
  std::string sql = "SELECT rowid";
  for (const ColumnInfo& column : columns) sql += ", " + quoteIdentifier(column.name);
  sql += " FROM " + quoteIdentifier(table) + " WHERE rowid > ? ORDER BY rowid LIMIT " +
         std::to_string(kRowsPerRead);
  int64_t last = std::numeric_limits<int64_t>::min();
  for (;;) {
    const Rows rows = db.reads().query(sql, {last});
    for (const Row& read : rows) {
      last = std::get<int64_t>(read.values().front());
      row(std::vector<CellValue>(read.values().begin() + 1, read.values().end()));
    }
    if (static_cast<int64_t>(rows.size()) < kRowsPerRead) return;
  }
}

}  // namespace quarn
