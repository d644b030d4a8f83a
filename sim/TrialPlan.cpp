#include "sim/TrialPlan.h"

#include "base/Numbers.h"

namespace quarn {

std::vector<TrialValueFault> checkTrialValues(const TrialPlan& trial) {
  std::vector<TrialValueFault> faults;
  // The main window draws three truck slots per path, so a longer delay has
  // nowhere to show its shipments.
  if (trial.delay < 1 || trial.delay > 3) faults.push_back({"Delay", decimal(trial.delay)});
  if (trial.orderDelay < 0) faults.push_back({"OrderDelay", decimal(trial.orderDelay)});
  if (trial.weeks < 1) faults.push_back({"numweeks", decimal(trial.weeks)});
  if (trial.inputFile.empty() && (trial.jumpWeek < 1 || trial.jumpWeek > trial.weeks + 2)) {
    faults.push_back({"JumpWeek", decimal(trial.jumpWeek)});
  }
  return faults;
}

std::string describeTrialValueFaults(const std::vector<TrialValueFault>& faults) {
  std::string text;
  for (const TrialValueFault& f : faults) {
    text += (text.empty() ? "" : ", ") + f.field + " = " + f.value;
  }
  return text;
}

}  // namespace quarn
