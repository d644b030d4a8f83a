#include "plan/Training.h"

#include <cstdlib>

#include "base/Numbers.h"
#include "base/Prompter.h"
#include "base/Text.h"

namespace quarn {

int16_t firstTrainingTrial(std::optional<int16_t> lowestRecorded) {
  // Experiment trials count from 1: only earlier training rows move the
  // training numbers further down.
  if (!lowestRecorded || *lowestRecorded > 0) return -1;
  return narrow16(int64_t{*lowestRecorded} - 1, "TrainingTrialNo");
}

std::string trainingLimitBroken(const TrainingState& training, const RoleState& stage,
                                const Prompter* shownTo) {
  const auto text = [shownTo](const char* english, int64_t limit) {
    return withArguments(shownTo ? shownTo->translate("Training", english) : english,
                         {decimal(limit)});
  };
  if (training.inventoryBound == 0 || training.costLimit == 0) return "";
  if (stage.totalCost > training.costLimit) {
    return text(QUARN_TRANSLATABLE("Training", "Cost ran above %1"), training.costLimit);
  }
  if (std::llabs(stage.inventory) > training.inventoryBound) {
    return text(QUARN_TRANSLATABLE("Training", "Inventory/Backorder exceeded %1"),
                training.inventoryBound);
  }
  return "";
}

}  // namespace quarn
