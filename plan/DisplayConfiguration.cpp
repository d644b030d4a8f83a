#include "plan/DisplayConfiguration.h"

#include <algorithm>

namespace quarn {

namespace {

std::string textOrEmpty(const Row& row, const std::string& column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? std::string() : cell.toText();
}

}  // namespace

RoleDisplay readDisplayOption(PlanTables& tables, const std::string& name) {
  RoleDisplay role;
  role.option = name;
  if (const std::optional<Row> row = tables.displayOption(name)) {
    role.found = true;
    role.recentOrder = row->cell("RecentOrder").toBool();
    role.backorder = row->cell("BackOrder").toBool();
    role.inventory = row->cell("Inventory").toBool();
    role.satisfied = row->cell("Satisfied").toBool();
    role.demand = row->cell("Demand").toBool();
    role.cost = row->cell("Cost").toBool();
  }
  return role;
}

DisplayConfiguration readDisplayConfiguration(PlanTables& tables, const std::string& name) {
  DisplayConfiguration config;
  std::array<std::string, kRoleCount> options;
  if (const std::optional<Row> row = tables.displayConfiguration(name)) {
    config.found = true;
    config.factoryProduction = row->cell("BottlesF").toBool();
    config.trucksToDistributor = row->cell("TrucksFD").toBool();
    config.trucksToWholesaler = row->cell("TrucksDW").toBool();
    config.trucksToRetailer = row->cell("TrucksWR").toBool();
    config.totalCost = row->cell("TotalCost").toBool();
    for (int r = 0; r < kRoleCount; ++r) options[r] = textOrEmpty(*row, roleColumn(r));
  }
  // Stages that share an option (often all four) share its one read.
  for (int r = 0; r < kRoleCount; ++r) {
    const auto same = std::find(options.begin(), options.begin() + r, options[r]);
    config.roles[r] = same != options.begin() + r
                          ? config.roles[static_cast<size_t>(same - options.begin())]
                          : readDisplayOption(tables, options[r]);
  }
  return config;
}

void SessionDisplays::readFor(PlanTables& tables, const Plan& plan) {
  m_read.clear();
  for (const TrialPlan& trial : plan.trainingTrials) of(tables, trial.displayOption);
  for (const TrialPlan& trial : plan.trials) of(tables, trial.displayOption);
}

const DisplayConfiguration& SessionDisplays::of(PlanTables& tables, const std::string& name) {
  const auto found = m_read.find(name);
  if (found != m_read.end()) return found->second;
  return m_read.emplace(name, readDisplayConfiguration(tables, name)).first->second;
}

}  // namespace quarn
