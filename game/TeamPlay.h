#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/GameState.h"

namespace quarn {

// The team side of a team member's game: what the workstation reads of its
// team and stores for it. Every member's workstation computes the whole
// chain itself from the typed orders, so reading them is all a week needs.

// Whether the running trial is a team trial that this session plays as a
// member (training is played alone unless its row names members).
bool playsTeamTrial(const GameState& state);

// Whether the session is in training that the team plays together.
bool trainsWithTeam(const GameState& state);

// The number under which the team stores the running trial's orders: the
// experiment trial's place in the setting, counted from 1; in training the
// team's count of training trials begun.
int16_t teamTrialNumber(const GameState& state);

// Where a member goes on in training played together: at the training
// trial the member began last (the team's latest when it began none), under
// the Trial number the member records it; nowhere once the team's training
// is over and the member has recorded its part (false).
bool joinTeamTraining(GameServices& services, GameState& state);

// Stores that this member begins the running training trial, and under
// which Trial number it records it.
void beginTeamTraining(GameServices& services, GameState& state);

// Training played together ends for the whole team: played to its end, or
// skipped by any member's moderator. teamTrainingOver tells whether any
// member stored it.
void endTeamTraining(GameServices& services, GameState& state);
bool teamTrainingOver(GameServices& services, GameState& state);

// Why the running training trial breaks its limits: the member's own stage
// first, then in a team trial the other members' stages, each named
// ("Factory: Cost ran above 150"); empty while every one keeps them.
std::string brokenTrainingLimit(const GameState& state, const Prompter* shownTo);

// Reads the team's members; true once all of them are here (fixed members count
// once they have logged in).
bool readTeamMembers(GameServices& services, GameState& state);

// "Waiting for your team: 2 of 4 here (P07, P12)".
std::string teamFormingText(const Prompter& prompter, const TeamSession& team);

// Reads the running trial's typed orders and replaced members, and lets a
// simulated player order for each replaced member from the week it was
// replaced.
void readTeamTrial(GameServices& services, GameState& state);

// The typed orders of `week` by stage once every member's stage has one (or
// a simulated player orders for it); nothing while one is missing.
std::optional<std::array<int16_t, kRoleCount>> completeTeamWeek(GameState& state, int16_t week);

// The stages whose members have not ordered `week` yet, upstream first.
std::vector<int16_t> stagesToOrder(const GameState& state, int16_t week);

// "Waiting for the Factory and the Retailer...".
std::string teamWaitingText(const Prompter& prompter, const std::vector<int16_t>& stages);

// What a member whose week is not complete reads: that a simulated player
// plays the member's stage now (the moderator replaced the member), or
// whom the team's week waits for.
std::string teamWeekText(const Prompter& prompter, const GameState& state, int16_t week);

// Whether this member's order of `week` is stored, or a simulated player
// orders for this member in `week`: either way the member does not order.
bool memberDone(const GameState& state, int16_t week);

// Stores this member's order of `week` as typed, with its decision time.
void storeMemberOrder(GameServices& services, GameState& state, int16_t week, int16_t order,
                      int32_t decisionTime);

// Records that this member plays its stage in the running trial (datTeam,
// under the member's `recordedTrial`), and names the other members' stages
// for their User IDs.
void recordTeamTrial(GameServices& services, GameState& state, int16_t recordedTrial);

// A pause before the next trial holds the whole team: any member's moderator
// passes it for all. The pause passed is stored as an order of week 0 of the
// next trial; teamPausePassed tells whether any member stored it.
void passTeamPause(GameServices& services, GameState& state);
bool teamPausePassed(GameServices& services, GameState& state);

// Whether a simulated player orders for the member of `stage` in `week`.
bool stageReplaced(const GameState& state, int16_t stage, int16_t week);

}  // namespace quarn
