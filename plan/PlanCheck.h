#pragma once

// The checks of a loaded trial: the values its play relies on, warnings
// about values that are legal but almost always a mistake, and the rows it
// names in other tables.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plan/PlanBounds.h"
#include "plan/PlanFault.h"
#include "plan/PlanTables.h"
#include "plan/Predicter.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The checks of one loaded trial, read from a row of `table` at `place`:
// the values the chain's arrays rely on (Delay, numweeks, JumpWeek), the
// demand file, and every value the weeks can reach (PlanBounds). Fills
// `trial.weeklyDemand` (pass a copy) and `bounds` when the values allow.
std::vector<PlanFault> checkLoadedTrial(TrialPlan& trial,
                                        const std::vector<PlayerStrategy>& players,
                                        const std::string& table, const std::string& place,
                                        int16_t index, const std::string& inputFolder,
                                        TrialBounds& bounds);

// The checks of checkLoadedTrial that need only the values read (Delay,
// numweeks, JumpWeek), for a row of which some columns could not be read:
// those in `unread` (and what depends on them) are left out, so that one
// pass of the check lists every fault of the row.
std::vector<PlanFault> checkReadValues(const TrialPlan& trial, const std::string& table,
                                       const std::string& place, int16_t index,
                                       const std::set<std::string>& unread);

// The fields of faults[from ..], not counting warnings.
std::set<std::string> faultedFields(const std::vector<PlanFault>& faults, size_t from);

// The warnings of a trial's bounds: orders limited below what the order box
// holds.
void warnAboutBounds(const TrialBounds& bounds, const std::string& table, const std::string& place,
                     int16_t index, std::vector<PlanFault>& out);

// Values of a trial row that are legal but almost always a mistake:
// MaxOrder below MinOrder, negative cost rates, negative demand. The trial's
// demand series must be built.
void warnAboutTrial(const TrialPlan& trial, const std::string& table, const std::string& place,
                    int16_t index, std::vector<PlanFault>& out);

// The rows that trials name in other tables (tblPredicter, tblDisplay,
// tblDisplayOption), each read once.
class PlanReferences {
 public:
  explicit PlanReferences(PlanTables& tables) : m_tables(tables) {}

  // The faults and warnings of the predicter and the display configuration
  // that `trial` (with its demand series built) names.
  void checkTrial(const TrialPlan& trial, const std::string& table, const std::string& place,
                  int16_t index, std::vector<PlanFault>& out);

 private:
  struct PredicterRow {
    bool found = false;
    bool readable = false;
    Forecast forecast;
    std::vector<PlanFault> faults;  // of reading it
  };
  struct OptionRow {
    bool found = false;
    std::vector<PlanFault> faults;
    std::vector<std::string> hidden;  // the figures it hides
  };
  struct DisplayRow {
    bool found = false;
    std::vector<PlanFault> faults;
    std::string options[kRoleCount];
  };

  const PredicterRow& predicter(const std::string& name, const std::string& place, int16_t index);
  const DisplayRow& display(const std::string& name, const std::string& place, int16_t index);
  const OptionRow& option(const std::string& name, const std::string& place, int16_t index);

  PlanTables& m_tables;
  std::map<std::string, PredicterRow> m_predicters;
  std::map<std::string, DisplayRow> m_displays;
  std::map<std::string, OptionRow> m_options;
  std::set<std::string> m_reported;  // faults and warnings already listed
};

// The faults of a setting's tblPause rows (a Null or unconvertible Trial or
// Password), and a warning for a pause after a trial the setting does not
// have (`trialCount` block trials).
std::vector<PlanFault> checkPauses(PlanTables& tables, const std::string& setting,
                                   int16_t trialCount);

}  // namespace quarn
