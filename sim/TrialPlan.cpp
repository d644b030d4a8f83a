#include "sim/TrialPlan.h"

#include "base/Errors.h"
#include "base/Numbers.h"

namespace quarn {

namespace {

template <typename PlanT>
auto& CurrentOf(PlanT& plan) {
  if (plan.CurrentTrial < 0 || static_cast<size_t>(plan.CurrentTrial) >= plan.TrialPlans.size()) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "Current trial " + decimal(plan.CurrentTrial) + " is not in the plan (" +
                         decimal(static_cast<int64_t>(plan.TrialPlans.size())) + " trials)");
  }
  return plan.TrialPlans[static_cast<size_t>(plan.CurrentTrial)];
}

}  // namespace

TrialPlan& CurrentPlan(Plan& plan) {
  return CurrentOf(plan);
}
const TrialPlan& CurrentPlan(const Plan& plan) {
  return CurrentOf(plan);
}

std::vector<PlanFault> CheckTrialValues(const TrialPlan& trial) {
  std::vector<PlanFault> faults;
  // The main window draws three truck slots per path, so a longer delay has
  // nowhere to show its shipments.
  if (trial.Delay < 1 || trial.Delay > 3) faults.push_back({"Delay", decimal(trial.Delay)});
  if (trial.OrderDelay < 0) faults.push_back({"OrderDelay", decimal(trial.OrderDelay)});
  if (trial.numweeks < 1) faults.push_back({"numweeks", decimal(trial.numweeks)});
  if (trial.Input.empty() && (trial.JumpWeek < 1 || trial.JumpWeek > trial.numweeks + 2)) {
    faults.push_back({"JumpWeek", decimal(trial.JumpWeek)});
  }
  return faults;
}

}  // namespace quarn
