#pragma once

#include "sim/TrialPlan.h"

namespace quarn {

// The rules a simulated player's order can follow, each switched on by the
// yes/no column of tblPlayer that ruleColumn names. The plan reader reads
// every rule of kPlayerRules, and the plan check's bounds are tested against
// play with players of every one of them: a new rule goes into this list.
enum class PlayerRule { Sterman, Demand, BackOrder, Delta };
inline constexpr PlayerRule kPlayerRules[] = {PlayerRule::Sterman, PlayerRule::Demand,
                                              PlayerRule::BackOrder, PlayerRule::Delta};

const char* ruleColumn(PlayerRule rule);
bool follows(const PlayerStrategy& player, PlayerRule rule);
void setRule(PlayerStrategy& player, PlayerRule rule, bool on);

}  // namespace quarn
