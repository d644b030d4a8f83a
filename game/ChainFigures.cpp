#include "game/ChainFigures.h"

#include <algorithm>

namespace quarn {

WeekFigures chainFigures(const Chain& chain, const TrialPlan& trial) {
  WeekFigures figures;
  for (size_t r = 0; r < kRoleCount; ++r) {
    const RoleState& role = chain.roles[r];
    RoleFigures& shown = figures.roles[r];
    shown.recentOrder = role.orderSlots.empty() ? 0 : role.orderSlots.back();
    shown.backorder = role.inventory < 0 ? -int64_t{role.inventory} : 0;
    shown.inventory = role.inventory < 0 ? 0 : role.inventory;
    shown.satisfied = role.satisfied;
    shown.demand = role.demand;
    shown.totalCost = role.totalCost;
  }
  figures.totalCost = trial.totalCost;
  figures.weekCounter = counterText(std::min<int>(chain.currentWeek, trial.weeks), trial.weeks);
  return figures;
}

Shipments departingShipments(const Chain& chain) {
  Shipments shipments;
  for (size_t r = 0; r < kRoleCount; ++r) {
    const std::vector<int32_t>& pipeline = chain.roles[r].delaySlots;
    shipments.departing[r] = pipeline.empty() ? 0 : pipeline.back();
  }
  return shipments;
}

}  // namespace quarn
