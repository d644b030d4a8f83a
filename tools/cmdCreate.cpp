#include <algorithm>
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
  const char* usage = "grant SERVER ROLE [--login NAME...]";
  if (args.size() < 2 || (args.size() > 2 && (args[2] != "--login" || args.size() == 3))) {
    throw UsageError(std::string("usage: quarngame-admin ") + usage);
  }
  CommandDatabase db(args[0]);
  grantWorkstation(db.choice(), args[1]);
  std::cout << "granted the workstation's rights on " << db.location() << " to " << args[1] << "\n";
  const std::vector<std::string> logins(args.begin() + std::min<size_t>(args.size(), 3),
                                        args.end());
  if (logins.empty()) return 0;
  std::cout << "made a login of its own for each workstation, inside " << args[1]
            << "; its password is shown only now. Put each line into that workstation's "
               "~/.pgpass (mode 600), with the server's name as the workstation reaches it:\n";
  for (const WorkstationLogin& login : makeWorkstationLogins(db.choice(), args[1], logins)) {
    std::cout << "  " << login.pgpassLine << "\n";
  }
  return 0;
}

}  // namespace quarn::admin
