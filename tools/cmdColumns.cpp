#include <iostream>

#include "db/ColumnReference.h"
#include "tools/Options.h"

namespace quarn::admin {

int cmdColumns(const std::vector<std::string>& args) {
  const ParsedArguments parsed =
      parseArguments(args, {}, args.empty() ? 0 : 1, "columns [TABLE|textfile]");
  std::cout << columnReference(parsed.positional.empty() ? "" : parsed.positional[0]);
  return 0;
}

}  // namespace quarn::admin
