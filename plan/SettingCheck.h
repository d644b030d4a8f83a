#pragma once

#include <string>
#include <vector>

#include "plan/PlanFault.h"
#include "plan/PlanTables.h"
#include "sim/TrialPlan.h"

namespace quarn {

// Every fault and warning of a setting's block, training and pause rows and
// the rows they name, with the player names looked up in `players` (the
// loaded tblPlayer). Reads but starts and writes nothing. An error that
// stops the reading itself (a missing column) is returned as a fault too.
// A training row whose team differs from the blocks' team is refused.
std::vector<PlanFault> checkSetting(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                                    const std::string& setting, const std::string& inputFolder);

// Whether any trial of `trials` is played by a team.
bool hasTeamTrial(const std::vector<TrialPlan>& trials);
// Whether a role column of the setting's block or training rows names a
// team member, read without checking the rows.
bool namesTeamMembers(PlanTables& tables, const std::string& setting);

}  // namespace quarn
