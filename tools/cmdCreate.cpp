#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/Commands.h"

namespace quarn::admin {

void ExpectArguments(const std::vector<std::string>& args, size_t count, const char* usage) {
  if (args.size() != count) throw UsageError(std::string("usage: quarngame-admin ") + usage);
}

int CmdCreate(const std::vector<std::string>& args) {
  ExpectArguments(args, 1, "create FILE");
  createDatabase(args[0]);
  std::cout << "created " << args[0] << "\n";
  return 0;
}

}  // namespace quarn::admin
