#include "tools/Commands.h"

#include <filesystem>
#include <iostream>

#include "base/Errors.h"
#include "tools/CommandDatabase.h"

namespace quarn::admin {

int runCommand(const std::string& name, const std::function<int()>& command) {
  try {
    return command();
  } catch (const UsageError& e) {
    std::cerr << e.what() << "\n";
    return 2;
  } catch (const QuarnError& e) {
    std::cerr << "quarngame-admin " << name << ": error " << e.number() << ": " << e.description()
              << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "quarngame-admin " << name << ": " << e.what() << "\n";
    return 1;
  }
}

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

CommandDatabase::CommandDatabase(const std::string& argument)
    : CommandDatabase(argument, std::cerr) {}

CommandDatabase::CommandDatabase(const std::string& argument, std::ostream& notices)
    : m_choice(existingDatabase(argument)), m_stores(openStores(m_choice)) {
  m_upgrade = m_stores->upgradeSchema();
  if (m_upgrade) notices << describeUpgrade(*m_upgrade, location()) << "\n";
}

DatabaseTables& CommandDatabase::tables() {
  if (!m_tables) m_tables = openTables(m_choice);
  return *m_tables;
}

ActivityMonitor& CommandDatabase::monitor() {
  if (!m_monitor) m_monitor = openMonitor(m_choice);
  return *m_monitor;
}

}  // namespace quarn::admin
