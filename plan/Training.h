#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/Chain.h"

namespace quarn {

class Prompter;

// The training plan's state: whether training trials are played, their
// limits and password, where the participant goes back to afterwards, and
// the Trial number under which the running training trial is recorded.
struct TrainingState {
  bool active = false;         // training trials are being played
  int32_t costLimit = 0;       // CostLimit
  int32_t inventoryBound = 0;  // InventoryBounds
  std::string password;        // skips the rest of training
  int16_t resumeTrial = 0;     // the experiment trial before the one training hands over to
  int16_t recordedTrial = 0;   // the Trial number of the running training trial's records
  bool passed = false;         // cleared by a failed training trial, which is then played again
  // The training trials begun so far, the running one counted: a team that
  // trains together stores its typed orders under this number.
  int16_t attempt = 0;
};

// The Trial number the first training trial is recorded under: always below
// 0, and below the participant's lowest recorded number in the setting (-1
// when only experiment trials, numbered from 1, are recorded).
int16_t firstTrainingTrial(std::optional<int16_t> lowestRecorded);

// Why the participant's stage `stage` breaks the training limits, or empty
// when it keeps them ("Cost ran above 150", "Inventory/Backorder exceeded
// 30"). The limits count only when both are set. With `shownTo`, in the
// language of the prompts it shows.
std::string trainingLimitBroken(const TrainingState& training, const RoleState& stage,
                                const Prompter* shownTo = nullptr);

}  // namespace quarn
