#pragma once

#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Text.h"
#include "db/DatabaseAccess.h"
#include "plan/PlanReaders.h"
#include "sim/TrialPlan.h"

namespace quarn::admin {

// The players and a setting's block trials, refused as the game refuses
// them.
struct SettingPlan {
  std::vector<PlayerStrategy> players;
  std::vector<TrialPlan> trials;
};

inline SettingPlan loadSetting(DatabaseAccess& db, const std::string& setting,
                               const std::string& inputFolder) {
  PlayerRows players = readPlayers(db.planTables());
  BlockRows blocks = readBlocks(db.planTables(), players.players, setting, inputFolder);
  for (const std::vector<PlanFault>* faults : {&players.faults, &blocks.faults}) {
    if (const PlanFault* fault = firstFault(*faults)) {
      throw QuarnError(kErrInvalidPlan, fault->text + " (quarngame-admin check lists every fault)");
    }
  }
  return {std::move(players.players), std::move(blocks.trials)};
}

// The player named as the role columns name one: apart from the letter case
// of ASCII letters.
inline int16_t playerIndex(const std::vector<PlayerStrategy>& players, const std::string& name) {
  for (size_t i = 0; i < players.size(); ++i) {
    if (equalsIgnoringAsciiCase(players[i].name, name)) return static_cast<int16_t>(i);
  }
  throw QuarnError(kErrInvalidPlan, "tblPlayer has no player named " + name);
}

// The player that stands in for the participants: the one named, or the
// first that uses the anchoring-and-adjustment rule, or the first.
inline int16_t standInPlayer(const std::vector<PlayerStrategy>& players, const std::string& named) {
  if (!named.empty()) return playerIndex(players, named);
  for (size_t i = 0; i < players.size(); ++i) {
    if (players[i].usesSterman) return static_cast<int16_t>(i);
  }
  return 0;
}

// Whether any of the trials has a stage a person plays: the participant's,
// or a team member's.
inline bool hasParticipantStage(const std::vector<TrialPlan>& trials) {
  for (const TrialPlan& t : trials) {
    if (hasParticipant(t.participantRole) || isTeamTrial(t)) return true;
  }
  return false;
}

}  // namespace quarn::admin
