#include <filesystem>
#include <iostream>

#include "db/DatabaseAdmin.h"
#include "db/DatabaseCopy.h"
#include "tools/CommandDatabase.h"
#include "tools/Options.h"
#include "tools/Passphrase.h"

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
  const ParsedArguments a =
      parseArguments(args, {"--passphrase-file"}, 2, "copy SOURCE TARGET [--passphrase-file FILE]");
  // A new target file is the lab's archive: made with the passphrase. An
  // archive given as the source, or as an existing target, opens with it.
  const std::string passphraseFile = a.option("--passphrase-file");
  usePassphraseFile(passphraseFile, existingDatabase(a.positional[0]));
  const DatabaseChoice targetChoice = chooseAdminDatabase(a.positional[1]);
  usePassphraseFile(passphraseFile, targetChoice);
  CommandDatabase source(a.positional[0]);
  NewTargetFile created(targetChoice);
  CommandDatabase target(a.positional[1]);
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
