#pragma once

#include <cstdint>
#include <string>

#include "base/Random.h"
#include "plan/PlanTables.h"
#include "sim/TrialPlan.h"

namespace quarn {

// A row of tblPredicter as the forecast uses it.
struct Forecast {
  int16_t extent = 0;  // how many weeks ahead it shows the demand
  int32_t excess = 0;  // what it shows beyond the trial's last week
  int32_t maxNoise = 0;
};

// The loaded forecast, and the noise drawn last. The noise is never reset:
// a trial without noise records the last noise of an earlier trial.
struct PredicterState {
  Forecast forecast;
  int32_t noise = 0;
};

// Loads the tblPredicter row `name` and returns its extent, or -1 (state
// untouched) when the name is empty or has no row. An empty name does not
// touch the database.
int16_t loadPredicter(PlanTables& tables, PredicterState& state, const std::string& name);

// The forecast shown in week `currentWeek`: the trial's demand extent weeks
// ahead, excess beyond the last week, plus a new noise draw from `random`
// (not reseeded) when maxNoise is above 0.
int16_t predictDemand(PredicterState& state, const TrialPlan& trial, int16_t currentWeek,
                      UniformRandom& random);

}  // namespace quarn
