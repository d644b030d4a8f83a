#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/GameState.h"

namespace quarn {

// The rules of a team member's game over GameState: which trials the team
// plays, the stages still to order, the texts a waiting member reads. What
// the workstation reads of its team and stores for it is TeamCoordination's.

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

// Why the running training trial breaks its limits: the member's own stage
// first, then in a team trial the other members' stages, each named
// ("Factory: Cost ran above 150"); empty while every one keeps them.
std::string brokenTrainingLimit(const GameState& state, const Prompter* shownTo);

// Reads the team's members; true once all of them are here (fixed members count
// once they have logged in).
bool readTeamMembers(GameServices& services, GameState& state);

// "Waiting for your team: 2 of 4 here (P07, P12)".
std::string teamFormingText(const Prompter& prompter, const TeamSession& team);

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

// Whether a simulated player orders for the member of `stage` in `week`.
bool stageReplaced(const GameState& state, int16_t stage, int16_t week);

}  // namespace quarn
