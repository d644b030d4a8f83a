#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plan/Plan.h"
#include "plan/PlanBounds.h"
#include "session/modDatabase.h"

namespace quarn {

// One thing wrong with a plan, or (a warning) legal but almost always a
// mistake. The loaders refuse the plan at the first fault and ignore
// warnings; the administration tool lists them all.
struct SettingFault {
  std::string table;   // the table the fault lies in: tblBlock, tblTraining, tblPlayer, ...
  std::string place;   // where: "Setting Demo, tblBlock row RandomGroup 0, Index 2 (trial 3)"
  int16_t trial = -1;  // index in TrialPlans of the first trial concerned; -1 for none
  std::string field;   // the column or plan field
  std::string value;   // its value as text
  std::string text;    // what the moderator is shown
  std::string title;   // title of the refusal box
  // Non-zero for a value that cannot be converted at all (a Null, text in a
  // number column, a missing column): raised as an error with this number
  // instead of being refused with a message box.
  int errorNumber = 0;
  bool warning = false;
};

// Shows the fault's refusal and ends the application (an error fault is
// raised as a QuarnError instead, for the top of the event loop to report).
[[noreturn]] void RefusePlan(Prompter& toolkit, const SettingFault& fault);

// The first entry of `faults` that is not a warning, or null.
const SettingFault* FirstFault(const std::vector<SettingFault>& faults);

// One line for a listing: the message, with its place put in front when the
// message does not name it itself, and "warning: " in front of a warning.
std::string DescribeFault(const SettingFault& fault);

// The checks of one loaded trial, read from a row of `table` at `place`:
// the values the chain's arrays rely on (Delay, numweeks, JumpWeek), the
// demand file, and every value the weeks can reach (PlanBounds). Fills
// `trial.weeklyDemand` (pass a copy) and `bounds` when the values allow.
std::vector<SettingFault> CheckLoadedTrial(TrialPlan& trial,
                                           const std::vector<PlayerStrategy>& players,
                                           const std::string& table, const std::string& place,
                                           int16_t index, const std::string& inputFolder,
                                           TrialBounds& bounds);

// Values of a trial row that are legal but almost always a mistake:
// MaxOrder below MinOrder, negative cost rates, negative demand. The trial's
// demand series must be built.
void WarnAboutTrial(const TrialPlan& trial, const std::string& table, const std::string& place,
                    int16_t index, std::vector<SettingFault>& out);

// The rows that trials name in other tables (tblPredicter, tblDisplay,
// tblDisplayOption), each read once.
class PlanReferences {
 public:
  explicit PlanReferences(Database& db) : db_(db) {}

  // The faults and warnings of the predicter and the display configuration
  // that `trial` (with its demand series built) names.
  void CheckTrial(const TrialPlan& trial, const std::string& table, const std::string& place,
                  int16_t index, std::vector<SettingFault>& out);

 private:
  struct PredicterRow {
    bool found = false;
    bool readable = false;
    Forecast forecast;
    std::vector<SettingFault> faults;  // of reading it
  };
  struct OptionRow {
    bool found = false;
    std::vector<SettingFault> faults;
    std::vector<std::string> hidden;  // the figures it hides
  };
  struct DisplayRow {
    bool found = false;
    std::vector<SettingFault> faults;
    std::string options[kRoleCount];
  };

  const PredicterRow& Predicter(const std::string& name, const std::string& place, int16_t index);
  const DisplayRow& Display(const std::string& name, const std::string& place, int16_t index);
  const OptionRow& Option(const std::string& name, const std::string& place, int16_t index);

  Database& db_;
  std::map<std::string, PredicterRow> predicters_;
  std::map<std::string, DisplayRow> displays_;
  std::map<std::string, OptionRow> options_;
  std::set<std::string> reported_;  // faults and warnings already listed
};

// The faults of a setting's tblPause rows (a Null or unconvertible Trial or
// Password), and a warning for a pause after a trial the setting does not
// have (`trialCount` block trials).
std::vector<SettingFault> CheckPauses(Database& db, const std::string& setting, int16_t trialCount);

// Every fault and warning of a setting's block, training and pause rows and
// the rows they name, with the player names looked up in `players` (the
// loaded tblPlayer). Reads the database but starts and writes nothing. An
// error that stops the reading itself (a missing column) is returned as a
// fault too.
std::vector<SettingFault> CheckSetting(Database& db, const Plan& players,
                                       const std::string& setting, const std::string& inputFolder);

}  // namespace quarn
