#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/CommandDatabase.h"

namespace quarn::admin {

int cmdCreate(const std::vector<std::string>& args) {
  const char* usage = "create DATABASE [--workstation ROLE]";
  if (args.size() != 1 && !(args.size() == 3 && args[1] == "--workstation")) {
    throw UsageError(std::string("usage: quarngame-admin ") + usage);
  }
  const DatabaseChoice choice = chooseAdminDatabase(args[0]);
  const std::string role = args.size() == 3 ? args[2] : "";
  createDatabase(choice, role);
  // A server's connection is named by its settings file: that file is not
  // what was made.
  std::cout << (choice.engine == DatabaseEngine::Server ? "created the experiment's tables on "
                                                        : "created ")
            << choice.location() << "\n";
  if (!role.empty()) std::cout << "granted the workstation's rights to " << role << "\n";
  return 0;
}

int cmdGrant(const std::vector<std::string>& args) {
  expectArguments(args, 2, "grant SERVER ROLE");
  CommandDatabase db(args[0]);
  grantWorkstation(db.choice(), args[1]);
  std::cout << "granted the workstation's rights on " << db.location() << " to " << args[1] << "\n";
  return 0;
}

}  // namespace quarn::admin
