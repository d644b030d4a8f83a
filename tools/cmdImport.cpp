#include <fstream>
#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/CommandDatabase.h"

namespace quarn::admin {

int cmdImport(const std::vector<std::string>& args) {
  expectArguments(args, 3, "import DATABASE TABLE CSVFILE");
  std::ifstream csv(args[2], std::ios::binary);
  if (!csv) throw QuarnError(kErrFileNotFound, "File not found: " + args[2]);
  CommandDatabase db(args[0]);
  const int stored = importCsv(db.tables(), args[1], csv);
  std::cout << stored << " rows stored in " << args[1] << "\n";
  return 0;
}

}  // namespace quarn::admin
