#include "db/DatabaseCopy.h"

#include <memory>
#include <unordered_set>

#include "db/DbError.h"
#include "db/Schema.h"
#include "db/TableWriter.h"

namespace quarn {

namespace {

using Values = std::vector<CellValue>;

// The key columns of a table as the schema describes them: those of the
// tables the program writes; the plan tables have none.
std::vector<ColumnInfo> keyColumns(const std::string& table) {
  std::vector<ColumnInfo> columns;
  if (const TableDescription* described = findTable(currentSchema(), table)) {
    for (const std::string& name : described->primaryKey) {
      columns.push_back({name, ColumnAffinity::Other});
    }
  }
  return columns;
}

// One text per key, each value tagged with its type so that 1 and '1'
// stay apart.
std::string keyText(const Values& key) {
  std::string text;
  for (const CellValue& value : key) {
    text += static_cast<char>('0' + value.index());
    text += cellText(value);
    text += '\x1f';
  }
  return text;
}

std::string joined(const Values& values) {
  std::string text;
  for (const CellValue& value : values) text += (text.empty() ? "" : ", ") + cellText(value);
  return text;
}

std::vector<Values> allRows(DatabaseTables& db, const std::string& table,
                            const std::vector<ColumnInfo>& columns) {
  std::vector<Values> rows;
  forEachRow(db, table, columns, [&](const Values& row) { rows.push_back(row); });
  return rows;
}

struct TableCheck {
  CopiedTable result;
  std::vector<ColumnInfo> columns;  // the source's
  std::string refusal;              // empty when the table can be copied
};

// Counts the source rows whose key the target holds.
std::string keyedRefusal(DatabaseTables& source, DatabaseTables& target, const std::string& table) {
  const std::vector<ColumnInfo> key = keyColumns(table);
  std::unordered_set<std::string> held;
  forEachRow(target, table, key, [&](const Values& row) { held.insert(keyText(row)); });
  int64_t taken = 0;
  std::string example;
  forEachRow(source, table, key, [&](const Values& row) {
    if (!held.count(keyText(row))) return;
    if (++taken == 1) example = joined(row);
  });
  if (taken == 0) return "";
  return table + ": " + std::to_string(taken) + (taken == 1 ? " row" : " rows") +
         " with a key the target holds (" + example + (taken > 1 ? ", ..." : "") + ")";
}

TableCheck check(DatabaseTables& source, DatabaseTables& target, const std::string& table) {
  TableCheck checked;
  checked.result.table = table;
  checked.columns = source.columns(table);
  if (!hasTable(target, table)) {
    throw DbError(DbErrorKind::ItemNotFound, kErrItemNotFound,
                  "Nothing was copied: " + target.location() + " has no table " + table +
                      " (make the experiment's tables there first: quarngame-admin create)",
                  table);
  }
  if (!keyColumns(table).empty()) {
    checked.refusal = keyedRefusal(source, target, table);
  } else {
    // Plan tables are small: compared whole.
    const std::vector<Values> held = allRows(target, table, checked.columns);
    const std::vector<Values> given = allRows(source, table, checked.columns);
    if (held.empty() || given.empty()) return checked;
    if (held == given) {
      checked.result.alreadyThere = true;
      checked.result.rows = static_cast<int64_t>(held.size());
    } else {
      checked.refusal = table + ": the target holds " + std::to_string(held.size()) +
                        " rows that differ from the source's";
    }
  }
  return checked;
}

int64_t copyTable(DatabaseTables& source, DatabaseTables& target, TableTransaction& write,
                  const TableCheck& checked) {
  const std::string& table = checked.result.table;
  TableWriter writer(write, table, target.columns(table));
  int64_t copied = 0;
  forEachRow(source, table, checked.columns, [&](const Values& values) {
    TableRow row;
    for (size_t c = 0; c < values.size(); ++c) row.emplace_back(checked.columns[c].name, values[c]);
    writer.insert(row);
    ++copied;
  });
  return copied;
}

}  // namespace

std::vector<CopiedTable> copyDatabase(DatabaseTables& source, DatabaseTables& target) {
  std::vector<TableCheck> checks;
  std::string refusals;
  for (const char* table : kExperimentTables) {
    if (!hasTable(source, table)) continue;
    checks.push_back(check(source, target, table));
    if (!checks.back().refusal.empty()) refusals += "\n  " + checks.back().refusal;
  }
  if (!refusals.empty()) {
    throw DbError(DbErrorKind::KeyCollision, kErrDuplicateKey,
                  "Nothing was copied: " + target.location() + " already holds rows of the source" +
                      refusals);
  }
  const std::unique_ptr<TableTransaction> write = target.beginWrite();
  std::vector<CopiedTable> copied;
  for (TableCheck& checked : checks) {
    if (!checked.result.alreadyThere) {
      checked.result.rows = copyTable(source, target, *write, checked);
    }
    copied.push_back(checked.result);
  }
  write->commit();
  return copied;
}

}  // namespace quarn
