#pragma once

// What the benchmarks that run `quarngame-admin` processes share: running a
// command, a server connection in a schema of its own, and quantiles.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "db/DatabaseChoice.h"
#include "tests/support/Processes.h"

namespace quarn::bench {

// Runs `command`, its output dropped; a failure ends the benchmark.
inline void runOrFail(const std::string& command) {
  if (std::system((command + " >/dev/null").c_str()) != 0) {
    std::cerr << "failed: " << command << "\n";
    std::exit(1);
  }
}

// `text` as one word of a shell command (it holds no single quote).
inline std::string shellQuoted(const std::string& text) {
  return "'" + text + "'";
}

// The connection with `schema` as the search path of every session.
inline std::string inSchema(const std::string& connection, const std::string& schema) {
  if (isConnectionUri(connection)) {
    return connection + (connection.find('?') == std::string::npos ? "?" : "&") +
           "options=-csearch_path%3D" + schema;
  }
  return connection + " options='-c search_path=" + schema + "'";
}

using testing::startProcess;

// The q-quantile (0 < q <= 1) by the nearest rank; 0 for no values.
inline double quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(values.size())));
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

}  // namespace quarn::bench
