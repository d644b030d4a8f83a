#include <iostream>
#include <memory>
#include <set>

#include "analysis/RecordCheck.h"
#include "plan/PlanReaders.h"
#include "plan/SettingCheck.h"
#include "tools/CommandDatabase.h"
#include "tools/Options.h"

namespace quarn::admin {

namespace {

// The participants' records of a setting whose plan has no fault that
// contradict each other, one line each.
std::vector<std::string> recordContradictions(DatabaseAccess& db,
                                              const std::vector<PlayerStrategy>& players,
                                              const std::string& setting,
                                              const std::string& inputFolder) {
  constexpr size_t kShownRows = 20;
  const std::vector<TrialPlan> trials =
      readBlocks(db.planTables(), players, setting, inputFolder).trials;
  std::vector<std::string> lines;
  for (const RecordContradiction& found : findContradictions(db.recordKeys(setting, ""), trials)) {
    lines.push_back("Setting " + setting + ", records of " + found.subject + ": " +
                    describeContradiction(found, kShownRows, nullptr));
  }
  return lines;
}

}  // namespace

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

  std::vector<PlanFault> found = std::move(rows.faults);
  std::vector<std::string> contradictions;
  for (const std::string& setting : settings) {
    std::vector<PlanFault> faults =
        checkSetting(db.planTables(), rows.players, setting, inputFolder);
    // Records are held against a plan that plays.
    if (!firstFault(faults)) {
      const std::vector<std::string> lines =
          recordContradictions(db, rows.players, setting, inputFolder);
      contradictions.insert(contradictions.end(), lines.begin(), lines.end());
    }
    found.insert(found.end(), faults.begin(), faults.end());
  }
  size_t faultCount = contradictions.size();
  for (const PlanFault& fault : found) {
    std::cout << describeFault(fault) << "\n";
    faultCount += fault.warning ? 0 : 1;
  }
  for (const std::string& line : contradictions) std::cout << line << "\n";
  const size_t warningCount = found.size() + contradictions.size() - faultCount;
  std::cout << faultCount << (faultCount == 1 ? " fault, " : " faults, ") << warningCount
            << (warningCount == 1 ? " warning" : " warnings") << " in " << settings.size()
            << (settings.size() == 1 ? " setting" : " settings") << "\n";
  return faultCount == 0 ? 0 : 1;
}

}  // namespace quarn::admin
