#include <iostream>

#include "db/DatabaseAdmin.h"
#include "db/OpenDatabase.h"
#include "tools/Commands.h"

namespace quarn::admin {

int cmdExport(const std::vector<std::string>& args) {
  expectArguments(args, 2, "export DATABASE TABLE");
  exportCsv(*openTables(existingDatabase(args[0])), args[1], std::cout);
  return 0;
}

}  // namespace quarn::admin
