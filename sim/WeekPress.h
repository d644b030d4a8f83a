#pragma once

// The press of "Make Order", written once for the game, the batch
// simulation and the tests.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "sim/Chain.h"

namespace quarn {

// One press: the week counter moves on, then the week closes with the
// participant's order, which `participantOrder` gives once the counter has
// moved (a simulated participant orders for the new week).
void pressWeek(ChainContext& c, const std::function<int16_t()>& participantOrder);
// The press that closes a team trial's week once every member has ordered:
// `typedOrders` holds each member's order at the member's stage (other
// entries are not read). Every member's workstation presses with the same
// orders, so all compute the same chain whichever stage is their own.
void pressTeamWeek(ChainContext& c, const std::array<int16_t, kRoleCount>& typedOrders);
// The seed of a team trial's noise: the same for every member's workstation
// and for a workstation that starts again and replays the typed orders, and
// different for every team and trial. A team trial's generator takes it as
// its fixed seed (StandardUniformRandom(seed)) from the trial's start.
uint32_t teamNoiseSeed(const std::string& setting, const std::string& team, int16_t trial);
// The seed of the forecast noise of a team trial's `week`, made from the
// trial's seed: each week's forecast is drawn from a generator of its own,
// so that every member's workstation, and one that replays the weeks after
// starting again, shows and records the same forecast.
uint32_t teamForecastSeed(uint32_t trialSeed, int16_t week);
// Presses once for every week of the started trial, to its end.
void playToEnd(ChainContext& c, const std::function<int16_t()>& participantOrder);

}  // namespace quarn
