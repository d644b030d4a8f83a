#pragma once

// The plan-row readers: they turn the rows of the plan tables into the
// records the game plays (TrialPlan, PlayerStrategy), checking every value
// on the way. Faults are collected, not thrown, so that the plan check can
// list every one of them; the game refuses a plan at its first fault.

#include <cstdint>
#include <string>
#include <vector>

#include "plan/PlanFault.h"
#include "plan/PlanTables.h"
#include "plan/RowReader.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The team member a role column names: 1 to 4 for "Subject1" .. "Subject4"
// (exactly), 0 for any other text.
int16_t teamMemberOf(const std::string& name);

// Looks a role column's text up: the index of the first player whose name
// matches apart from the letter case of ASCII letters, or kParticipantPlayer
// for "Subject" (exactly), which then becomes the trial's participantRole,
// and for a team member ("Subject1" .. "Subject4"), whose stage it notes in
// the trial's stageMembers. An unknown name, a second "Subject" or a member
// named twice in one trial is refused: `refusal` receives its text.
int16_t resolvePlayer(const std::vector<PlayerStrategy>& players, TrialPlan& trial,
                      int16_t trialIndex, const std::string& name, int16_t role,
                      std::string& refusal);

// Reads the columns of one plan row into `trial`, resolving the four role
// columns with resolvePlayer and refusing a row that names Subject together
// with team members, or members not numbered from 1 without gaps. Training rows take weeks from
// Weeks and orderDelay from Delay, and have no EnableProfit or PricePerUnit; block trials get
// orderDelay 1. Returns false when a value could not be converted (the fields then hold stand-ins,
// not worth checking further); a refused player name does not count.
bool readTrialColumns(RowReader& reader, const std::vector<PlayerStrategy>& players,
                      TrialPlan& trial, bool training);

// Every row of tblPlayer, in the table's order, and every fault of them: a
// Null or unconvertible value, a name that would break the text lines,
// Sterman parameters too large to compute with. A row whose Name is Null is
// left out.
struct PlayerRows {
  std::vector<PlayerStrategy> players;
  std::vector<PlanFault> faults;
};
PlayerRows readPlayers(PlanTables& tables);

// The block trials of a setting, in play order (each row expanded into Runs
// equal trials), and every fault found on the way: the row's values, its
// demand series, the values its weeks can reach, the rows it names, and
// the cost sum of all its trials.
struct BlockRows {
  std::vector<TrialPlan> trials;
  std::vector<PlanFault> faults;
};
BlockRows readBlocks(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                     const std::string& setting, const std::string& inputFolder);

// The first tblTraining row of a setting, read as the training trial it
// describes, placed at index `firstIndex` (the block trial count).
struct TrainingRow {
  bool found = false;
  int16_t runs = 0;
  int32_t costLimit = 0;
  int32_t inventoryBound = 0;
  std::string password;
  size_t rowCount = 0;  // tblTraining rows of the setting (only the first counts)
  TrialPlan trial;
  std::vector<PlanFault> faults;
};
TrainingRow readTraining(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                         const std::string& setting, int16_t firstIndex,
                         const std::string& inputFolder);

}  // namespace quarn
