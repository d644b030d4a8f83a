#include "db/RecordColumns.h"

#include <algorithm>
#include <stdexcept>

#include "db/Schema.h"

namespace quarn {

namespace {

const TableSpec& describedTable(const std::string& table) {
  const TableSpec* spec = findTable(currentSchema(), table);
  if (!spec) throw std::logic_error("The schema has no table " + table);
  return *spec;
}

size_t placeOf(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

}  // namespace

std::vector<size_t> placesInSchemaOrder(const std::string& table,
                                        const std::vector<std::string>& bound) {
  const TableSpec& spec = describedTable(table);
  std::vector<size_t> places;
  for (const ColumnSpec& column : spec.columns) {
    const size_t place = placeOf(bound, column.name);
    if (place == bound.size()) {
      throw std::logic_error(table + "." + column.name + " is written by no member of its record");
    }
    places.push_back(place);
  }
  for (const std::string& name : bound) {
    if (!findColumn(currentSchema(), table, name)) {
      throw std::logic_error(table + "." + name + " is bound to a member but is no column");
    }
  }
  return places;
}

std::vector<std::pair<std::string, size_t>> keyPlaces(const std::string& table) {
  const TableSpec& spec = describedTable(table);
  std::vector<std::string> columns;
  for (const ColumnSpec& column : spec.columns) columns.push_back(column.name);
  std::vector<std::pair<std::string, size_t>> key;
  for (const std::string& name : spec.primaryKey) key.emplace_back(name, placeOf(columns, name));
  return key;
}

}  // namespace quarn
