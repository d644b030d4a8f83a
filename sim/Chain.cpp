#include "sim/Chain.h"

#include <cstring>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "sim/CheckedInts.h"

namespace quarn {

namespace {

constexpr int16_t kFactory = roleIndex(Role::Factory);
constexpr int16_t kRetailer = roleIndex(Role::Retailer);

RoleState& roleAt(ChainContext& c, int16_t role) {
  return c.chain.roles[static_cast<size_t>(role)];
}

bool pipelinesMatch(const TrialPlan& trial, const RoleState& s) {
  return trial.delay >= 1 && s.delaySlots.size() == static_cast<size_t>(trial.delay) &&
         trial.orderDelay >= 0 && s.orderSlots.size() == static_cast<size_t>(trial.orderDelay) + 1;
}

[[noreturn]] void refusePipelines(const TrialPlan& trial, int16_t role) {
  throw QuarnError(kErrSubscriptOutOfRange, "The pipelines of role " + decimal(role) +
                                                " do not match Delay " + decimal(trial.delay) +
                                                " and OrderDelay " + decimal(trial.orderDelay));
}

// Refuses a stage whose pipelines do not have the lengths the trial's delays
// index with: a trial changed under a running chain, or a chain never
// started, is refused instead of being read out of bounds.
inline void checkPipelines(const TrialPlan& trial, const RoleState& s, int16_t role) {
  if (!pipelinesMatch(trial, s)) [[unlikely]]
    refusePipelines(trial, role);
}

// Moves every slot of a pipeline one place to the front and puts `incoming`
// in the last. Pipelines hold one to a few slots, for which the moves cost
// less than the library call a plain loop is compiled into.
void shiftIn(std::vector<int32_t>& slots, int32_t incoming) {
  int32_t* const p = slots.data();
  const size_t n = slots.size();
  switch (n) {
    case 1:
      break;
    case 2:
      p[0] = p[1];
      break;
    case 3:
      p[0] = p[1];
      p[1] = p[2];
      break;
    default:
      std::memmove(p, p + 1, (n - 1) * sizeof(int32_t));
  }
  p[n - 1] = incoming;
}

// The stage `role` of the running trial, its pipelines checked.
RoleState& stage(ChainContext& c, int16_t role) {
  if (!isRole(role)) {
    throw QuarnError(kErrSubscriptOutOfRange, "Role " + decimal(role) + " is not 0 to 3");
  }
  RoleState& s = roleAt(c, role);
  checkPipelines(c.trial, s, role);
  return s;
}

void checkParticipantRole(const TrialPlan& trial) {
  if (trial.participantRole < kNoParticipant || trial.participantRole >= kRoleCount) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "SubjectRole " + decimal(trial.participantRole) + " is not -1 to 3");
  }
}

// The week's steps below index the pipelines without checking them: stepWeek
// and closeWeek check every stage once, in the order the steps reach them.

void takeIncomingOrder(ChainContext& c, int16_t role) {
  const TrialPlan& trial = c.trial;
  RoleState& s = roleAt(c, role);
  if (role == kRetailer) {
    const int64_t index = int64_t{c.chain.currentWeek} - 1;
    if (index < 0 || index >= static_cast<int64_t>(trial.weeklyDemand.size())) {
      throw QuarnError(kErrSubscriptOutOfRange,
                       "Week " + decimal(c.chain.currentWeek) + " has no customer demand");
    }
    s.demand = trial.weeklyDemand[static_cast<size_t>(index)];
  } else {
    s.demand = roleAt(c, static_cast<int16_t>(role + 1)).orderSlots[0];
  }
}

// What a stage can ship and what it is asked for are only compared, never
// kept: they are computed in 64 bits, and only the shipment is narrowed.
void ship(RoleState& s) {
  s.received = s.delaySlots[0];
  int64_t available;
  int64_t required;
  if (s.inventory >= 0) {
    available = int64_t{s.inventory} + s.received;
    required = s.demand;
  } else {
    available = s.received;
    required = int64_t{s.demand} - s.inventory;
  }
  s.satisfied = fit32(available < required ? available : required, "Satisfied");
  s.deltaInventory = fit32(int64_t{s.received} - s.demand, "DeltaInventory");
  s.inventory = fit32(int64_t{s.inventory} + s.deltaInventory, "Inventory");
}

void moveShipments(ChainContext& c, int16_t role) {
  RoleState& s = roleAt(c, role);
  // Upstream stages run first in a step, so their shipment of this step is
  // already known; the Factory's production starts without the order delay.
  shiftIn(s.delaySlots, role > kFactory ? roleAt(c, static_cast<int16_t>(role - 1)).satisfied
                                        : s.orderSlots.back());
}

// Whether a simulated player orders for the member of `role` in the week
// being closed (currentWeek - 1).
bool replacedMember(const Chain& chain, int16_t role) {
  const int16_t from = chain.replacedFromWeek[static_cast<size_t>(role)];
  return from != 0 && chain.currentWeek - 1 >= from;
}

void order(ChainContext& c, int16_t role, OrderRoundTicks& ticks) {
  const TrialPlan& trial = c.trial;
  RoleState& s = roleAt(c, role);
  int32_t units;
  if (c.chain.currentWeek >= trial.weeks) {
    units = s.orderSlots[0];  // the trial is ending: the pipeline only turns over
  } else if (replacedMember(c.chain, role)) {
    units = playerOrder(c, role, ticks);
  } else if (role == trial.participantRole) {
    units = c.chain.participantOrder;
  } else if (trial.stageMembers[static_cast<size_t>(role)] != 0) {
    units = c.chain.memberOrders[static_cast<size_t>(role)];
  } else {
    units = playerOrder(c, role, ticks);
  }
  shiftIn(s.orderSlots, units);
}

void charge(const TrialPlan& trial, RoleState& s) {
  const int32_t stock =
      s.inventory >= 0
          ? round32(static_cast<double>(s.inventory) * trial.inventoryCostRate, "Inventory cost")
          : round32(static_cast<double>(-int64_t{s.inventory}) * trial.backorderCostRate,
                    "Backorder cost");
  // The goods in transit only feed the transit cost: 64 bits hold any sum of
  // the pipeline's 32-bit slots.
  int64_t transit = 0;
  for (const int32_t units : s.delaySlots) transit += units;
  s.weeklyCost =
      round32(static_cast<double>(transit) * trial.transitCostRate + stock, "WeeklyCost");
  s.totalCost = fit32(int64_t{s.totalCost} + s.weeklyCost, "TotalCost");
}

}  // namespace

void stepWeek(ChainContext& c) {
  checkParticipantRole(c.trial);
  for (int16_t r = 0; r < kRoleCount; ++r) checkPipelines(c.trial, roleAt(c, r), r);
  for (int16_t r = 0; r < kRoleCount; ++r) {
    takeIncomingOrder(c, r);
    ship(roleAt(c, r));
    moveShipments(c, r);
  }
  OrderRoundTicks ticks(c.ticks);
  const int16_t lastTyped = lastTypedStage(c.trial);
  for (int16_t r = kRetailer; r > lastTyped; --r) order(c, r, ticks);
}

void closeWeek(ChainContext& c) {
  TrialPlan& trial = c.trial;
  checkParticipantRole(trial);
  // The most downstream typed stage and those upstream of it order first,
  // then every stage is charged: the stages are checked in that order.
  const int16_t lastTyped = lastTypedStage(trial);
  for (int16_t r = lastTyped; r >= 0; --r) checkPipelines(trial, roleAt(c, r), r);
  for (int16_t r = static_cast<int16_t>(lastTyped + 1); r < kRoleCount; ++r) {
    checkPipelines(trial, roleAt(c, r), r);
  }
  OrderRoundTicks ticks(c.ticks);
  for (int16_t r = lastTyped; r >= 0; --r) order(c, r, ticks);
  trial.totalCost = 0.0;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    RoleState& s = roleAt(c, r);
    charge(trial, s);
    trial.totalCost += static_cast<double>(s.totalCost);
  }
  if (c.weekClosed) c.weekClosed();
  if (c.chain.currentWeek <= trial.weeks) stepWeek(c);
}

void setIncomingOrder(ChainContext& c, int16_t role) {
  stage(c, role);
  if (role != kRetailer) stage(c, static_cast<int16_t>(role + 1));
  takeIncomingOrder(c, role);
}

void shipGoods(ChainContext& c, int16_t role) {
  ship(stage(c, role));
}

void advanceShipments(ChainContext& c, int16_t role) {
  stage(c, role);
  if (role > kFactory) stage(c, static_cast<int16_t>(role - 1));
  moveShipments(c, role);
}

void placeOrder(ChainContext& c, int16_t role) {
  stage(c, role);
  OrderRoundTicks ticks(c.ticks);
  order(c, role, ticks);
}

void chargeCost(ChainContext& c, int16_t role) {
  charge(c.trial, stage(c, role));
}

}  // namespace quarn
