#include <filesystem>
#include <iostream>

#include "db/DatabaseAdmin.h"
#include "db/DatabaseCopy.h"
#include "db/OpenDatabase.h"
#include "tools/Commands.h"

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
  const DatabaseChoice source = existingDatabase(args[0]);
  const DatabaseChoice target = chooseAdminDatabase(args[1]);
  NewTargetFile created(target);
  const std::vector<CopiedTable> copied = copyDatabase(*openTables(source), *openTables(target));
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
