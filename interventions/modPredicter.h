#pragma once

#include <cstdint>
#include <string>

#include "base/Clock.h"
#include "base/Random.h"
#include "session/modDatabase.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The loaded predicter row, and the noise drawn last. PredictNoise is never
// reset: a trial without noise records the last noise of an earlier trial.
struct PredicterState {
  int16_t PredictExtent = 0;
  int32_t PredictExcess = 0;
  int32_t PredictMaxNoise = 0;
  int32_t PredictNoise = 0;
};

// Loads the tblPredicter row `name` and returns its Extent, or -1 (state
// untouched) when the name is empty or has no row. An empty name does not
// touch the database.
int16_t LoadPredicter(Database& db, PredicterState& state, const std::string& name);

// The forecast shown in week `currentWeek`: the trial's demand Extent weeks
// ahead, Excess beyond the last week, plus a new noise draw from `random`
// (not reseeded) when MaxNoise is above 0.
int16_t PredictDemand(PredicterState& state, const TrialPlan& trial, int16_t currentWeek,
                      UniformRandom& random);

// The noise drawn last (kept across trials).
int32_t LastPredictNoise(const PredicterState& state);

}  // namespace quarn
