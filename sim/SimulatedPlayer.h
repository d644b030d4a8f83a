#pragma once

#include <cstdint>

namespace quarn {

struct ChainContext;
struct RoleState;

// The anchoring-and-adjustment rule's own state for one stage.
struct StermanState {
  double expectedDemand = 0.0;
  int32_t desiredInventory = 0;
  int16_t supplyDelay = 0;
  int32_t desiredSupplyLine = 0;
  double stockTarget = 0.0;
  int32_t anchorDemand = 0;
};

// The order the simulated player of `role` places now.
int32_t playerOrder(ChainContext& c, int16_t role);
// Fills the Sterman state of every stage for the running trial.
void resetSterman(ChainContext& c);
// The Sterman rule's order for `role`, clamped to minOrder..maxOrder.
int32_t stermanOrder(ChainContext& c, int16_t role);

// The supply line the Sterman rule weighs with beta: the units in transit to
// `stage`, plus, for a stage with a supplier (`upstream`; null for the
// Factory, which produces), its latest order and the supplier's backorder.
// Only the last order slot counts. The fitted decision rules compute their
// supply line from the recorded weeks through this same function.
double stermanSupplyLine(const RoleState& stage, const RoleState* upstream);

}  // namespace quarn
