#pragma once

#include <cstdint>
#include <vector>

#include "plan/WeekClock.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The plan in memory: the setting's trials in play order, its training
// trials, and the player table the trials refer to. The running trial is
// `currentTrial`, an index that counts the experiment's trials first and the
// training trials behind them.
struct Plan {
  std::vector<TrialPlan> trials;          // the experiment's trials
  std::vector<TrialPlan> trainingTrials;  // copies of the setting's training row
  std::vector<PlayerStrategy> players;    // tblPlayer, in the table's order
  WeekClock clock;                        // the setting's week clock, if any
  int16_t currentTrial = 0;

  // The number of experiment trials.
  int16_t trialCount() const { return static_cast<int16_t>(trials.size()); }
  // The number of trials with the training trials behind them.
  int16_t totalTrialCount() const {
    return static_cast<int16_t>(trials.size() + trainingTrials.size());
  }
  bool hasTrial(int index) const { return index >= 0 && index < totalTrialCount(); }

  // The trial at `index`; error 9 when there is none.
  TrialPlan& trialAt(int index);
  const TrialPlan& trialAt(int index) const;
  // The running trial; error 9 when currentTrial is outside the plan.
  TrialPlan& current() { return trialAt(currentTrial); }
  const TrialPlan& current() const { return trialAt(currentTrial); }
};

}  // namespace quarn
