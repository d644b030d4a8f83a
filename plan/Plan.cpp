#include "plan/Plan.h"

#include "base/Errors.h"
#include "base/Numbers.h"

namespace quarn {

namespace {

template <typename PlanT>
auto& trialOf(PlanT& plan, int index) {
  if (!plan.hasTrial(index)) {
    throw QuarnError(kErrSubscriptOutOfRange, "Current trial " + decimal(index) +
                                                  " is not in the plan (" +
                                                  decimal(plan.totalTrialCount()) + " trials)");
  }
  const size_t i = static_cast<size_t>(index);
  return i < plan.trials.size() ? plan.trials[i] : plan.trainingTrials[i - plan.trials.size()];
}

}  // namespace

TrialPlan& Plan::trialAt(int index) {
  return trialOf(*this, index);
}

const TrialPlan& Plan::trialAt(int index) const {
  return trialOf(*this, index);
}

}  // namespace quarn
