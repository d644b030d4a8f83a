#include "sim/SimulatedPlayer.h"

#include <cmath>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "sim/Chain.h"
#include "sim/CheckedInts.h"
#include "sim/PlayerRules.h"

namespace quarn {

namespace {

const PlayerStrategy& playerOf(const ChainContext& c, int16_t role) {
  const int16_t index = c.trial.rolePlayers[static_cast<size_t>(role)];
  if (index < 0 || static_cast<size_t>(index) >= c.players.size()) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "Role " + decimal(role) + " has no simulated player (" + decimal(index) + ")");
  }
  return c.players[static_cast<size_t>(index)];
}

void checkRole(int16_t role) {
  if (!isRole(role)) {
    throw QuarnError(kErrSubscriptOutOfRange, "Role " + decimal(role) + " is not 0 to 3");
  }
}

// The Sterman rule's order for `role`, played by `p` (the role checked and
// its player found by the caller).
int32_t stermanOrderOf(ChainContext& c, int16_t role, const PlayerStrategy& p) {
  const TrialPlan& trial = c.trial;
  const RoleState& s = c.chain.roles[static_cast<size_t>(role)];
  StermanState& st = c.chain.sterman[static_cast<size_t>(role)];
  if (s.orderSlots.empty()) {
    throw QuarnError(kErrSubscriptOutOfRange, "The trial has not been started");
  }

  const int64_t week = int64_t{c.chain.currentWeek} - 1;
  if (week < 0 || week >= static_cast<int64_t>(trial.weeklyDemand.size())) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "Week " + decimal(c.chain.currentWeek) + " has no customer demand");
  }
  const int32_t d = trial.weeklyDemand[static_cast<size_t>(week)];
  // The anchor stays at week 1's demand, so this is redone at every call
  // while the customer demand differs from it.
  if (d != st.anchorDemand) {
    st.expectedDemand = p.theta * s.demand + (1 - p.theta) * st.anchorDemand;
    st.desiredInventory = 0;
    st.desiredSupplyLine =
        fit32(int64_t{d} * st.supplyDelay + st.anchorDemand, "DesiredSupplyLine");
    st.stockTarget = static_cast<double>(
        fit32(int64_t{st.desiredInventory} + st.desiredSupplyLine, "StockTarget"));
  }

  const double supplyLine = stermanSupplyLine(
      s, role > roleIndex(Role::Factory) ? &c.chain.roles[static_cast<size_t>(role - 1)] : nullptr);

  double order = ((st.stockTarget - s.inventory) - p.beta * supplyLine) * p.alpha +
                 st.expectedDemand + p.epsilon;
  if (order < trial.minOrder) {
    order = trial.minOrder;
  } else if (order > trial.maxOrder) {
    order = trial.maxOrder;
  }
  return round32(order, "Sterman order");
}

}  // namespace

int32_t playerOrder(ChainContext& c, int16_t role) {
  OrderRoundTicks ticks(c.ticks);
  return playerOrder(c, role, ticks);
}

int32_t playerOrder(ChainContext& c, int16_t role, OrderRoundTicks& ticks) {
  checkRole(role);
  const TrialPlan& trial = c.trial;
  const PlayerStrategy& p = playerOf(c, role);

  int32_t noise = 0;
  if (trial.maxNoise > 0) {
    // Any MaxNoise of its 16 bits makes a span and a noise that fit 32.
    const int64_t span = 2 * int64_t{trial.maxNoise};
    c.random.reseed(ticks.now());
    const double u = c.random.next();
    // Int drops the fraction. For a draw in [0, 1), u * span + 1 lies in
    // [1, span + 1), where truncation is the floor; anything else takes the
    // checked way.
    if (u >= 0.0 && u < 1.0) [[likely]] {
      noise = static_cast<int32_t>(static_cast<int64_t>(u * span + 1) - 2);
    } else {
      noise = fit32(int64_t{round32(std::floor(u * span + 1), "Noise")} - 2, "Noise");
    }
  }
  // The terms are added up in 64 bits; only the order placed is narrowed.
  int64_t order = noise;
  for (const PlayerRuleEntry& rule : playerRules()) {
    if (follows(p, rule)) order += rule.term(c, role, p);
  }
  if (order < 0) return p.orderIfNegative;
  return fit32(order, "Order");
}

void resetSterman(ChainContext& c) {
  const TrialPlan& trial = c.trial;
  if (trial.weeklyDemand.empty()) {
    throw QuarnError(kErrSubscriptOutOfRange, "The customer demand has not been built");
  }
  const int32_t anchor = trial.weeklyDemand[0];
  for (int16_t r = 0; r < kRoleCount; ++r) {
    StermanState& st = c.chain.sterman[static_cast<size_t>(r)];
    st.expectedDemand = 0.0;
    st.desiredInventory = trial.initialInventory;
    st.supplyDelay = r > roleIndex(Role::Factory)
                         ? narrow16(int64_t{trial.delay} + trial.orderDelay, "SupplyDelay")
                         : trial.delay;
    st.desiredSupplyLine =
        narrow32(int64_t{anchor} * (int64_t{st.supplyDelay} + 1), "DesiredSupplyLine");
    st.stockTarget = static_cast<double>(
        narrow32(int64_t{st.desiredInventory} + st.desiredSupplyLine, "StockTarget"));
    st.anchorDemand = anchor;
  }
}

int32_t stermanOrder(ChainContext& c, int16_t role) {
  checkRole(role);
  return stermanOrderOf(c, role, playerOf(c, role));
}

int32_t stermanOrder(ChainContext& c, int16_t role, const PlayerStrategy& player) {
  checkRole(role);
  return stermanOrderOf(c, role, player);
}

double stermanSupplyLine(const RoleState& stage, const RoleState* upstream) {
  int64_t transit = 0;
  for (const int32_t units : stage.delaySlots) transit += units;
  double supplyLine = static_cast<double>(transit);
  if (upstream != nullptr) {
    if (stage.orderSlots.empty()) {
      throw QuarnError(kErrSubscriptOutOfRange, "The stage has no order slots");
    }
    supplyLine += static_cast<double>(stage.orderSlots.back());
    if (upstream->inventory < 0) supplyLine += -static_cast<double>(upstream->inventory);
  }
  return supplyLine;
}

}  // namespace quarn
