#include "plan/Training.h"

#include <cstdlib>

#include "base/Numbers.h"

namespace quarn {

int16_t firstTrainingTrial(std::optional<int16_t> lowestRecorded) {
  if (!lowestRecorded) return -1;
  return narrow16(int64_t{*lowestRecorded} - 1, "TrainingTrialNo");
}

std::string trainingLimitBroken(const TrainingState& training, const RoleState& stage) {
  if (training.inventoryBound == 0 || training.costLimit == 0) return "";
  if (stage.totalCost > training.costLimit) return "Cost ran above " + decimal(training.costLimit);
  if (std::llabs(stage.inventory) > training.inventoryBound) {
    return "Inventory/Backorder exceeded " + decimal(training.inventoryBound);
  }
  return "";
}

}  // namespace quarn
