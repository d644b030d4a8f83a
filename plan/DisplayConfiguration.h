#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "base/Roles.h"
#include "plan/Plan.h"
#include "plan/PlanTables.h"

namespace quarn {

// One role's display option: which of its figures are shown. When no option
// row was found the role's controls are left as they are.
struct RoleDisplay {
  bool found = false;
  std::string option;  // the option name looked up
  bool recentOrder = false;
  bool backorder = false;
  bool inventory = false;
  bool satisfied = false;
  bool demand = false;
  bool cost = false;
};

// What a display configuration shows. When no configuration row was found
// the truck rows and the total-cost panel are left as they are, and the
// four options have been looked up under empty names.
struct DisplayConfiguration {
  bool found = false;
  bool factoryProduction = false;    // BottlesF: goods on their way into the Factory
  bool trucksToDistributor = false;  // TrucksFD
  bool trucksToWholesaler = false;   // TrucksDW
  bool trucksToRetailer = false;     // TrucksWR
  bool totalCost = false;            // TotalCost: the total cost panel
  std::array<RoleDisplay, kRoleCount> roles;
};

// Reads the configuration `name` from tblDisplay and its four options from
// tblDisplayOption. A Null yes/no value reads as false, a Null option name
// as an empty one. Reads only; the window applies the result.
DisplayConfiguration readDisplayConfiguration(PlanTables& tables, const std::string& name);

// Reads one option row of tblDisplayOption (used for each role).
RoleDisplay readDisplayOption(PlanTables& tables, const std::string& name);

// The display configurations of a session's trials, each read once: at the
// game's start, while the login's reads of the plan are still held, and then
// served from memory at every trial's start (and again when a team trial
// that waited for its members starts).
class SessionDisplays {
 public:
  // Forgets what an earlier session read and reads the configuration of
  // every trial of `plan`.
  void readFor(PlanTables& tables, const Plan& plan);
  // The configuration `name`, read now if readFor() did not read it.
  const DisplayConfiguration& of(PlanTables& tables, const std::string& name);

 private:
  std::map<std::string, DisplayConfiguration> m_read;
};

}  // namespace quarn
