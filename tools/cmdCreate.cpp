#include <filesystem>
#include <iostream>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "tools/Commands.h"

namespace quarn::admin {

void expectArguments(const std::vector<std::string>& args, size_t count, const char* usage) {
  if (args.size() != count) throw UsageError(std::string("usage: quarngame-admin ") + usage);
}

DatabaseChoice existingDatabase(const std::string& argument) {
  const DatabaseChoice choice = chooseAdminDatabase(argument);
  if (choice.engine == DatabaseEngine::File && !std::filesystem::is_regular_file(choice.file)) {
    throw QuarnError(kErrFileNotFound, "The file " + choice.file + " was not found");
  }
  return choice;
}

int cmdCreate(const std::vector<std::string>& args) {
  expectArguments(args, 1, "create DATABASE");
  const DatabaseChoice choice = chooseAdminDatabase(args[0]);
  createDatabase(choice);
  std::cout << "created " << choice.location() << "\n";
  return 0;
}

}  // namespace quarn::admin
