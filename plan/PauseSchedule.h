#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plan/PlanTables.h"

namespace quarn {

// A pause of the setting: after trial `afterTrial` (counted from 1) the game
// stops until the moderator types `password`.
struct Pause {
  int16_t afterTrial = 0;  // Trial
  std::string password;
};

// The setting's scheduled pauses. nextPause only ever grows: nothing resets
// it, not even a reload of the plan.
struct PauseSchedule {
  std::vector<Pause> pauses;
  int16_t nextPause = 0;
};

// Reads the setting's pauses in ascending Trial. A setting without pauses
// leaves the schedule as it was.
void loadPauses(PlanTables& tables, const std::string& setting, PauseSchedule& schedule);

// Where a participant who goes on after `trialsBefore` experiment trials
// stands in the schedule: at the first pause after one of those trials or
// later. A pause after the last of them is still due: the participant's
// workstation may have stopped in it.
void resumePauses(PauseSchedule& schedule, int16_t trialsBefore);

// Whether the trial just finished (0-based index) is the next pause's trial.
bool pauseDue(const PauseSchedule& schedule, int16_t currentTrial);

// Passes the next pause as if its password had been typed: another member of
// the team passed it.
void passPause(PauseSchedule& schedule);
// True, and the pause is passed, when `text` is the next pause's password
// exactly (case-sensitive). False when no pause is pending.
bool checkPausePassword(PauseSchedule& schedule, const std::string& text);

}  // namespace quarn
