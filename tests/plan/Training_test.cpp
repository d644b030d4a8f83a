#include "plan/Training.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(Training, LimitsCountOnlyWhenBothAreSet) {
  const struct {
    int32_t costLimit, bound, totalCost, inventory;
    std::string broken;
  } cases[] = {
      {100, 20, 101, 0, "Cost ran above 100"},
      {100, 20, 101, 25, "Cost ran above 100"},  // the cost is named first
      {100, 20, 50, -21, "Inventory/Backorder exceeded 20"},
      {100, 20, 100, 20, ""},
      {0, 20, 500, 500, ""},
      {100, 0, 500, 500, ""},
  };
  for (const auto& k : cases) {
    TrainingState training;
    training.costLimit = k.costLimit;
    training.inventoryBound = k.bound;
    RoleState stage;
    stage.totalCost = k.totalCost;
    stage.inventory = k.inventory;
    EXPECT_EQ(trainingLimitBroken(training, stage), k.broken) << k.totalCost << " " << k.inventory;
  }
}

}  // namespace
}  // namespace quarn
