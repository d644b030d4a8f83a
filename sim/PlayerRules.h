#pragma once

// A simulated player's order is the trial's noise plus a term of every rule
// it follows. Each rule is described once, in playerRules(): its yes/no
// column of tblPlayer, its parameters, its term of the order, and the same
// term as a range for the plan check. The simulated player, the plan reader,
// the plan check, tblPlayer's columns in the schema and the column reference
// all take the rules from there. A new rule is a new entry in
// PlayerRules.cpp and its switch and parameters in PlayerStrategy.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/TrialPlan.h"
#include "sim/ValueRange.h"

namespace quarn {

struct ChainContext;

// A parameter of a rule: a real column of tblPlayer.
struct RuleParameter {
  const char* column;
  double PlayerStrategy::*field;
  double defaultValue;  // what an empty cell reads as
  const char* meaning;  // for the column reference
  // The values labs use, from which the tests draw the rule's players (a
  // plan may hold any value its order can be computed with).
  double usualLow;
  double usualHigh;
};

// The figures of a stage that the plan check follows, which a rule's range
// term reads.
struct StageFigureRanges {
  ValueRange demand, inventory, deltaInventory;
};

// Parameters of a rule too large for an order to be computed: the columns
// and why (an empty complaint when the parameters are sound).
struct RuleParameterFault {
  std::string columns;
  std::string complaint;
};

struct PlayerRuleEntry {
  const char* column;   // its yes/no column of tblPlayer
  const char* meaning;  // for the column reference
  bool PlayerStrategy::*switchField;
  std::span<const RuleParameter> parameters = {};
  int since = 1;  // the schema version that brought its columns
  // Its term of the order the simulated player of `role` places now. It may
  // keep state of its own in the chain.
  int64_t (*term)(ChainContext& c, int16_t role, const PlayerStrategy& player) = nullptr;
  // Every value the term can take while the stage's figures lie in `stage`.
  ValueRange (*rangeTerm)(const TrialPlan& trial, const PlayerStrategy& player,
                          const StageFigureRanges& stage) = nullptr;
  // Why the player's parameters cannot make an order; null for a rule whose
  // terms are sound for any parameters.
  RuleParameterFault (*parameterFault)(const PlayerStrategy& player) = nullptr;
};

// Every rule, in the order their terms are added and their columns listed.
std::span<const PlayerRuleEntry> playerRules();

inline bool follows(const PlayerStrategy& player, const PlayerRuleEntry& rule) {
  return player.*rule.switchField;
}

// The faults of the parameters of the rules `player` follows.
std::vector<RuleParameterFault> parameterFaults(const PlayerStrategy& player);

}  // namespace quarn
