#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Prompter.h"
#include "session/Identity.h"
#include "session/modDatabase.h"
#include "sim/TrialPlan.h"

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
