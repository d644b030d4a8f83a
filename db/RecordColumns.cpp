#include "db/RecordColumns.h"

#include <algorithm>
#include <stdexcept>

#include "db/Schema.h"

namespace quarn {

namespace {

const TableDescription& describedTable(const std::string& table) {
  const TableDescription* described = findTable(currentSchema(), table);
  if (!described) throw std::logic_error("The schema has no table " + table);
  return *described;
}

size_t placeOf(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

}  // namespace

std::vector<size_t> placesInSchemaOrder(const std::string& table,
                                        const std::vector<std::string>& bound) {
  const TableDescription& described = describedTable(table);
  std::vector<size_t> places;
  for (const ColumnDescription& column : described.columns) {
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
  const TableDescription& described = describedTable(table);
  std::vector<std::string> columns;
  for (const ColumnDescription& column : described.columns) columns.push_back(column.name);
  std::vector<std::pair<std::string, size_t>> key;
  for (const std::string& name : described.primaryKey)
    key.emplace_back(name, placeOf(columns, name));
  return key;
}

}  // namespace quarn
