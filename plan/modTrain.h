#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quarn {

// The training plan's state: whether training trials are played, their
// limits and password, where the participant goes back to afterwards, and
// the Trial number under which the running training trial is recorded.
struct TrainingState {
  bool TrainingMode = false;
  int16_t TrainingRuns = 0;
  int32_t TrainingCostLimit = 0;
  int32_t TrainingInventoryBound = 0;
  std::string TrainingPassword;
  int16_t PlanCount = 0;
  int16_t ResumeTrial = 0;
  int16_t TrainingTrialNo = 0;
  bool TrainingPassed = false;
};

}  // namespace quarn
