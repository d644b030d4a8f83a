#pragma once

// What the moderator watches in the lab: the participants active in the last
// hour and the teams of team settings, read from the database's latest
// weeks, workstation marks and team rows. Built from the stores alone, with
// no text of its own: `quarngame-admin watch` renders it as a table, as JSON
// or on the terminal.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Roles.h"
#include "db/ActivityMonitor.h"
#include "db/TeamStore.h"
#include "plan/PlanTables.h"

namespace quarn {

inline constexpr int64_t kActiveWithinSeconds = 3600;
// A running application refreshes its mark every kMarkRefreshSeconds; after
// four missed refreshes its workstation counts as gone.
inline constexpr int64_t kDefaultGoneLimitSeconds = 4 * kMarkRefreshSeconds;

// What is watched: one setting (empty: every setting), and how long a marked
// workstation may stay silent before it counts as gone.
struct WatchScope {
  std::string setting;
  int64_t goneLimitSeconds = kDefaultGoneLimitSeconds;
};

// One participant: marked as playing at a workstation, or without a mark
// (the session was closed) after a week recorded in the last hour.
struct WatchLine {
  std::string subject;
  std::string setting;
  int16_t trial = 0;  // the Trial recorded under (training below 0); 0: none yet
  int16_t week = 0;   // 0: none yet
  int16_t weeks = 0;  // 0: not known (no mark, or one that does not say)
  std::string role;   // empty: not known, or the trial plays itself
  // The mark's state word ("order", "pause", ...), "closed" without a mark,
  // "playing" for a mark that does not say; a word this version does not
  // know is kept as stored, with stateUnknown set.
  std::string state;
  bool stateUnknown = false;
  int64_t stateSeconds = 0;  // how long the state has lasted
  std::optional<int64_t> cost;
  std::string workstation;   // empty without a mark
  int64_t quietSeconds = 0;  // since the mark's last refresh (or the latest week, without one)
  bool gone = false;  // a marked workstation that stopped refreshing for longer than the limit
};

// What the live view needs of a team setting's plan: the members its teams
// have (0: not a team setting), whether its training is played together,
// and each experiment trial in play order with its weeks and each member's
// stage.
struct TeamTrialShape {
  int16_t weeks = 0;
  std::array<int16_t, kRoleCount> memberStages{-1, -1, -1, -1};  // by member number - 1
};
struct TeamSettingPlan {
  int16_t size = 0;
  bool trainsTogether = false;
  TeamTrialShape training;  // its training row, when the team trains together
  std::vector<TeamTrialShape> trials;
};
using TeamPlans = std::function<TeamSettingPlan(const std::string& setting)>;

// The team settings' plans as the plan tables give them, each setting read
// once; the team's size is the highest member number a role column of the
// setting's rows names.
TeamPlans planTeams(PlanTables& tables);

// The stage each member number plays in each experiment trial of the plan,
// as the team store records it; empty for a setting played alone.
TeamTrialRoles memberRolesOf(const TeamSettingPlan& plan);

// A member of a team as the live view shows it: the member's mark (or
// latest week) as a participant's line, and what the team's week needs of
// the member.
struct WatchMember {
  int16_t member = 0;
  // The member's mark or latest week; its role is the member's stage in
  // the team's trial where the plan tells it.
  WatchLine line;
  bool active = false;  // has a mark, or recorded a week in the last hour
  bool here = false;    // active, or joined the team by logging in
  // The simulated player the moderator put in the member's place, from
  // trial `replacedTrial`, week `replacedWeek`.
  std::string replacedBy;
  int16_t replacedTrial = 0;
  int16_t replacedWeek = 0;
};

// A team of a team setting: who is there and, once it is complete, the week
// it plays and whose orders it waits for.
struct WatchTeam {
  std::string team;
  std::string setting;
  int16_t size = 0;  // the members the setting's teams have
  std::vector<WatchMember> members;
  // The members there: each one who joined by logging in, and each one the
  // moderator fixed who has a mark or recorded a week.
  int16_t here = 0;
  // The open week: the week the next order closes. Trial 0 before the
  // team's first order; `trialOver` once the trial's last week was played.
  int16_t trial = 0;
  bool training = false;
  int16_t week = 0;
  int16_t weeks = 0;  // 0: not known
  bool trialOver = false;
  bool finished = false;                // the last week of the setting's last trial is played
  bool trainingAlone = false;           // before its first order, members train alone
  std::vector<std::string> ordered;     // the User IDs whose order of the open week is stored
  std::vector<std::string> waitingFor;  // the User IDs the open week waits for
  // Since when the team waits (seconds since 1970, and for how long): its
  // first order of the open week, or the week played before; none when not
  // known.
  std::optional<int64_t> waitingSince;
  std::optional<int64_t> waitingSeconds;

  // Until its first order a team forms; the members wait for each other.
  bool forming() const;
  // The User IDs of the members there.
  std::vector<std::string> hereSubjects() const;
};

// The lab at one moment: the participants by User ID and setting (the
// members of a team under their team, not here), and the teams seen in the
// last hour (a member with a mark or a recorded week, or an order stored) by
// setting and team.
struct LabWatch {
  std::vector<WatchLine> participants;
  std::vector<WatchTeam> teams;
};

// The lab at `now` (seconds since 1970). `plans` tells the team settings'
// plans (none: each team counts its members as complete, and its weeks as
// its members' marks say). The stored times are the server's: the lab's
// computers are taken to share its clock.
LabWatch watchLab(ActivityMonitor& monitor, int64_t now, const WatchScope& scope,
                  const TeamPlans& plans);

}  // namespace quarn
