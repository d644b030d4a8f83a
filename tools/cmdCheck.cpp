#include <iostream>
#include <memory>
#include <set>

#include "plan/PlanReaders.h"
#include "plan/SettingCheck.h"
#include "tools/CommandDatabase.h"
#include "tools/Options.h"

namespace quarn::admin {

int cmdCheck(const std::vector<std::string>& args) {
  // An option is refused, not taken for a setting's name.
  parseArguments(args, {}, args.size() == 2 ? 2 : 1, "check DATADIR|SERVER [SETTING]");
  CommandDatabase database(args[0]);
  DatabaseAccess& db = database.access();
  const std::string inputFolder = inputFolderOf(args[0]);
  std::cout << database.location() << ": schema version " << database.schemaVersion() << "\n";

  PlayerRows rows = readPlayers(db.planTables());
  const std::set<std::string> settings =
      args.size() == 2 ? std::set<std::string>{args[1]} : db.plannedSettings();

  const PlanHome home =
      database.choice().engine == DatabaseEngine::Server ? PlanHome::LabServer : PlanHome::File;
  std::vector<PlanFault> found = std::move(rows.faults);
  for (const std::string& setting : settings) {
    std::vector<PlanFault> faults =
        checkSetting(db.planTables(), rows.players, setting, inputFolder, home);
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
