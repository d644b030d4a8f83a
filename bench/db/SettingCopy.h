#pragma once

// A benchmark's own setting, made from the demo's rows through the admin
// tool's export and import, as a lab would edit a plan in a spreadsheet.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/db/PilotRuns.h"
#include "bench/db/ThrowAwayServer.h"

namespace quarn::bench {

// A CSV line's fields; a field in double quotes may hold commas. The export
// ends its lines with CR LF: the CR is no part of the last field.
inline std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  const size_t end = !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
  for (const char c : std::string_view(line).substr(0, end)) {
    if (c == '"') {
      quoted = !quoted;
      fields.back() += c;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

inline std::string lineOf(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : ",") + field;
  return line;
}

// One exported row: its fields, found by column name.
class CsvRow {
 public:
  CsvRow(const std::vector<std::string>& columns, std::vector<std::string> fields)
      : m_columns(columns), m_fields(std::move(fields)) {}
  std::string& operator[](const std::string& column) {
    const auto at = std::find(m_columns.begin(), m_columns.end(), column) - m_columns.begin();
    return m_fields.at(static_cast<size_t>(at));
  }
  const std::vector<std::string>& fields() const { return m_fields; }

 private:
  const std::vector<std::string>& m_columns;
  std::vector<std::string> m_fields;
};

// Copies the rows of `table` whose Setting is `from` as the setting `to`,
// each first given to `edit`, which may change its fields and returns
// whether the row is copied. Through the tool's export and import; the CSV
// file is written into `folder`. Returns how many rows were copied.
inline int copySettingRows(const std::string& tool, const std::string& dataDir,
                           const std::filesystem::path& folder, const std::string& table,
                           const std::string& from, const std::string& to,
                           const std::function<bool(CsvRow&)>& edit) {
  const std::string exported =
      runCommand(shellQuoted(tool) + " export " + shellQuoted(dataDir) + " " + table);
  std::istringstream in(exported);
  std::string header;
  std::getline(in, header);
  const std::vector<std::string> columns = fieldsOf(header);
  const std::filesystem::path csv = folder / (table + "-" + to + ".csv");
  std::ofstream out(csv);
  out << header << "\n";
  int copied = 0;
  for (std::string line; std::getline(in, line);) {
    CsvRow row(columns, fieldsOf(line));
    if (row.fields().size() != columns.size() || row["Setting"] != from) continue;
    row["Setting"] = to;
    if (!edit(row)) continue;
    out << lineOf(row.fields()) << "\n";
    ++copied;
  }
  out.close();
  runOrFail(shellQuoted(tool) + " import " + shellQuoted(dataDir) + " " + table + " " +
            shellQuoted(csv.string()));
  return copied;
}

}  // namespace quarn::bench
