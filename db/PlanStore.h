#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "plan/PlanTables.h"

namespace quarn {

// The plan tables (tbl*), read only: the rows the plan readers take, and what
// the login and the plan check ask of them besides.
class PlanStore : public PlanTables {
 public:
  // The settings of tblBlock, each once, in the database's order.
  virtual std::vector<std::string> settings() = 0;
  // Every setting that tblBlock, tblTraining or tblPause names.
  virtual std::set<std::string> plannedSettings() = 0;
  // The number of experiment trials the setting's tblBlock rows make (the
  // sum of their Runs).
  virtual int16_t blockTrialCount(const std::string& setting) = 0;
};

}  // namespace quarn
