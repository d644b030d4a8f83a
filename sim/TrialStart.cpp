#include "sim/TrialStart.h"

#include <vector>

#include "base/Numbers.h"
#include "sim/DemandSeries.h"

namespace quarn {

namespace {

// The faults of the values the chain's arrays and the player table rely on.
std::vector<TrialValueFault> startFaults(const ChainContext& c) {
  const TrialPlan& trial = c.trial;
  std::vector<TrialValueFault> faults = checkTrialValues(trial);
  if (trial.participantRole < kNoParticipant || trial.participantRole >= kRoleCount) {
    faults.push_back({"SubjectRole", decimal(trial.participantRole)});
    return faults;
  }
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t player = trial.rolePlayers[static_cast<size_t>(r)];
    if (!isTypedStage(trial, r) &&
        (player < 0 || static_cast<size_t>(player) >= c.players.size())) {
      faults.push_back({"RolePlayer(" + decimal(r) + ")", decimal(player)});
    }
  }
  return faults;
}

void refuseFaults(const ChainContext& c) {
  if (const std::vector<TrialValueFault> faults = startFaults(c); !faults.empty()) {
    throw QuarnError(kErrInvalidPlan,
                     "The trial cannot start: " + describeTrialValueFaults(faults));
  }
}

// The participant's own stage is "Subject"; another member's stage is named
// for the plan column that gave it (Subject2), so the records tell them apart.
std::string stagePlayerName(const ChainContext& c, int16_t r) {
  const TrialPlan& trial = c.trial;
  if (r == trial.participantRole) return "Subject";
  if (const int16_t member = trial.stageMembers[static_cast<size_t>(r)]; member != 0) {
    return "Subject" + decimal(member);
  }
  return c.players[static_cast<size_t>(trial.rolePlayers[static_cast<size_t>(r)])].name;
}

// Resets the four stages, the week and the Sterman state on the trial's
// demand series, and simulates week 1.
void startOnDemand(ChainContext& c) {
  TrialPlan& trial = c.trial;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    RoleState& s = c.chain.roles[static_cast<size_t>(r)];
    s.roleName = roleName(r);
    s.playerName = stagePlayerName(c, r);
    s.orderSlots.assign(static_cast<size_t>(trial.orderDelay) + 1, trial.firstOrder);
    s.inventory = trial.initialInventory;
    s.deltaInventory = trial.initialInventory;
    s.received = trial.initialShipment;
    s.delaySlots.assign(static_cast<size_t>(trial.delay), trial.initialShipment);
    s.demand = r == roleIndex(Role::Retailer) ? trial.weeklyDemand[0] : trial.firstOrder;
    s.satisfied = 0;
    s.weeklyCost = 0;
    s.totalCost = 0;
  }
  trial.totalCost = 0.0;
  c.chain.currentWeek = 1;
  c.chain.memberOrders = {};
  c.chain.replacedFromWeek = {};
  resetSterman(c);
  stepWeek(c);
}

}  // namespace

void startTrialChain(ChainContext& c, const std::string& inputFolder) {
  refuseFaults(c);
  buildDemand(c.trial, inputFolder);  // may throw; nothing of the chain is touched yet
  startOnDemand(c);
}

void restartTrialChain(ChainContext& c) {
  refuseFaults(c);
  const TrialPlan& trial = c.trial;
  if (trial.weeklyDemand.size() != static_cast<size_t>(trial.weeks) + 1) {
    throw QuarnError(kErrInvalidPlan, "The trial cannot start again: its customer demand of " +
                                          decimal(trial.weeks) + " weeks has not been built");
  }
  startOnDemand(c);
}

}  // namespace quarn
