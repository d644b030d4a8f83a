#pragma once

// A record the program writes into a table, and that table's columns: how
// each member is written to its column and read back from it, bound by the
// column's name. The schema's description of the table (Schema.h) gives the
// columns and their order, so the INSERT, its parameters, the read-back and
// the key's places all follow from it: a column of the schema without a
// binding, or a binding of no column, is refused when the bindings are made.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/QueryRunner.h"

namespace quarn {

template <class Record>
struct ColumnBinding {
  std::string column;
  std::function<CellValue(const Record&)> write;
  // `cell` may be Null: a value the row lacks.
  std::function<void(Record&, const Cell&)> read;
};

// The places of `bound` (column names) in the order of `table`'s columns in
// the current schema. Throws std::logic_error naming a column of the table
// that none of `bound` names, or a name the table lacks.
std::vector<size_t> placesInSchemaOrder(const std::string& table,
                                        const std::vector<std::string>& bound);
// The primary key of `table`: each column with its place among the table's
// columns in the current schema.
std::vector<std::pair<std::string, size_t>> keyPlaces(const std::string& table);

template <class Record>
class RecordColumns {
 public:
  RecordColumns(std::string table, std::vector<ColumnBinding<Record>> bindings)
      : m_table(std::move(table)) {
    std::vector<std::string> names;
    for (const ColumnBinding<Record>& binding : bindings) names.push_back(binding.column);
    for (size_t place : placesInSchemaOrder(m_table, names)) {
      m_bindings.push_back(std::move(bindings[place]));
      m_columns.push_back(m_bindings.back().column);
    }
  }

  const std::string& table() const { return m_table; }
  // Every column of the table, in the schema's order.
  const std::vector<std::string>& columns() const { return m_columns; }

  // The values of `record`, one for each of columns().
  SqlParams params(const Record& record) const {
    SqlParams values;
    values.reserve(m_bindings.size());
    for (const ColumnBinding<Record>& binding : m_bindings) values.push_back(binding.write(record));
    return values;
  }

  // The values of `record` for `columns` (some of columns()), in that order.
  SqlParams params(const Record& record, const std::vector<std::string>& columns) const {
    SqlParams values;
    values.reserve(columns.size());
    for (const std::string& column : columns) values.push_back(binding(column).write(record));
    return values;
  }

  // The record a row of the table holds; a column the row lacks reads as
  // Null.
  Record read(const Row& row) const {
    Record record;
    for (const ColumnBinding<Record>& binding : m_bindings) {
      binding.read(record, row.columns().find(binding.column) ? row.cell(binding.column)
                                                              : Cell(binding.column, {}));
    }
    return record;
  }

 private:
  const ColumnBinding<Record>& binding(const std::string& column) const {
    for (const ColumnBinding<Record>& bound : m_bindings) {
      if (bound.column == column) return bound;
    }
    throw std::logic_error(m_table + "." + column + " is no column of the table");
  }

  std::string m_table;
  std::vector<ColumnBinding<Record>> m_bindings;
  std::vector<std::string> m_columns;
};

// Bindings of plain members. A Null reads as empty text, 0 or false.
template <class Record>
ColumnBinding<Record> textColumn(std::string column, std::string Record::*member) {
  return {std::move(column), [member](const Record& r) { return CellValue{r.*member}; },
          [member](Record& r, const Cell& cell) {
            r.*member = cell.isNull() ? std::string() : cell.toText();
          }};
}

template <class Record, class Whole>
ColumnBinding<Record> wholeColumn(std::string column, Whole Record::*member) {
  return {std::move(column), [member](const Record& r) { return CellValue{int64_t{r.*member}}; },
          [member](Record& r, const Cell& cell) {
            if (cell.isNull()) {
              r.*member = 0;
            } else if constexpr (sizeof(Whole) == sizeof(int16_t)) {
              r.*member = cell.toInt16();
            } else {
              r.*member = cell.toInt32();
            }
          }};
}

template <class Record>
ColumnBinding<Record> realColumn(std::string column, double Record::*member) {
  return {
      std::move(column), [member](const Record& r) { return CellValue{r.*member}; },
      [member](Record& r, const Cell& cell) { r.*member = cell.isNull() ? 0.0 : cell.toDouble(); }};
}

// A member of a part of the record (such as the team a row belongs to),
// bound as `binding` binds it in the part.
template <class Record, class Part>
ColumnBinding<Record> partColumn(Part Record::*part, ColumnBinding<Part> binding) {
  return {binding.column, [part, write = binding.write](const Record& r) { return write(r.*part); },
          [part, read = binding.read](Record& r, const Cell& cell) { read(r.*part, cell); }};
}

// Yes/no as 1 and 0.
template <class Record>
ColumnBinding<Record> truthColumn(std::string column, bool Record::*member) {
  return {std::move(column),
          [member](const Record& r) { return CellValue{int64_t{r.*member ? 1 : 0}}; },
          [member](Record& r, const Cell& cell) { r.*member = cell.toBool(); }};
}

}  // namespace quarn
