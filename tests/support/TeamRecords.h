#pragma once

// The records of a team trial as the game stores them: each member records
// every week under its own ID (four datRole rows: User 6 on its own stage,
// 7 on the other members' stages, 0 on simulated ones and on a replaced
// member's stage from the week it was replaced) and its own datTrial row;
// datTeam ties the members together.

#include <string>
#include <utility>
#include <vector>

#include "analysis/RecordedResults.h"
#include "db/ResultStore.h"

namespace quarn::testing {

struct TeamMemberPlan {
  TeamMemberPlan(std::string s, int16_t r, std::string p = "", int16_t from = 0)
      : subject(std::move(s)), role(r), player(std::move(p)), fromWeek(from) {}
  std::string subject;
  int16_t role = 0;
  std::string player;    // the simulated player that replaced the member, if any
  int16_t fromWeek = 0;  // the first week that player played
};

// Two teams the team tests play: of two members, and of four whose member
// numbers do not follow the stages.
inline std::vector<std::vector<TeamMemberPlan>> pairAndFourTeams() {
  return {
      {{"P07", roleIndex(Role::Factory)}, {"P12", roleIndex(Role::Retailer)}},
      {{"P07", roleIndex(Role::Retailer)},
       {"P12", roleIndex(Role::Wholesaler)},
       {"P03", roleIndex(Role::Distributor)},
       {"P20", roleIndex(Role::Factory)}},
  };
}

// A 10-week team trial of `members` (member 1 first) in setting "Lab": stage
// r orders 10 r + week and ends with a cost of 100 r, every member sees the
// same chain. A replaced member's own records stop before `fromWeek`, and it
// has no datTrial row (its workstation was gone).
struct TeamTrialRows {
  std::vector<RecordedRows> byMember;  // one participant's rows each, as the store reads them
  std::vector<TeamRow> team;           // datTeam
};

inline TeamTrialRows teamTrialRows(const std::string& team, int16_t trial,
                                   const std::vector<TeamMemberPlan>& members, int16_t weeks = 10) {
  TeamTrialRows rows;
  const auto memberAt = [&](int role, int16_t week) -> const TeamMemberPlan* {
    for (const TeamMemberPlan& m : members) {
      if (m.role == role && (m.player.empty() || week < m.fromWeek)) return &m;
    }
    return nullptr;
  };
  for (size_t i = 0; i < members.size(); ++i) {
    const TeamMemberPlan& me = members[i];
    RecordedRows mine;
    const int16_t last = me.player.empty() ? weeks : static_cast<int16_t>(me.fromWeek - 1);
    for (int16_t week = 1; week <= last; ++week) {
      for (int r = 0; r < kRoleCount; ++r) {
        WeekRow row;
        row.subject = me.subject;
        row.setting = "Lab";
        row.trial = trial;
        row.week = week;
        row.role = roleName(r);
        const TeamMemberPlan* player = memberAt(r, week);
        // The store reads User 6 as the participant's row; 7 is another member's.
        row.participant = player == &me;
        row.stage.order = 10 * r + week;
        row.stage.inventory = 5 - week;
        row.stage.delaySlots = {4, 4};
        row.stage.demand = 2 + week;
        row.stage.totalCost = 100 * r * week / weeks;
        row.stage.decisionTime = player ? 1000 : 0;
        mine.weeks.push_back(row);
      }
    }
    if (me.player.empty()) {
      TrialRow t;
      t.subject = me.subject;
      t.setting = "Lab";
      t.trial = trial;
      t.weeks = weeks;
      t.delay = 2;
      for (int r = 0; r < kRoleCount; ++r) {
        const TeamMemberPlan* player = memberAt(r, 1);
        const TeamMemberPlan* replaced = nullptr;
        for (const TeamMemberPlan& m : members) {
          if (m.role == r && !m.player.empty()) replaced = &m;
        }
        t.players[static_cast<size_t>(r)] = replaced ? replaced->player
                                            : player ? player->subject
                                                     : std::string("Sterman");
      }
      mine.trials.push_back(t);
    }
    rows.byMember.push_back(std::move(mine));
    TeamRow seat;
    seat.setting = "Lab";
    seat.team = team;
    seat.trial = trial;
    seat.seat = {static_cast<int16_t>(i + 1), me.role, me.subject, me.player, me.fromWeek};
    rows.team.push_back(seat);
  }
  return rows;
}

// The members' records of the trial, joined into a team trial as the report
// reads them.
inline std::vector<RecordedTrial> teamTrialRecords(const TeamTrialRows& rows) {
  std::vector<RecordedTrial> trials;
  for (const RecordedRows& member : rows.byMember) {
    for (RecordedTrial& t : recordedTrials(member)) trials.push_back(std::move(t));
  }
  joinTeams(trials, rows.team);
  return trials;
}

}  // namespace quarn::testing
