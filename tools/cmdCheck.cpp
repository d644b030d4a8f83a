#include <filesystem>
#include <iostream>
#include <set>

#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/SqlCipherStores.h"
#include "plan/PlanReaders.h"
#include "plan/SettingCheck.h"
#include "tools/Commands.h"
#include "tools/ConsolePrompter.h"

namespace quarn::admin {

int CmdCheck(const std::vector<std::string>& args) {
  if (args.size() != 1 && args.size() != 2) ExpectArguments(args, 1, "check DATADIR [SETTING]");
  namespace fs = std::filesystem;
  fs::path dataDir = fs::absolute(args[0]).lexically_normal();
  if (dataDir.filename().empty()) dataDir = dataDir.parent_path();
  const fs::path file = dataDir / "quarn.mdb";
  if (!fs::is_regular_file(file)) {
    throw QuarnError(kErrFileNotFound, "The file " + file.string() + " was not found");
  }
  // The Input folder lies beside the data folder, below the application's folder.
  const std::string inputFolder = (dataDir.parent_path() / "Input").string();

  ConsolePrompter prompter;
  StandardUniformRandom random;
  SqlCipherStores stores(nullptr, file.string());
  DatabaseAccess db(stores, prompter, random);

  PlayerRows rows = readPlayers(db.planTables());
  const std::set<std::string> settings =
      args.size() == 2 ? std::set<std::string>{args[1]} : db.plannedSettings();

  std::vector<PlanFault> found = std::move(rows.faults);
  for (const std::string& setting : settings) {
    std::vector<PlanFault> faults =
        checkSetting(db.planTables(), rows.players, setting, inputFolder);
    found.insert(found.end(), faults.begin(), faults.end());
  }
  size_t faultCount = 0;
  for (const PlanFault& fault : found) {
    std::cout << describeFault(fault) << "\n";
    faultCount += fault.warning ? 0 : 1;
  }
  const size_t warningCount = found.size() - faultCount;
  std::cout << faultCount << (faultCount == 1 ? " fault, " : " faults, ") << warningCount
            << (warningCount == 1 ? " warning" : " warnings") << " in " << settings.size()
            << (settings.size() == 1 ? " setting" : " settings") << "\n";
  return faultCount == 0 ? 0 : 1;
}

}  // namespace quarn::admin
