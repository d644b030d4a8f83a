#pragma once

#include <string>
#include <vector>

#include "plan/Cell.h"

namespace quarn {

// The values bound to a statement's parameters (`?`), in order.
using SqlParams = std::vector<CellValue>;

// Runs one SELECT of the stores' SQL on an engine, each call a read of its
// own. The SQL is written once for both engines: names in double quotes,
// values as `?` parameters; each engine turns it into its own dialect.
class QueryRunner {
 public:
  virtual ~QueryRunner() = default;
  virtual Rows query(const std::string& sql, const SqlParams& params = {}) = 0;
};

}  // namespace quarn
