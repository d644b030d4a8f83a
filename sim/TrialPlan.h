#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Roles.h"

namespace quarn {

// The rolePlayers entry of the participant's role.
inline constexpr int16_t kParticipantPlayer = -1;

// The largest order the participant can type: the order box holds four
// digits.
inline constexpr int16_t kLargestParticipantOrder = 9999;

// A team has one member per stage at most.
inline constexpr int16_t kLargestTeam = kRoleCount;

// The parameters one trial runs on: a row of tblBlock or tblTraining, with
// the players resolved. The comments give the plan column where its name
// differs.
struct TrialPlan {
  std::vector<int32_t> weeklyDemand;  // indices 0..weeks, filled at trial start
  int16_t delay = 0;                  // weeks a shipment travels
  int16_t weeks = 0;                  // numweeks (Weeks in tblTraining)
  std::string inputFile;              // Input: a demand file, or empty for the step pattern
  int32_t initialDemand = 0;
  int16_t jumpWeek = 0;
  int32_t secondDemand = 0;
  std::string predicter;
  std::string displayOption;
  // RolePlayer: per role the index into the player table, kParticipantPlayer
  // for the participant's role.
  std::array<int16_t, kRoleCount> rolePlayers{};
  int16_t participantRole = kNoParticipant;  // SubjectRole
  // Subject1 .. Subject4: per role the team member (1 to 4) who plays it, 0
  // where none does. A trial whose stages name members is a team trial; its
  // participantRole is the stage of the member this workstation plays
  // (member 1's as read from the plan, see forMember).
  std::array<int16_t, kRoleCount> stageMembers{};
  int32_t firstOrder = 0;
  int32_t minOrder = 0;
  int32_t maxOrder = 0;
  int16_t orderDelay = 0;  // weeks an order travels
  int16_t maxNoise = 0;
  int32_t initialInventory = 0;    // InitInventory
  int32_t initialShipment = 0;     // InitDelayAmount
  double inventoryCostRate = 0.0;  // CostInventory
  double backorderCostRate = 0.0;  // CostBackOrder
  double transitCostRate = 0.0;    // CostTransit
  double totalCost = 0.0;          // the trial's cost over all four stages, kept by the week step
  bool recordToDatabase = false;   // DatabaseOutput
  bool enableProfit = false;
  int16_t pricePerUnit = 0;
  // The largest order the game takes from the participant in this trial:
  // larger ones could overflow a stored or shown value (the plan check's
  // largest safe order).
  int16_t largestOrder = kLargestParticipantOrder;
};

// One simulated player: a row of tblPlayer. Its order is the sum of the
// parts it uses, plus the trial's noise.
struct PlayerStrategy {
  std::string name;
  bool usesSterman = false;     // Sterman: the anchoring-and-adjustment rule
  bool addsDemand = false;      // Demand: the demand it faces
  bool addsBackorder = false;   // BackOrder: its backorder
  bool addsDelta = false;       // Delta: the fall of its stock, with a backorder
  int16_t orderIfNegative = 0;  // IfZero: the order placed instead of a negative sum
  double alpha = 0.0;
  double beta = 0.0;
  double epsilon = 0.0;
  double theta = 0.0;
};

// Whether members of a team play the trial's stages.
bool isTeamTrial(const TrialPlan& trial);
// The number of stages that team members play (0 for a trial without a team).
int16_t teamSize(const TrialPlan& trial);
// The stage member `member` (1 to 4) plays, or kNoParticipant.
int16_t memberStage(const TrialPlan& trial, int16_t member);
// Whether a person orders for stage `role`: the participant, or a member.
bool isTypedStage(const TrialPlan& trial, int16_t role);
// The most downstream stage a person orders for, or kNoParticipant. The week
// opens with the simulated stages downstream of it and closes with the rest.
int16_t lastTypedStage(const TrialPlan& trial);
// A team trial as the workstation of `member` plays it: its participantRole
// is that member's stage.
TrialPlan forMember(TrialPlan trial, int16_t member);

// A value of a trial that would break the chain's arrays: which field (by
// its plan column), and the value it holds.
struct TrialValueFault {
  std::string field;
  std::string value;
};

// Checks the values the chain and the demand series index with: delay 1 to
// 3, orderDelay 0 or more, weeks 1 or more and, for the step pattern,
// jumpWeek from 1 to weeks + 2. Returns every fault found (empty when the
// trial is sound).
std::vector<TrialValueFault> checkTrialValues(const TrialPlan& trial);

// "Delay = 4, numweeks = 0": the faults for a message.
std::string describeTrialValueFaults(const std::vector<TrialValueFault>& faults);

}  // namespace quarn
