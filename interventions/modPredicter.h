#pragma once

#include <cstdint>

namespace quarn {

// The loaded predicter row, and the noise drawn last. PredictNoise is never
// reset: a trial without noise records the last noise of an earlier trial.
struct PredicterState {
  int16_t PredictExtent = 0;
  int32_t PredictExcess = 0;
  int32_t PredictMaxNoise = 0;
  int32_t PredictNoise = 0;
};

}  // namespace quarn
