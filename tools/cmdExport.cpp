#include <iostream>

#include "db/DatabaseAdmin.h"
#include "tools/CommandDatabase.h"

namespace quarn::admin {

int cmdExport(const std::vector<std::string>& args) {
  expectArguments(args, 2, "export DATABASE TABLE");
  CommandDatabase db(args[0]);
  exportCsv(db.tables(), args[1], std::cout);
  return 0;
}

}  // namespace quarn::admin
