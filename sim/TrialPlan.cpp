#include "sim/TrialPlan.h"

#include "base/Numbers.h"

namespace quarn {

bool isTeamTrial(const TrialPlan& trial) {
  return teamSize(trial) > 0;
}

int16_t teamSize(const TrialPlan& trial) {
  int16_t size = 0;
  for (const int16_t member : trial.stageMembers) size += member != 0 ? 1 : 0;
  return size;
}

int16_t memberStage(const TrialPlan& trial, int16_t member) {
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (member != 0 && trial.stageMembers[static_cast<size_t>(r)] == member) return r;
  }
  return kNoParticipant;
}

bool isTypedStage(const TrialPlan& trial, int16_t role) {
  return role == trial.participantRole ||
         (isRole(role) && trial.stageMembers[static_cast<size_t>(role)] != 0);
}

int16_t lastTypedStage(const TrialPlan& trial) {
  for (int16_t r = kRoleCount - 1; r > trial.participantRole; --r) {
    if (trial.stageMembers[static_cast<size_t>(r)] != 0) return r;
  }
  return trial.participantRole;
}

TrialPlan forMember(TrialPlan trial, int16_t member) {
  trial.participantRole = memberStage(trial, member);
  return trial;
}

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
