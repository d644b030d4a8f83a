#pragma once

// The played trials of an experiment database, read for the researcher's
// results through the data layer's ResultStore.

#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "db/DatabaseAccess.h"
#include "db/DatabaseTables.h"
#include "db/ResultStore.h"
#include "sim/TrialPlan.h"

namespace quarn {

// One participant's recorded trials of one setting, by trial number, from
// its rows. The trial's planned weeks, delay and players come from its
// datTrial row; without one, from the weekly rows. A week missing a stage's
// row is left out and counted in skippedWeeks; a row whose Role names no
// stage is ignored. A team member's trial ends before the first week whose
// row of the member's stage does not carry User 6 (a simulated player took
// the stage over): it is marked `replaced`. Trials without weekly rows (or
// without a week the member played) are not listed.
std::vector<RecordedTrial> recordedTrials(const RecordedRows& rows);

// The same, completed from the setting's block trials (in play order, so
// that trial N is plan[N - 1]) and the player table they index: the
// treatment of every trial, and the planned weeks and the stages' players of
// a trial without a datTrial row, which a session ended before the trial did
// leaves behind. Such a trial names its stages as the game does: "Subject"
// on the participant's, "Subject2" on another member's (joinTeams puts the
// member's ID there) and the simulated player's name elsewhere.
std::vector<RecordedTrial> recordedTrials(const RecordedRows& rows,
                                          const std::vector<TrialPlan>& plan,
                                          const std::vector<PlayerStrategy>& players);

// How the trial's customer demand is made: the demand file's name, or
// "step 4 to 8 in week 5".
std::string demandSource(const TrialPlan& trial);

// The experiment trials (not training) recorded in the database, by
// participant, setting and trial number; an empty setting or subject takes
// all. Reads under the data layer's read policy.
std::vector<RecordedTrial> recordedTrials(DatabaseAccess& db, const std::string& setting = "",
                                          const std::string& subject = "",
                                          const std::string& inputFolder = "");

// A row of datTeam: who played a stage of a team's experiment trial.
struct TeamRow {
  std::string setting;
  std::string team;
  int16_t trial = 0;
  TeamSeat seat;
};

// Marks the records of every member of a team trial (a row of `rows` names
// the member's ID, setting and trial) with the team, the member and every
// member of the team in that trial. Records no row names stay one
// participant's. A member the moderator replaced keeps the weeks before the
// player's FromWeek and is marked `replaced`.
void joinTeams(std::vector<RecordedTrial>& trials, const std::vector<TeamRow>& rows);

// Every row of datTeam; none when the database has no such table.
std::vector<TeamRow> recordedTeamRows(DatabaseTables& tables);

// The participants and settings with recorded experiment trials, each name
// once, in the order the store lists them, and the participants who played
// nothing but training.
struct RecordedNames {
  std::vector<std::string> subjects;
  std::vector<std::string> settings;
  std::vector<std::string> trainingOnly;
};
RecordedNames recordedNames(DatabaseAccess& db);

// The recorded name that `typed` names apart from letter case, beyond ASCII
// too (as the login matches IDs: ZOË finds Zoë); an empty `typed` stays
// empty. Raises
// QuarnError naming the known ones when there is none.
std::string recordedName(const std::vector<std::string>& known, const std::string& typed,
                         const std::string& what);

// recordedName for a participant's ID; one who played training only is
// refused as such.
std::string recordedParticipant(const RecordedNames& names, const std::string& typed);

}  // namespace quarn
