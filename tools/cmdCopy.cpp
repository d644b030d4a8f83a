#include <filesystem>
#include <iostream>

#include "db/DatabaseAdmin.h"
#include "db/DatabaseCopy.h"
#include "tools/CommandDatabase.h"

namespace quarn::admin {

namespace {

// A target file that does not exist yet is made for the copy, and removed
// again when the copy fails.
class NewTargetFile {
 public:
  explicit NewTargetFile(const DatabaseChoice& target) {
    if (target.engine != DatabaseEngine::File || std::filesystem::exists(target.file)) return;
    createDatabase(target.file);
    m_path = target.file;
  }
  ~NewTargetFile() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove(m_path, ignored);
  }
  void keep() { m_path.clear(); }

 private:
  std::string m_path;
};

}  // namespace

int cmdCopy(const std::vector<std::string>& args) {
  expectArguments(args, 2, "copy SOURCE TARGET");
  CommandDatabase source(args[0]);
  NewTargetFile created(chooseAdminDatabase(args[1]));
  CommandDatabase target(args[1]);
  const std::vector<CopiedTable> copied = copyDatabase(source.tables(), target.tables());
  created.keep();
  for (const CopiedTable& table : copied) {
    const std::string rows = std::to_string(table.rows) + (table.rows == 1 ? " row" : " rows");
    std::cout << table.table << ": "
              << (table.alreadyThere ? "the same " + rows + " already there" : rows + " copied")
              << "\n";
  }
  std::cout << "copied " << source.location() << " into " << target.location() << "\n";
  return 0;
}

}  // namespace quarn::admin
