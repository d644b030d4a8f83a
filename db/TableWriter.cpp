#include "db/TableWriter.h"

#include <map>

#include "base/Numbers.h"
#include "base/Text.h"
#include "db/DbError.h"
#include "db/sqlcipher/SqlCipherTables.h"
#include "db/sqlcipher/SqlTranslation.h"

namespace quarn {

CellValue convertForColumn(const ColumnInfo& column, const CellValue& given) {
  CellValue value = given;
  auto refuse = [&](const std::string& what) {
    return DbError(DbErrorKind::Other, kErrDataTypeConversion,
                   "Data type conversion error (" + column.name + ": " + what + ")");
  };
  if (column.affinity == ColumnAffinity::Text) {
    if (auto* i = std::get_if<int64_t>(&value)) return decimal(*i);
    if (auto* d = std::get_if<double>(&value)) return shortestDecimal(*d);
    return value;
  }
  if (column.affinity != ColumnAffinity::Integer && column.affinity != ColumnAffinity::Real) {
    return value;
  }
  if (auto* text = std::get_if<std::string>(&value)) {
    const std::string_view digits = trimSpace(*text);
    if (digits.empty()) return std::monostate{};
    const std::string quoted = "'" + printable(*text) + "'";
    const ParsedNumber parsed = parseNumber(digits);
    if (parsed.kind != NumberKind::Number) {
      throw refuse(quoted + (parsed.kind == NumberKind::OutOfRange ? " is out of range"
                                                                   : " is not a number"));
    }
    if (column.affinity == ColumnAffinity::Integer) {
      if (!parsed.wholeForm) throw refuse(quoted + " is not a whole number");
      if (!parsed.whole) throw refuse(quoted + " is out of range");
      return *parsed.whole;
    }
    return parsed.value;
  }
  if (column.affinity == ColumnAffinity::Integer) {
    if (auto* d = std::get_if<double>(&value)) {
      const double rounded = roundHalfEven(*d);
      if (!(rounded >= -9.2e18 && rounded <= 9.2e18)) throw refuse(shortestDecimal(*d));
      value = static_cast<int64_t>(rounded);
    }
  }
  return value;
}

TableWriter::TableWriter(TableTransaction& write, std::string table,
                         std::vector<ColumnInfo> columns)
    : m_write(write), m_table(std::move(table)), m_columns(std::move(columns)) {}

const ColumnInfo& TableWriter::column(const std::string& name) const {
  for (const ColumnInfo& c : m_columns) {
    if (equalsIgnoringAsciiCase(c.name, name)) return c;
  }
  throw DbError(DbErrorKind::ItemNotFound, kErrItemNotFound,
                "Item not found in this collection (" + name + ")", m_table);
}

void TableWriter::insert(const TableRow& row) {
  // Only the assigned columns are named, so the others take their defaults;
  // a column assigned twice takes the last value.
  std::map<std::string, CellValue> values;
  for (const auto& [name, value] : row) {
    const ColumnInfo& c = column(name);
    values[c.name] = convertForColumn(c, value);
  }
  std::string sql = "INSERT INTO " + quoteIdentifier(m_table);
  SqlParams params;
  if (values.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    std::string names, marks;
    for (auto& [name, value] : values) {
      names += (names.empty() ? "" : ",") + quoteIdentifier(name);
      marks += marks.empty() ? "?" : ",?";
      params.push_back(value);
    }
    sql += " (" + names + ") VALUES (" + marks + ")";
  }
  m_write.insert(m_table, sql, params);
}

void insertRows(DatabaseTables& db, const std::string& table, const std::vector<TableRow>& rows) {
  const std::unique_ptr<TableTransaction> write = db.beginWrite();
  TableWriter writer(*write, table, db.columns(table));
  for (const TableRow& row : rows) writer.insert(row);
  write->commit();
}

void insertRows(const std::string& path, const std::string& table,
                const std::vector<TableRow>& rows) {
  SqlCipherTables file(path);
  insertRows(file, table, rows);
}

}  // namespace quarn
