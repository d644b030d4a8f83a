#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Random.h"
#include "sim/TrialPlan.h"
#include "sim/modSterman.h"

namespace quarn {

// The state of one stage during the running trial.
struct RoleState {
  std::string RoleName;
  std::string PlayerName;
  int32_t DeltaInventory = 0;
  int32_t Inventory = 0;  // net inventory; negative is the backorder
  int32_t Received = 0;
  std::vector<int32_t> OrderSlots;  // indices 0..OrderDelay
  std::vector<int32_t> DelaySlots;  // indices 0..Delay-1
  int32_t Demand = 0;
  int32_t Satisfied = 0;
  int32_t WeeklyCost = 0;
  int32_t TotalCost = 0;
};

// The four stages and the week counter of the running trial.
struct Chain {
  std::array<RoleState, kRoleCount> Roles;
  std::array<StermanState, kRoleCount> Sterman;
  int16_t CurrentWeek = 0;  // 1 at trial start, raised by each order
  int16_t SubjectOrder = 0;
};

// Everything a week step works on. `WeekClosed` writes the week's records
// (text line, then database rows); the core knows nothing of either.
struct ChainContext {
  Plan& plan;
  Chain& chain;
  TickCounter& ticks;
  UniformRandom& random;
  std::function<void()> WeekClosed;
};

void SetSubjectOrder(Chain& chain, int16_t order);
int16_t GetSubjectOrder(const Chain& chain);

// One shipment step of the chain for the current week.
void StepWeek(ChainContext& c);
// Places the remaining orders, charges the costs, records the week and runs
// the next step unless the trial's last week is done.
void CloseWeek(ChainContext& c);

// The per-stage steps; only StepWeek and CloseWeek call them.
void SetIncomingOrder(ChainContext& c, int16_t role);
void ShipGoods(ChainContext& c, int16_t role);
void AdvanceShipments(ChainContext& c, int16_t role);
void PlaceOrder(ChainContext& c, int16_t role);
void ChargeCost(ChainContext& c, int16_t role);

}  // namespace quarn
