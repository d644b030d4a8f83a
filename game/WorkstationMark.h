#pragma once

// A participant plays on one workstation at a time: the login marks the
// participant as playing here, every recorded week and every change of what
// the participant does refreshes the mark (so does the application's timer),
// the end removes it.

#include <string>

#include "game/GameState.h"

namespace quarn {

enum class Claim {
  Marked,          // the participant is marked as playing here
  TakeOverAgreed,  // marked elsewhere; the moderator agreed to take over (nothing written yet)
  Refused,         // marked elsewhere; the moderator said No
};

// Marks the logged-in participant as playing here. Another workstation's
// mark that counts is named to the moderator, who may agree to take the
// participant over (No is the default). That mark stays until
// completeTakeOver(): backing out leaves the other session playing.
Claim claimWorkstation(GameServices& services, GameState& state);

// Marks the participant as playing here over the other workstation's mark,
// which ends that session at its next write.
void completeTakeOver(GameServices& services, GameState& state);

// What the participant does now, for the mark: the trial and week of the
// game, the stage, the cost so far. `previous` keeps its start time while
// the state and week stay the same.
PlayActivity activityOf(const GameState& state, PlayState now, int16_t recordedTrial, int64_t at,
                        const PlayActivity& previous);

// Refreshes the mark (with `now` as what the participant does) before
// anything is written. When another workstation holds the participant now,
// the session ends (status 1) with a message naming `unrecorded` (e.g.
// "trial 1, week 2 was not recorded"; empty: nothing was lost) and nothing
// more is written anywhere: two sessions of one participant would file their
// weeks under each other's trials.
void keepWorkstation(GameServices& services, GameState& state, PlayState now, int16_t recordedTrial,
                     const std::string& unrecorded);

// Refreshes the mark as keepWorkstation() does, but only says whether the
// participant is still marked here: for a refresh under an open question,
// which must not end the session in the middle of it.
bool refreshWorkstation(GameServices& services, GameState& state, PlayState now,
                        int16_t recordedTrial);

// Removes the session's mark, at a normal end or before another login.
void releaseWorkstation(GameServices& services, GameState& state);

// The secret of the session's mark (empty without one): a team member's
// rows are written on a server only with it.
std::string markSecret(const GameState& state);

}  // namespace quarn
