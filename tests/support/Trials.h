#pragma once

#include "sim/TrialPlan.h"

namespace quarn::testing {

// A chain that stays put when everybody orders the demand: demand, first
// orders and every pipeline slot 4, stock 12. The demand steps to 8 only
// when a test moves JumpWeek into the trial.
inline TrialPlan SteadyTrial(int16_t weeks = 20, int16_t subject = kNoSubject, int16_t delay = 2) {
  TrialPlan t;
  t.Delay = delay;
  t.OrderDelay = 1;
  t.numweeks = weeks;
  t.InitialDemand = t.FirstOrder = t.InitDelayAmount = 4;
  t.JumpWeek = static_cast<int16_t>(weeks + 1);
  t.SecondDemand = 8;
  t.SubjectRole = subject;
  if (subject != kNoSubject) t.RolePlayer[static_cast<size_t>(subject)] = kSubjectPlayer;
  t.MaxOrder = 1000;
  t.InitInventory = 12;
  t.CostInventory = 0.5;
  t.CostBackOrder = 1.0;
  return t;
}

}  // namespace quarn::testing
