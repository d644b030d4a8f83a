#include "sim/Chain.h"

#include "base/Errors.h"
#include "base/Numbers.h"

namespace quarn {

namespace {

constexpr int16_t kFactory = roleIndex(Role::Factory);
constexpr int16_t kRetailer = roleIndex(Role::Retailer);

// The stage `role` of the running trial, after making sure that its pipelines
// have the lengths the trial's delays index with. A trial changed under a
// running chain, or a chain never started, is refused instead of being read
// out of bounds.
RoleState& stage(ChainContext& c, int16_t role) {
  if (!isRole(role)) {
    throw QuarnError(kErrSubscriptOutOfRange, "Role " + decimal(role) + " is not 0 to 3");
  }
  const TrialPlan& trial = c.trial;
  RoleState& s = c.chain.roles[static_cast<size_t>(role)];
  if (trial.delay < 1 || s.delaySlots.size() != static_cast<size_t>(trial.delay) ||
      trial.orderDelay < 0 || s.orderSlots.size() != static_cast<size_t>(trial.orderDelay) + 1) {
    throw QuarnError(kErrSubscriptOutOfRange, "The pipelines of role " + decimal(role) +
                                                  " do not match Delay " + decimal(trial.delay) +
                                                  " and OrderDelay " + decimal(trial.orderDelay));
  }
  return s;
}

void checkParticipantRole(const TrialPlan& trial) {
  if (trial.participantRole < kNoParticipant || trial.participantRole >= kRoleCount) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "SubjectRole " + decimal(trial.participantRole) + " is not -1 to 3");
  }
}

}  // namespace

void stepWeek(ChainContext& c) {
  checkParticipantRole(c.trial);
  for (int16_t r = 0; r < kRoleCount; ++r) {
    setIncomingOrder(c, r);
    shipGoods(c, r);
    advanceShipments(c, r);
  }
  for (int16_t r = kRetailer; r > c.trial.participantRole; --r) placeOrder(c, r);
}

void closeWeek(ChainContext& c) {
  TrialPlan& trial = c.trial;
  checkParticipantRole(trial);
  for (int16_t r = trial.participantRole; r >= 0; --r) placeOrder(c, r);
  trial.totalCost = 0.0;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    chargeCost(c, r);
    trial.totalCost += static_cast<double>(c.chain.roles[static_cast<size_t>(r)].totalCost);
  }
  if (c.weekClosed) c.weekClosed();
  if (c.chain.currentWeek <= trial.weeks) stepWeek(c);
}

void setIncomingOrder(ChainContext& c, int16_t role) {
  const TrialPlan& trial = c.trial;
  RoleState& s = stage(c, role);
  if (role == kRetailer) {
    const int64_t index = int64_t{c.chain.currentWeek} - 1;
    if (index < 0 || index >= static_cast<int64_t>(trial.weeklyDemand.size())) {
      throw QuarnError(kErrSubscriptOutOfRange,
                       "Week " + decimal(c.chain.currentWeek) + " has no customer demand");
    }
    s.demand = trial.weeklyDemand[static_cast<size_t>(index)];
  } else {
    s.demand = stage(c, static_cast<int16_t>(role + 1)).orderSlots[0];
  }
}

void shipGoods(ChainContext& c, int16_t role) {
  RoleState& s = stage(c, role);
  s.received = s.delaySlots[0];
  int32_t available;
  int32_t required;
  if (s.inventory >= 0) {
    available = narrow32(int64_t{s.inventory} + s.received, "Available units");
    required = s.demand;
  } else {
    available = s.received;
    required = narrow32(int64_t{s.demand} - s.inventory, "Required units");
  }
  s.satisfied = available < required ? available : required;
  s.deltaInventory = narrow32(int64_t{s.received} - s.demand, "DeltaInventory");
  s.inventory = narrow32(int64_t{s.inventory} + s.deltaInventory, "Inventory");
}

void advanceShipments(ChainContext& c, int16_t role) {
  RoleState& s = stage(c, role);
  const size_t last = s.delaySlots.size() - 1;
  for (size_t i = 1; i <= last; ++i) s.delaySlots[i - 1] = s.delaySlots[i];
  // Upstream stages run first in a step, so their shipment of this step is
  // already known; the Factory's production starts without the order delay.
  if (role > kFactory) {
    s.delaySlots[last] = stage(c, static_cast<int16_t>(role - 1)).satisfied;
  } else {
    s.delaySlots[last] = s.orderSlots.back();
  }
}

void placeOrder(ChainContext& c, int16_t role) {
  const TrialPlan& trial = c.trial;
  RoleState& s = stage(c, role);
  int32_t order;
  if (c.chain.currentWeek >= trial.weeks) {
    order = s.orderSlots[0];  // the trial is ending: the pipeline only turns over
  } else if (role == trial.participantRole) {
    order = c.chain.participantOrder;
  } else {
    order = playerOrder(c, role);
  }
  for (size_t i = 1; i < s.orderSlots.size(); ++i) s.orderSlots[i - 1] = s.orderSlots[i];
  s.orderSlots.back() = order;
}

void chargeCost(ChainContext& c, int16_t role) {
  const TrialPlan& trial = c.trial;
  RoleState& s = stage(c, role);
  const int32_t stock =
      s.inventory >= 0
          ? toInt32(static_cast<double>(s.inventory) * trial.inventoryCostRate, "Inventory cost")
          : toInt32(static_cast<double>(-int64_t{s.inventory}) * trial.backorderCostRate,
                    "Backorder cost");
  int16_t transit = 0;
  for (const int32_t units : s.delaySlots) {
    transit = narrow16(int64_t{transit} + units, "Units in transit");
  }
  s.weeklyCost =
      toInt32(static_cast<double>(transit) * trial.transitCostRate + stock, "WeeklyCost");
  s.totalCost = narrow32(int64_t{s.totalCost} + s.weeklyCost, "TotalCost");
}

}  // namespace quarn
