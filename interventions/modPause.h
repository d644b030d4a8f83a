#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/Identity.h"
#include "session/modDatabase.h"

namespace quarn {

struct PauseEntry {
  int16_t Trial = 0;
  std::string Password;
};

// The setting's scheduled pauses. NextPause only ever grows: nothing resets
// it, not even a reload of the plan.
struct PauseState {
  std::vector<PauseEntry> PauseList;
  int16_t PauseCount = 0;
  int16_t NextPause = 0;
};

// Reads the setting's pauses in ascending Trial. A setting without pauses
// leaves the state as it was.
void LoadPauses(Database& db, const Identity& identity, PauseState& pauses);

// Whether the trial just finished (0-based index) is the next pause's trial.
bool PauseDue(const PauseState& pauses, int16_t currentTrial);

// True, and the pause is passed, when `text` is the next pause's password
// exactly (case-sensitive). False when no pause is pending.
bool CheckPausePassword(PauseState& pauses, const std::string& text);

}  // namespace quarn
