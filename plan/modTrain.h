#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Prompter.h"
#include "plan/Plan.h"
#include "session/Identity.h"
#include "session/modDatabase.h"

namespace quarn {

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
};

// What training needs of the main window and the trial sequencing. Any hook
// left empty is skipped.
struct TrainingHooks {
  std::function<void(const std::string&)> SetPlayerCaption;  // caption of fraPlayer
  std::function<void(const std::string&)> ApplyDisplayConfiguration;
  std::function<void()> NextTrial;
};

// Appends the setting's training trials (copies of its first tblTraining
// row) behind the block trials and, when there are any, makes the first of
// them current and tells the participant. A bad training row is refused
// before anything is shown. Ends by applying the current trial's display
// configuration.
void LoadTraining(Database& db, Prompter& toolkit, const Identity& identity, Plan& plan,
                  TrainingState& training, const std::string& inputFolder,
                  const TrainingHooks& hooks);

// Hands the participant back to the experiment after the last training
// trial and runs the trial sequencing.
void EndTraining(Prompter& toolkit, Plan& plan, TrainingState& training,
                 const TrainingHooks& hooks);

}  // namespace quarn
