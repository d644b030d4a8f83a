#include "analysis/RecordedTrial.h"

#include <algorithm>

#include "sim/Chain.h"

namespace quarn {

int32_t customerDemand(const RecordedTrial& trial, size_t index) {
  return trial.weeks.at(index).stages[roleIndex(Role::Retailer)].demand;
}

size_t decisionWeekCount(const RecordedTrial& trial) {
  const auto counted = [&](const RecordedWeek& w) { return w.week <= trial.plannedWeeks - 2; };
  return static_cast<size_t>(std::find_if_not(trial.weeks.begin(), trial.weeks.end(), counted) -
                             trial.weeks.begin());
}

RecordedWeek recordWeek(const Chain& chain, int16_t week) {
  RecordedWeek recorded;
  recordWeek(chain, week, recorded);
  return recorded;
}

void recordWeek(const Chain& chain, int16_t week, RecordedWeek& recorded) {
  recorded.week = week;
  for (size_t r = 0; r < kRoleCount; ++r) {
    const RoleState& s = chain.roles[r];
    RecordedStage& stage = recorded.stages[r];
    stage.order =
        s.orderSlots.empty() ? 0 : s.orderSlots[std::min<size_t>(1, s.orderSlots.size() - 1)];
    stage.deltaInventory = s.deltaInventory;
    stage.inventory = s.inventory;
    stage.delaySlots = s.delaySlots;
    stage.demand = s.demand;
    stage.satisfied = s.satisfied;
    stage.weeklyCost = s.weeklyCost;
    stage.totalCost = s.totalCost;
  }
}

}  // namespace quarn
