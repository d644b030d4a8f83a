#include "sim/modSterman.h"

#include <cmath>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "sim/modDelivery.h"

namespace quarn {

namespace {

const PlayerStrategy& PlayerOf(const Plan& plan, const TrialPlan& trial, int16_t role) {
  const int16_t index = trial.RolePlayer[static_cast<size_t>(role)];
  if (index < 0 || static_cast<size_t>(index) >= plan.PlayerTable.size()) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "Role " + decimal(role) + " has no simulated player (" + decimal(index) + ")");
  }
  return plan.PlayerTable[static_cast<size_t>(index)];
}

void CheckRole(int16_t role) {
  if (role < 0 || role >= kRoleCount) {
    throw QuarnError(kErrSubscriptOutOfRange, "Role " + decimal(role) + " is not 0 to 3");
  }
}

}  // namespace

int32_t PlayerOrder(ChainContext& c, int16_t role) {
  CheckRole(role);
  const TrialPlan& trial = CurrentPlan(c.plan);
  const PlayerStrategy& p = PlayerOf(c.plan, trial, role);
  const RoleState& s = c.chain.Roles[static_cast<size_t>(role)];

  int32_t noise = 0;
  if (trial.MaxNoise > 0) {
    const int16_t span = narrow16(2 * int64_t{trial.MaxNoise}, "2 x MaxNoise");
    c.random.reseed(c.ticks.now());
    const double u = c.random.next();
    // Int drops the fraction; u * span + 1 is at least 1, so floor is Int.
    noise = narrow32(int64_t{toInt32(std::floor(u * span + 1), "Noise")} - 2, "Noise");
  }
  int32_t order = noise;
  if (p.Sterman) order = narrow32(int64_t{StermanOrder(c, role)} + order, "Order");
  if (p.Demand) order = narrow32(int64_t{order} + s.Demand, "Order");
  if (p.BackOrder && s.Inventory < 0) order = narrow32(int64_t{order} - s.Inventory, "Order");
  if (p.Delta && s.Inventory < 0 && s.DeltaInventory < 0) {
    order = narrow32(int64_t{order} - s.DeltaInventory + s.Demand, "Order");
  }
  if (order < 0) order = p.IfZero;
  return order;
}

void ResetSterman(ChainContext& c) {
  const TrialPlan& trial = CurrentPlan(c.plan);
  if (trial.WeeklyDemand.empty()) {
    throw QuarnError(kErrSubscriptOutOfRange, "The customer demand has not been built");
  }
  const int32_t anchor = trial.WeeklyDemand[0];
  for (int16_t r = 0; r < kRoleCount; ++r) {
    StermanState& st = c.chain.Sterman[static_cast<size_t>(r)];
    st.ExpectedDemand = 0.0;
    st.DesiredInventory = trial.InitInventory;
    st.SupplyDelay = r > kFactory ? narrow16(int64_t{trial.Delay} + trial.OrderDelay, "SupplyDelay")
                                  : trial.Delay;
    st.DesiredSupplyLine =
        narrow32(int64_t{anchor} * (int64_t{st.SupplyDelay} + 1), "DesiredSupplyLine");
    st.StockTarget = static_cast<double>(
        narrow32(int64_t{st.DesiredInventory} + st.DesiredSupplyLine, "StockTarget"));
    st.AnchorDemand = anchor;
  }
}

int32_t StermanOrder(ChainContext& c, int16_t role) {
  CheckRole(role);
  const TrialPlan& trial = CurrentPlan(c.plan);
  const PlayerStrategy& p = PlayerOf(c.plan, trial, role);
  const RoleState& s = c.chain.Roles[static_cast<size_t>(role)];
  StermanState& st = c.chain.Sterman[static_cast<size_t>(role)];
  if (s.OrderSlots.empty()) {
    throw QuarnError(kErrSubscriptOutOfRange, "The trial has not been started");
  }

  const int64_t week = int64_t{c.chain.CurrentWeek} - 1;
  if (week < 0 || week >= static_cast<int64_t>(trial.WeeklyDemand.size())) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "Week " + decimal(c.chain.CurrentWeek) + " has no customer demand");
  }
  const int32_t d = trial.WeeklyDemand[static_cast<size_t>(week)];
  // The anchor stays at week 1's demand, so this is redone at every call
  // while the customer demand differs from it.
  if (d != st.AnchorDemand) {
    st.ExpectedDemand = p.Theta * s.Demand + (1 - p.Theta) * st.AnchorDemand;
    st.DesiredInventory = 0;
    st.DesiredSupplyLine =
        narrow32(int64_t{d} * st.SupplyDelay + st.AnchorDemand, "DesiredSupplyLine");
    st.StockTarget = static_cast<double>(
        narrow32(int64_t{st.DesiredInventory} + st.DesiredSupplyLine, "StockTarget"));
  }

  int64_t transit = 0;
  for (const int32_t units : s.DelaySlots) transit += units;
  double supplyLine = static_cast<double>(transit);
  if (role > kFactory) {
    const RoleState& upstream = c.chain.Roles[static_cast<size_t>(role - 1)];
    supplyLine += static_cast<double>(s.OrderSlots.back());
    if (upstream.Inventory < 0) supplyLine += -static_cast<double>(upstream.Inventory);
  }

  double order = ((st.StockTarget - s.Inventory) - p.Beta * supplyLine) * p.Alpha +
                 st.ExpectedDemand + p.Epsilon;
  if (order < trial.MinOrder) {
    order = trial.MinOrder;
  } else if (order > trial.MaxOrder) {
    order = trial.MaxOrder;
  }
  return toInt32(order, "Sterman order");
}

}  // namespace quarn
