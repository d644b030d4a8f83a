#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Random.h"
#include "sim/SimulatedPlayer.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The state of one stage during the running trial.
struct RoleState {
  std::string roleName;
  std::string playerName;
  int32_t deltaInventory = 0;
  int32_t inventory = 0;  // net inventory; negative is the backorder
  int32_t received = 0;
  std::vector<int32_t> orderSlots;  // indices 0..orderDelay
  std::vector<int32_t> delaySlots;  // indices 0..delay-1
  int32_t demand = 0;
  int32_t satisfied = 0;
  int32_t weeklyCost = 0;
  int32_t totalCost = 0;
};

// The four stages and the week counter of the running trial.
struct Chain {
  std::array<RoleState, kRoleCount> roles;
  std::array<StermanState, kRoleCount> sterman;
  int16_t currentWeek = 0;  // 1 at trial start, raised by each order
  int16_t participantOrder = 0;
  // In a team trial, the orders the other members typed for the closing
  // week, by stage (the participant's own is participantOrder).
  std::array<int16_t, kRoleCount> memberOrders{};
  // In a team trial, per stage the first week that a simulated player (the
  // stage's rolePlayers entry) orders for a member the moderator replaced;
  // 0 where nobody was replaced.
  std::array<int16_t, kRoleCount> replacedFromWeek{};
};

// Everything a week step works on: the running trial's parameters, the
// player table its rolePlayers index, the chain, and the clock and generator
// of the simulated players' noise. `weekClosed` writes the week's records
// (text line, then database rows); the chain knows nothing of either.
struct ChainContext {
  TrialPlan& trial;
  const std::vector<PlayerStrategy>& players;
  Chain& chain;
  TickCounter& ticks;
  UniformRandom& random;
  std::function<void()> weekClosed;
};

// One shipment step of the chain for the current week.
void stepWeek(ChainContext& c);
// Places the remaining orders, charges the costs, records the week and runs
// the next step unless the trial's last week is done.
void closeWeek(ChainContext& c);

// The per-stage steps; only stepWeek and closeWeek call them.
void setIncomingOrder(ChainContext& c, int16_t role);
void shipGoods(ChainContext& c, int16_t role);
void advanceShipments(ChainContext& c, int16_t role);
void placeOrder(ChainContext& c, int16_t role);
void chargeCost(ChainContext& c, int16_t role);

}  // namespace quarn
