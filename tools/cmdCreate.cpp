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

std::string inputFolderOf(const std::string& argument) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path folder = fs::absolute(argument).lexically_normal();
  if (folder.filename().empty()) folder = folder.parent_path();
  if (fs::is_directory(folder, error)) return (folder.parent_path() / "Input").string();
  if (fs::is_regular_file(folder, error)) {
    return (folder.parent_path().parent_path() / "Input").string();
  }
  return (fs::current_path() / "Input").string();
}

int cmdCreate(const std::vector<std::string>& args) {
  const char* usage = "create DATABASE [--workstation ROLE]";
  if (args.size() != 1 && !(args.size() == 3 && args[1] == "--workstation")) {
    throw UsageError(std::string("usage: quarngame-admin ") + usage);
  }
  const DatabaseChoice choice = chooseAdminDatabase(args[0]);
  const std::string role = args.size() == 3 ? args[2] : "";
  createDatabase(choice, role);
  std::cout << "created " << choice.location() << "\n";
  if (!role.empty()) std::cout << "granted the workstation's rights to " << role << "\n";
  return 0;
}

int cmdGrant(const std::vector<std::string>& args) {
  expectArguments(args, 2, "grant SERVER ROLE");
  const DatabaseChoice choice = existingDatabase(args[0]);
  grantWorkstation(choice, args[1]);
  std::cout << "granted the workstation's rights on " << choice.location() << " to " << args[1]
            << "\n";
  return 0;
}

}  // namespace quarn::admin
