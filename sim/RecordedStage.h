#pragma once

// One stage's figures of one week as the weekly records (datRole) hold
// them: what the game writes and what the analysis reads back, and the
// list of those figures that the records, the analysis' weeks.csv with its
// codebook and the database's column reference are all made from.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarn {

struct RecordedStage {
  int32_t order = 0;  // the order the stage placed after the week's step
  int32_t deltaInventory = 0;
  int32_t inventory = 0;            // net inventory; negative is the backorder
  std::vector<int32_t> delaySlots;  // Delay1..delay<delay>: units on the way to the stage
  int32_t demand = 0;               // the units ordered from the stage this week
  int32_t satisfied = 0;
  int32_t weeklyCost = 0;
  int32_t totalCost = 0;
  int32_t decisionTime = 0;  // TransactionTime: milliseconds the order took to type

  friend bool operator==(const RecordedStage&, const RecordedStage&) = default;
};

// A whole-number figure of a stage's week: its member, its column in
// datRole and in weeks.csv, the unit and meaning weeks.csv's codebook gives
// it, and the meaning the column reference of the database gives it.
struct StageFigure {
  int32_t RecordedStage::*member;
  const char* column;
  const char* panelColumn;
  const char* unit;
  const char* meaning;
  const char* columnMeaning;
  bool participantOnly = false;  // weeks.csv leaves it empty on simulated stages
};

// The figures in the order the files list them; the pipeline (delaySlots:
// Delay1 to Delay3) follows the first kFiguresBeforePipeline of them.
inline constexpr StageFigure kStageFigures[] = {
    {&RecordedStage::order, "Order", "Order", "units",
     "the order the stage placed after the week's step", "the order placed in the week"},
    {&RecordedStage::deltaInventory, "DeltaInventory", "DeltaInventory", "units",
     "the change of the net inventory this week", "the change of the inventory in the week"},
    {&RecordedStage::inventory, "Inventory", "Inventory", "units",
     "net inventory at the end of the week; below 0 is the backorder",
     "the inventory (negative: backorder) at the week's end"},
    {&RecordedStage::demand, "Demand", "Demand", "units",
     "the units ordered from the stage this week", "the demand the stage received"},
    {&RecordedStage::satisfied, "Satisfied", "Satisfied", "units",
     "the units shipped downstream this week", "what the stage shipped"},
    {&RecordedStage::weeklyCost, "WeeklyCost", "WeeklyCost", "cost", "the stage's cost of the week",
     "the stage's cost of the week"},
    {&RecordedStage::totalCost, "TotalCost", "TotalCost", "cost", "the stage's cost so far",
     "the stage's cost so far in the trial"},
    {&RecordedStage::decisionTime, "TransactionTime", "DecisionTime", "ms",
     "how long the participant took to enter the order (in a browser measured by the page, "
     "without network delay); empty on simulated stages",
     "the participant's decision time in ms (in a browser measured by the page, without network "
     "delay)",
     true},
};
inline constexpr size_t kFiguresBeforePipeline = 3;

// The most slots of the pipeline a record holds: Delay1 to Delay3.
inline constexpr size_t kDelaySlotColumns = 3;

}  // namespace quarn
