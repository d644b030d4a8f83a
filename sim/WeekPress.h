#pragma once

// The press of "Make Order", written once for the game, the batch
// simulation and the tests.

#include <array>
#include <cstdint>
#include <functional>

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
// Presses once for every week of the started trial, to its end.
void playToEnd(ChainContext& c, const std::function<int16_t()>& participantOrder);

}  // namespace quarn
