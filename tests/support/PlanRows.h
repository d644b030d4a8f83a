#pragma once

#include "tests/support/TestDatabase.h"

namespace quarn::testing {

// A sound row of setting Demo for tblBlock, or for tblTraining when
// `training`: demand 4 stepping to 8 in week 3, the participant as the
// Retailer, player Bot at the other roles; `overrides` replace columns.
inline Columns planRow(bool training, const Columns& overrides = {}) {
  Columns row = {{"Setting", "Demo"},     {"Delay", 2},           {"InitialDemand", 4},
                 {"JumpWeek", 3},         {"SecondDemand", 8},    {"DisplayOption", "Standard"},
                 {"Factory", "Bot"},      {"Distributor", "Bot"}, {"Wholesaler", "Bot"},
                 {"Retailer", "Subject"}, {"FirstOrder", 4},      {"MinOrder", 0},
                 {"MaxOrder", 99},        {"MaxNoise", 0},        {"InitInventory", 12},
                 {"InitDelayAmount", 4},  {"CostInventory", 0.5}, {"CostBackOrder", 1.0},
                 {"CostTransit", 0.0}};
  if (training) {
    row.insert({{"Weeks", 6},
                {"Runs", 2},
                {"CostLimit", 100},
                {"InventoryBounds", 50},
                {"Password", "skip"}});
  } else {
    row["numweeks"] = 10;
  }
  for (const auto& [column, value] : overrides) row[column] = value;
  return row;
}

}  // namespace quarn::testing
