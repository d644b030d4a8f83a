#pragma once

// Reading plan rows into TrialPlan records, shared by the block and training
// loaders and the plan check. Conversion problems are collected as faults
// instead of being thrown, so that a check can list every one of them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plan/Plan.h"
#include "plan/PlanCheck.h"
#include "session/modDatabase.h"

namespace quarn {

// Reads typed columns of the current row of `rs`. A value that does not fit
// its width, or cannot be converted at all (a Null, text that is no number),
// becomes a fault placed at the reader's row (its place, e.g. "Setting Demo,
// tblBlock row RandomGroup 0, Index 2 (trial 3)") and the read gives nothing.
class RowReader {
 public:
  RowReader(const Recordset& rs, std::string table, std::string place, int16_t trial,
            std::vector<SettingFault>& faults);

  void SetPlace(std::string place, int16_t trial) {
    place_ = std::move(place);
    trial_ = trial;
  }
  int16_t Trial() const { return trial_; }
  const std::string& Table() const { return table_; }
  const std::string& Place() const { return place_; }

  std::optional<int16_t> Int16(const std::string& column);
  std::optional<int32_t> Int32(const std::string& column);
  std::optional<double> Double(const std::string& column);
  std::optional<std::string> Text(const std::string& column);  // a Null is a fault
  std::string TextOrEmpty(const std::string& column);          // a Null reads as ""
  bool Truth(const std::string& column);                       // a Null reads as false

  // A refusal placed at this reader's row.
  SettingFault Refusal(const std::string& field, const std::string& value,
                       const std::string& complaint) const;
  void Add(SettingFault fault) { faults_.push_back(std::move(fault)); }

  // Number of faults recorded so far (by every reader sharing the list).
  size_t FaultCount() const { return faults_.size(); }

 private:
  template <typename Read>
  auto Guarded(const std::string& column, const char* width, const char* kind, Read read)
      -> std::optional<decltype(read(std::declval<const Field&>()))>;

  const Recordset& rs_;
  std::string table_;
  std::string place_;
  int16_t trial_;
  std::vector<SettingFault>& faults_;
};

// Where a fault lies, as the moderator finds it: "Setting Demo", "Setting
// Demo, tblBlock row RandomGroup 0, Index 2 (trials 3 to 5)", "Setting Demo,
// tblTraining". Unprintable characters of the names appear as their codes.
std::string SettingPlace(const std::string& setting);
std::string BlockPlace(const std::string& setting, const Recordset& rs, int64_t firstTrial,
                       int64_t runs);
std::string TrainingPlace(const std::string& setting);

// A refusal of `field` holding `value` in a row of `table`, shown as the
// row's place, ": " and `complaint`. `trial` is the first trial concerned
// (-1 for none).
SettingFault MakeRefusal(const std::string& table, const std::string& place, int16_t trial,
                         const std::string& field, const std::string& value,
                         const std::string& complaint);

// A column value as the moderator would write it (unprintable characters as
// their codes).
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

// Every row of tblPlayer, in the database's order, and every fault of them:
// a Null or unconvertible value, a name that would break the text lines,
// Sterman parameters too large to compute with. A row whose Name is Null is
// left out.
struct PlayerRows {
  std::vector<PlayerStrategy> players;
  std::vector<SettingFault> faults;
};
PlayerRows ReadPlayerRows(Database& db);

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
  int rowCount = 0;  // tblTraining rows of the setting (only the first counts)
  TrialPlan trial;
  std::vector<SettingFault> faults;
};
TrainingRow ReadTrainingRow(Database& db, const Plan& players, const std::string& setting,
                            int16_t firstIndex, const std::string& inputFolder);

}  // namespace quarn
