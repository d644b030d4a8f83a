#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/Commands.h"

namespace quarn::admin {

int CmdExport(const std::vector<std::string>& args) {
  ExpectArguments(args, 2, "export FILE TABLE");
  exportCsv(args[0], args[1], std::cout);
  return 0;
}

}  // namespace quarn::admin
