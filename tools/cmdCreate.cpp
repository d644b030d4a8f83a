#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/Commands.h"

namespace quarn::admin {

int cmdCreate(const std::vector<std::string>& args) {
  expectArguments(args, 1, "create DATABASE");
  const DatabaseChoice choice = chooseAdminDatabase(args[0]);
  createDatabase(choice);
  std::cout << "created " << choice.location() << "\n";
  return 0;
}

}  // namespace quarn::admin
