#pragma once

#include <cstdint>

namespace quarn {

struct ChainContext;

// The anchoring-and-adjustment rule's own state for one stage.
struct StermanState {
  double ExpectedDemand = 0.0;
  int32_t DesiredInventory = 0;
  int16_t SupplyDelay = 0;
  int32_t DesiredSupplyLine = 0;
  double StockTarget = 0.0;
  int32_t AnchorDemand = 0;
};

// The order the simulated player of `role` places now.
int32_t PlayerOrder(ChainContext& c, int16_t role);
// Fills the Sterman state of every stage for the current trial.
void ResetSterman(ChainContext& c);
// The Sterman rule's order for `role`, clamped to MinOrder..MaxOrder.
int32_t StermanOrder(ChainContext& c, int16_t role);

}  // namespace quarn
