#include "sim/modDelivery.h"

#include "base/Errors.h"
#include "base/Numbers.h"

namespace quarn {

namespace {

// The stage `role` of the running trial, after making sure that its pipelines
// have the lengths the plan's delays index with. A plan changed under a
// running trial, or a chain never started, is refused instead of being read
// out of bounds.
RoleState& Stage(ChainContext& c, const TrialPlan& trial, int16_t role) {
  if (role < 0 || role >= kRoleCount) {
    throw QuarnError(kErrSubscriptOutOfRange, "Role " + decimal(role) + " is not 0 to 3");
  }
  RoleState& s = c.chain.Roles[static_cast<size_t>(role)];
  if (trial.Delay < 1 || s.DelaySlots.size() != static_cast<size_t>(trial.Delay) ||
      trial.OrderDelay < 0 || s.OrderSlots.size() != static_cast<size_t>(trial.OrderDelay) + 1) {
    throw QuarnError(kErrSubscriptOutOfRange, "The pipelines of role " + decimal(role) +
                                                  " do not match Delay " + decimal(trial.Delay) +
                                                  " and OrderDelay " + decimal(trial.OrderDelay));
  }
  return s;
}

void CheckSubjectRole(const TrialPlan& trial) {
  if (trial.SubjectRole < kNoSubject || trial.SubjectRole >= kRoleCount) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "SubjectRole " + decimal(trial.SubjectRole) + " is not -1 to 3");
  }
}

}  // namespace

void SetSubjectOrder(Chain& chain, int16_t order) {
  chain.SubjectOrder = order;
}
int16_t GetSubjectOrder(const Chain& chain) {
  return chain.SubjectOrder;
}

void StepWeek(ChainContext& c) {
  const TrialPlan& trial = CurrentPlan(c.plan);
  CheckSubjectRole(trial);
  for (int16_t r = 0; r < kRoleCount; ++r) {
    SetIncomingOrder(c, r);
    ShipGoods(c, r);
    AdvanceShipments(c, r);
  }
  for (int16_t r = kRetailer; r > trial.SubjectRole; --r) PlaceOrder(c, r);
}

void CloseWeek(ChainContext& c) {
  TrialPlan& trial = CurrentPlan(c.plan);
  CheckSubjectRole(trial);
  for (int16_t r = trial.SubjectRole; r >= 0; --r) PlaceOrder(c, r);
  trial.TotalCost = 0.0;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    ChargeCost(c, r);
    trial.TotalCost += static_cast<double>(c.chain.Roles[static_cast<size_t>(r)].TotalCost);
  }
  if (c.WeekClosed) c.WeekClosed();
  if (c.chain.CurrentWeek <= trial.numweeks) StepWeek(c);
}

void SetIncomingOrder(ChainContext& c, int16_t role) {
  const TrialPlan& trial = CurrentPlan(c.plan);
  RoleState& s = Stage(c, trial, role);
  if (role == kRetailer) {
    const int64_t index = int64_t{c.chain.CurrentWeek} - 1;
    if (index < 0 || index >= static_cast<int64_t>(trial.WeeklyDemand.size())) {
      throw QuarnError(kErrSubscriptOutOfRange,
                       "Week " + decimal(c.chain.CurrentWeek) + " has no customer demand");
    }
    s.Demand = trial.WeeklyDemand[static_cast<size_t>(index)];
  } else {
    s.Demand = Stage(c, trial, static_cast<int16_t>(role + 1)).OrderSlots[0];
  }
}

void ShipGoods(ChainContext& c, int16_t role) {
  RoleState& s = Stage(c, CurrentPlan(c.plan), role);
  s.Received = s.DelaySlots[0];
  int32_t available;
  int32_t required;
  if (s.Inventory >= 0) {
    available = narrow32(int64_t{s.Inventory} + s.Received, "Available units");
    required = s.Demand;
  } else {
    available = s.Received;
    required = narrow32(int64_t{s.Demand} - s.Inventory, "Required units");
  }
  s.Satisfied = available < required ? available : required;
  s.DeltaInventory = narrow32(int64_t{s.Received} - s.Demand, "DeltaInventory");
  s.Inventory = narrow32(int64_t{s.Inventory} + s.DeltaInventory, "Inventory");
}

void AdvanceShipments(ChainContext& c, int16_t role) {
  const TrialPlan& trial = CurrentPlan(c.plan);
  RoleState& s = Stage(c, trial, role);
  const size_t last = s.DelaySlots.size() - 1;
  for (size_t i = 1; i <= last; ++i) s.DelaySlots[i - 1] = s.DelaySlots[i];
  // Upstream stages run first in a step, so their shipment of this step is
  // already known; the Factory's production starts without the order delay.
  if (role > kFactory) {
    s.DelaySlots[last] = Stage(c, trial, static_cast<int16_t>(role - 1)).Satisfied;
  } else {
    s.DelaySlots[last] = s.OrderSlots.back();
  }
}

void PlaceOrder(ChainContext& c, int16_t role) {
  const TrialPlan& trial = CurrentPlan(c.plan);
  RoleState& s = Stage(c, trial, role);
  int32_t order;
  if (c.chain.CurrentWeek >= trial.numweeks) {
    order = s.OrderSlots[0];  // the trial is ending: the pipeline only turns over
  } else if (role == trial.SubjectRole) {
    order = GetSubjectOrder(c.chain);
  } else {
    order = PlayerOrder(c, role);
  }
  for (size_t i = 1; i < s.OrderSlots.size(); ++i) s.OrderSlots[i - 1] = s.OrderSlots[i];
  s.OrderSlots.back() = order;
}

void ChargeCost(ChainContext& c, int16_t role) {
  const TrialPlan& trial = CurrentPlan(c.plan);
  RoleState& s = Stage(c, trial, role);
  const int32_t stock =
      s.Inventory >= 0
          ? toInt32(static_cast<double>(s.Inventory) * trial.CostInventory, "Inventory cost")
          : toInt32(static_cast<double>(-int64_t{s.Inventory}) * trial.CostBackOrder,
                    "Backorder cost");
  int16_t transit = 0;
  for (const int32_t units : s.DelaySlots) {
    transit = narrow16(int64_t{transit} + units, "Units in transit");
  }
  s.WeeklyCost = toInt32(static_cast<double>(transit) * trial.CostTransit + stock, "WeeklyCost");
  s.TotalCost = narrow32(int64_t{s.TotalCost} + s.WeeklyCost, "TotalCost");
}

}  // namespace quarn
