#pragma once

// Reading plan rows into TrialPlan records, shared by the block and training
// loaders and the plan check. Conversion problems are collected as faults
// instead of being thrown, so that a check can list every one of them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plan/PlanCheck.h"
#include "session/modDatabase.h"
#include "sim/TrialPlan.h"

namespace quarn {

// Reads typed columns of the current row of `rs`. A value that does not fit
// its width, or cannot be converted at all, becomes a fault placed at the
// reader's setting, table and trial, and the read gives nothing.
class RowReader {
 public:
  RowReader(const Recordset& rs, std::string setting, std::string table, int16_t trial,
            std::vector<SettingFault>& faults);

  void SetTrial(int16_t trial) { trial_ = trial; }
  int16_t Trial() const { return trial_; }
  const std::string& Table() const { return table_; }

  std::optional<int16_t> Int16(const std::string& column);
  std::optional<int32_t> Int32(const std::string& column);
  std::optional<double> Double(const std::string& column);
  std::optional<std::string> Text(const std::string& column);  // a Null is a fault
  std::string TextOrEmpty(const std::string& column);          // a Null reads as ""
  bool Truth(const std::string& column);                       // a Null reads as false

  // A refusal placed at this reader's setting, table and trial.
  SettingFault Refusal(const std::string& field, const std::string& value,
                       const std::string& complaint) const;
  void Add(SettingFault fault) { faults_.push_back(std::move(fault)); }

  // Number of faults recorded so far (by every reader sharing the list).
  size_t FaultCount() const { return faults_.size(); }

 private:
  template <typename Read>
  auto Guarded(const std::string& column, const char* width, Read read)
      -> std::optional<decltype(read(std::declval<const Field&>()))>;

  const Recordset& rs_;
  std::string setting_;
  std::string table_;
  int16_t trial_;
  std::vector<SettingFault>& faults_;
};

// "Setting Demo, trial 3: " (or "Setting Demo: " without a trial).
std::string FaultPrefix(const std::string& setting, int16_t trial);

// A refusal of `field` holding `value` in trial `trial` of a setting's
// `table`, shown as the prefix above followed by `complaint`.
SettingFault MakeRefusal(const std::string& setting, const std::string& table, int16_t trial,
                         const std::string& field, const std::string& value,
                         const std::string& complaint);

// A column value as the moderator would write it.
std::string FieldText(const FieldValue& value);

// Looks a role column's text up: the PlayerTable index of the first player
// whose name matches apart from letter case, or -1 for "Subject" (which then
// becomes the trial's SubjectRole). On a refusal `refusal` receives its text.
int16_t ResolvePlayer(const Plan& players, TrialPlan& trial, int16_t trialIndex,
                      const std::string& name, int16_t role, std::string& refusal);

// The block trials of a setting, in play order, and every fault found on the
// way.
struct BlockRows {
  std::vector<TrialPlan> trials;
  std::vector<SettingFault> faults;
};
BlockRows ReadBlockRows(Database& db, const Plan& players, const std::string& setting,
                        const std::string& inputFolder);

// Reads the columns of one plan row into `trial`, in the loaders' order,
// resolving the four role columns with ResolvePlayer. Training rows take
// numweeks from Weeks and OrderDelay from Delay, and have no EnableProfit or
// PricePerUnit; block trials get OrderDelay 1. Returns false when a value
// could not be converted (the fields then hold stand-ins, not worth
// checking further); a refused player name does not count.
bool ReadTrialColumns(RowReader& reader, const Plan& players, TrialPlan& trial, bool training);

// The first tblTraining row of a setting, read as the training trial it
// describes, placed at index `firstIndex` (the block trial count).
struct TrainingRow {
  bool found = false;
  int16_t Runs = 0;
  int32_t CostLimit = 0;
  int32_t InventoryBound = 0;
  std::string Password;
  TrialPlan trial;
  std::vector<SettingFault> faults;
};
TrainingRow ReadTrainingRow(Database& db, const Plan& players, const std::string& setting,
                            int16_t firstIndex, const std::string& inputFolder);

}  // namespace quarn
