#pragma once

// A participant plays on one workstation at a time: the login marks the
// participant as playing here, every recorded week refreshes the mark, the
// end removes it.

#include "game/GameState.h"

namespace quarn {

// Marks the logged-in participant as playing here. Another workstation's
// mark that counts is named to the moderator, who may take the participant
// over; No leaves everything as it was and returns false.
bool claimWorkstation(GameServices& services, GameState& state);

// Refreshes the mark before a week is recorded. When another workstation
// holds the participant now, the session ends (status 1) before the week is
// recorded anywhere: two sessions of one participant would file their weeks
// under each other's trials.
void keepWorkstation(GameServices& services, GameState& state, int16_t recordedTrial);

// Removes the session's mark, at a normal end or before another login.
void releaseWorkstation(GameServices& services, GameState& state);

}  // namespace quarn
