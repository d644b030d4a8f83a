#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quarn {

// Role indices, used in every per-role array: stage r orders from r - 1 and
// ships to r + 1; the Retailer serves the customer.
enum Role : int16_t { kFactory = 0, kDistributor = 1, kWholesaler = 2, kRetailer = 3 };
constexpr int kRoleCount = 4;
constexpr int16_t kNoSubject = -1;      // SubjectRole of a trial played by simulated players only
constexpr int16_t kSubjectPlayer = -1;  // RolePlayer of the participant's role

// One planned trial.
struct TrialPlan {
  std::vector<int32_t> WeeklyDemand;  // indices 0..numweeks, filled at trial start
  int16_t Delay = 0;
  int16_t numweeks = 0;
  std::string Input;
  int32_t InitialDemand = 0;
  int16_t JumpWeek = 0;
  int32_t SecondDemand = 0;
  std::string Predicter;
  std::string DisplayOption;
  std::array<int16_t, kRoleCount> RolePlayer{};
  int16_t SubjectRole = kNoSubject;
  int32_t FirstOrder = 0;
  int32_t MinOrder = 0;
  int32_t MaxOrder = 0;
  int16_t OrderDelay = 0;
  int16_t MaxNoise = 0;
  int32_t InitInventory = 0;
  int32_t InitDelayAmount = 0;
  double CostInventory = 0.0;
  double CostBackOrder = 0.0;
  double CostTransit = 0.0;
  double TotalCost = 0.0;  // the trial's cost over all four stages
  bool DatabaseOutput = false;
  bool EnableProfit = false;
  int16_t PricePerUnit = 0;
};

// One simulated player: a row of tblPlayer.
struct PlayerStrategy {
  std::string Name;
  bool Sterman = false;
  bool Demand = false;
  bool BackOrder = false;
  bool Delta = false;
  int16_t IfZero = 0;
  double Alpha = 0.0;
  double Beta = 0.0;
  double Epsilon = 0.0;
  double Theta = 0.0;
};

// The plan in memory: block trials at 0..TrialCount-1, training trials behind
// them, and the player table the trials refer to.
struct Plan {
  std::vector<TrialPlan> TrialPlans;
  int16_t TrialCount = 0;
  int16_t CurrentTrial = 0;
  std::vector<PlayerStrategy> PlayerTable;
  int16_t PlayerCount = 0;
};

TrialPlan& CurrentPlan(Plan& plan);
const TrialPlan& CurrentPlan(const Plan& plan);

// A value of a trial that would break the chain's arrays: which field, and
// the value it holds.
struct PlanFault {
  std::string field;
  std::string value;
};

// Checks the values the chain and the demand series index with: Delay 1 to 3,
// OrderDelay 0 or more, numweeks 1 or more and, for the step pattern, JumpWeek
// from 1 to numweeks + 2. Returns every fault found (empty when the trial is
// sound).
std::vector<PlanFault> CheckTrialValues(const TrialPlan& trial);

}  // namespace quarn
