#include <fstream>
#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/Commands.h"

namespace quarn::admin {

int CmdImport(const std::vector<std::string>& args) {
  ExpectArguments(args, 3, "import FILE TABLE CSVFILE");
  std::ifstream csv(args[2], std::ios::binary);
  if (!csv) throw QuarnError(kErrFileNotFound, "File not found: " + args[2]);
  const int stored = importCsv(args[0], args[1], csv);
  std::cout << stored << " rows stored in " << args[1] << "\n";
  return 0;
}

}  // namespace quarn::admin
