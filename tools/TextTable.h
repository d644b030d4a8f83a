#pragma once

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace quarn::admin {

// A table for the terminal: the first row is the header; the first
// `textColumns` columns are aligned left, the others (numbers) right.
inline void printTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                       size_t textColumns) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      const std::string pad(widths[c] - row[c].size(), ' ');
      line += (c == 0 ? "" : "  ") + (c < textColumns ? row[c] + pad : pad + row[c]);
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << "\n";
  }
}

// A figure with `decimals` decimals, or "-" for none.
template <typename Optional>
std::string figure(const Optional& value, int decimals) {
  if (!value) return "-";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, static_cast<double>(*value));
  return buffer;
}

}  // namespace quarn::admin
