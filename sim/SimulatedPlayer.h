#pragma once

#include <cstdint>
#include <optional>

#include "base/Clock.h"

namespace quarn {

struct ChainContext;
struct PlayerStrategy;
struct RoleState;

// The tick count the noisy orders of one round (a week's step, or the close
// of a week) reseed the generator from. The orders of a round follow each
// other within microseconds, so the clock is read once, at the round's first
// noisy order, rather than at each: a reading costs more than the order.
class OrderRoundTicks {
 public:
  explicit OrderRoundTicks(TickCounter& clock) : m_clock(clock) {}
  uint32_t now() {
    if (!m_read) m_read = m_clock.now();
    return *m_read;
  }

 private:
  TickCounter& m_clock;
  std::optional<uint32_t> m_read;
};

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
// The same within a round of orders that share one tick reading.
int32_t playerOrder(ChainContext& c, int16_t role, OrderRoundTicks& ticks);
// Fills the Sterman state of every stage for the running trial.
void resetSterman(ChainContext& c);
// The Sterman rule's order for `role`, clamped to minOrder..maxOrder.
int32_t stermanOrder(ChainContext& c, int16_t role);
// The same for `player` playing `role`.
int32_t stermanOrder(ChainContext& c, int16_t role, const PlayerStrategy& player);

// The supply line the Sterman rule weighs with beta: the units in transit to
// `stage`, plus, for a stage with a supplier (`upstream`; null for the
// Factory, which produces), its latest order and the supplier's backorder.
// Only the last order slot counts. The fitted decision rules compute their
// supply line from the recorded weeks through this same function.
double stermanSupplyLine(const RoleState& stage, const RoleState* upstream);

}  // namespace quarn
