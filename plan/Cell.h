#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quarn {

// A value read from or written to a column. std::monostate is Null.
using CellValue = std::variant<std::monostate, int64_t, double, std::string>;

// A column value with the typed reads the plan readers use. The integer reads
// round halves to even and raise OverflowError when the value does not fit;
// text must be a plain decimal number to be read as one (error 13 when it is
// not); a Null raises "Invalid use of Null" (94). Truth values read Null and
// zero as false.
class Cell {
 public:
  Cell(std::string column, CellValue value)
      : m_column(std::move(column)), m_value(std::move(value)) {}
  bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }
  int16_t toInt16() const;
  int32_t toInt32() const;
  double toDouble() const;
  std::string toText() const;
  bool toBool() const;
  const CellValue& value() const { return m_value; }

 private:
  std::string m_column;
  CellValue m_value;
};

// The column names of a result, found without regard to letter case; the
// first of two equal names wins.
class ColumnNames {
 public:
  explicit ColumnNames(std::vector<std::string> names);
  const std::vector<std::string>& names() const { return m_names; }
  std::optional<size_t> find(std::string_view name) const;

 private:
  std::vector<std::string> m_names;
  std::map<std::string, size_t, std::less<>> m_byLowerName;
};

// One row of a result: a plan table's row as the stores return it.
class Row {
 public:
  Row(std::shared_ptr<const ColumnNames> columns, std::vector<CellValue> values)
      : m_columns(std::move(columns)), m_values(std::move(values)) {}
  // The cell of `column`; error 3265 when the result has no such column.
  Cell cell(std::string_view column) const;
  const ColumnNames& columns() const { return *m_columns; }
  const std::vector<CellValue>& values() const { return m_values; }

 private:
  std::shared_ptr<const ColumnNames> m_columns;
  std::vector<CellValue> m_values;
};

using Rows = std::vector<Row>;

// A value as the moderator would write it: numbers in plain decimal, text
// with unprintable characters as their codes, "Null".
std::string cellText(const CellValue& value);

}  // namespace quarn
