#include "analysis/RecordedResults.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "base/Errors.h"
#include "base/Text.h"
#include "plan/PlanReaders.h"

namespace quarn {

namespace {

// The rows of one week as they come, before they are known to be complete.
struct WeekRows {
  RecordedWeek week;
  std::array<bool, kRoleCount> present{};
  std::array<bool, kRoleCount> participant{};  // User 6
};

// What the weekly rows of one trial tell.
struct TrialWeeks {
  std::map<int16_t, WeekRows> weeks;
  int16_t participantRole = kNoParticipant;
  bool teamRows = false;  // a stage carries User 7: a team member's records
  int16_t delay = 0;      // the most delay slots of any row
};

// A team member's records hold only the weeks the member played. Once the
// moderator replaced the member, the stage's rows no longer carry User 6
// (a workstation that comes back records the later weeks too): those weeks
// are the simulated player's, and the member's trial ends before them. A
// member replaced before its first week played none of the trial.
void keepParticipantsWeeks(TrialWeeks& trial) {
  if (!trial.teamRows) return;
  if (!hasParticipant(trial.participantRole)) {
    trial.weeks.clear();
    return;
  }
  const size_t own = static_cast<size_t>(trial.participantRole);
  const auto replaced = std::find_if(trial.weeks.begin(), trial.weeks.end(), [&](const auto& week) {
    return week.second.present[own] && !week.second.participant[own];
  });
  trial.weeks.erase(replaced, trial.weeks.end());
}

void addWeeks(RecordedTrial& trial, const std::map<int16_t, WeekRows>& weeks) {
  for (const auto& [number, rows] : weeks) {
    if (std::all_of(rows.present.begin(), rows.present.end(), [](bool p) { return p; })) {
      trial.weeks.push_back(rows.week);
    } else {
      ++trial.skippedWeeks;
    }
  }
}

RecordedTrial trialOf(const TrialRow& row) {
  RecordedTrial trial;
  trial.subject = row.subject;
  trial.setting = row.setting;
  trial.trial = row.trial;
  trial.plannedWeeks = row.weeks;
  trial.delay = row.delay;
  trial.players = row.players;
  return trial;
}

}  // namespace

std::vector<RecordedTrial> recordedTrials(const RecordedRows& rows) {
  std::map<int16_t, TrialWeeks> byTrial;
  for (const WeekRow& row : rows.weeks) {
    const int16_t role = roleIndexOfName(row.role);
    if (role < 0) continue;
    TrialWeeks& trial = byTrial[row.trial];
    WeekRows& week = trial.weeks[row.week];
    week.week.week = row.week;
    week.present[static_cast<size_t>(role)] = true;
    week.participant[static_cast<size_t>(role)] = row.participant;
    week.week.stages[static_cast<size_t>(role)] = row.stage;
    trial.delay = std::max(trial.delay, static_cast<int16_t>(row.stage.delaySlots.size()));
    if (row.participant) trial.participantRole = role;
    if (row.teamMember) trial.teamRows = true;
  }

  std::vector<RecordedTrial> trials;
  for (auto& [number, weeks] : byTrial) {
    const size_t recorded = weeks.weeks.size();
    keepParticipantsWeeks(weeks);
    if (weeks.weeks.empty()) continue;
    const auto known = std::find_if(rows.trials.begin(), rows.trials.end(),
                                    [&](const TrialRow& row) { return row.trial == number; });
    RecordedTrial trial;
    if (known != rows.trials.end()) {
      trial = trialOf(*known);
    } else {
      trial.trial = number;
      if (!rows.weeks.empty()) {
        trial.subject = rows.weeks.front().subject;
        trial.setting = rows.weeks.front().setting;
      }
    }
    addWeeks(trial, weeks.weeks);
    if (trial.delay == 0) trial.delay = weeks.delay;
    if (trial.plannedWeeks == 0 && !trial.weeks.empty()) {
      trial.plannedWeeks = trial.weeks.back().week;
    }
    trial.participantRole = weeks.participantRole;
    // The weeks kept are the participant's own, whoever played the stage
    // after them.
    if (weeks.weeks.size() < recorded) {
      trial.players[static_cast<size_t>(trial.participantRole)] = "Subject";
      trial.replaced = true;
    }
    trials.push_back(std::move(trial));
  }
  return trials;
}

std::string demandSource(const TrialPlan& trial) {
  if (!trial.inputFile.empty()) return trial.inputFile;
  return "step " + std::to_string(trial.initialDemand) + " to " +
         std::to_string(trial.secondDemand) + " in week " + std::to_string(trial.jumpWeek);
}

namespace {

// Who played stage `role` of `trial` as the game names it at the trial's
// start; empty where the plan does not tell.
std::string plannedPlayer(const TrialPlan& planned, const std::vector<PlayerStrategy>& players,
                          const RecordedTrial& trial, int16_t role) {
  const auto r = static_cast<size_t>(role);
  if (role == trial.participantRole) return "Subject";
  if (planned.stageMembers[r] != 0) return "Subject" + std::to_string(planned.stageMembers[r]);
  const int16_t player = planned.rolePlayers[r];
  if (player < 0 || static_cast<size_t>(player) >= players.size()) return "";
  return players[static_cast<size_t>(player)].name;
}

}  // namespace

std::vector<RecordedTrial> recordedTrials(const RecordedRows& rows,
                                          const std::vector<TrialPlan>& plan,
                                          const std::vector<PlayerStrategy>& players) {
  std::vector<RecordedTrial> trials = recordedTrials(rows);
  for (RecordedTrial& trial : trials) {
    if (trial.trial < 1 || static_cast<size_t>(trial.trial) > plan.size()) continue;
    const TrialPlan& planned = plan[static_cast<size_t>(trial.trial - 1)];
    const bool hasTrialRow =
        std::any_of(rows.trials.begin(), rows.trials.end(),
                    [&](const TrialRow& row) { return row.trial == trial.trial; });
    if (!hasTrialRow) {
      trial.plannedWeeks = std::max(trial.plannedWeeks, planned.weeks);
      for (int16_t r = 0; r < kRoleCount; ++r) {
        std::string& player = trial.players[static_cast<size_t>(r)];
        if (player.empty()) player = plannedPlayer(planned, players, trial, r);
      }
    }
    trial.demandSource = demandSource(planned);
    trial.predicter = planned.predicter;
    trial.displayOption = planned.displayOption;
  }
  return trials;
}

namespace {

// The setting's block trials and the players they index, or no trials when
// the plan cannot be read: the results stand without them.
struct PlannedSetting {
  std::vector<PlayerStrategy> players;
  std::vector<TrialPlan> trials;
};

PlannedSetting plannedSetting(DatabaseAccess& db, const std::string& setting,
                              const std::string& inputFolder) {
  PlayerRows players = readPlayers(db.planTables());
  std::vector<TrialPlan> trials =
      readBlocks(db.planTables(), players.players, setting, inputFolder).trials;
  return {std::move(players.players), std::move(trials)};
}

}  // namespace

std::vector<RecordedTrial> recordedTrials(DatabaseAccess& db, const std::string& setting,
                                          const std::string& subject,
                                          const std::string& inputFolder) {
  std::vector<RecordedTrial> trials;
  std::map<std::string, PlannedSetting> plans;
  for (const RecordedSession& session : db.recordedSessions(setting, subject)) {
    auto [plan, added] = plans.try_emplace(session.setting);
    if (added) plan->second = plannedSetting(db, session.setting, inputFolder);
    for (RecordedTrial& trial :
         recordedTrials(db.recordedRows(session), plan->second.trials, plan->second.players)) {
      trials.push_back(std::move(trial));
    }
  }
  return trials;
}

namespace {

// A trial named from the plan (no datTrial row) calls another member's stage
// "Subject2"; the game's own row names the member's ID there.
void nameMembersFromPlan(RecordedTrial& trial) {
  for (const TeamSeat& seat : trial.seats) {
    if (!hasParticipant(seat.role) || seat.role == trial.participantRole) continue;
    std::string& player = trial.players[static_cast<size_t>(seat.role)];
    if (player == "Subject" + std::to_string(seat.member)) player = seat.subject;
  }
}

}  // namespace

void joinTeams(std::vector<RecordedTrial>& trials, const std::vector<TeamRow>& rows) {
  using TeamTrial = std::tuple<std::string, std::string, int16_t>;  // setting, team, trial
  std::map<TeamTrial, std::vector<TeamSeat>> seats;
  for (const TeamRow& row : rows) seats[{row.setting, row.team, row.trial}].push_back(row.seat);
  for (auto& [key, members] : seats) {
    std::sort(members.begin(), members.end(),
              [](const TeamSeat& a, const TeamSeat& b) { return a.member < b.member; });
  }
  for (RecordedTrial& trial : trials) {
    for (const TeamRow& row : rows) {
      if (row.setting != trial.setting || row.trial != trial.trial ||
          row.seat.subject != trial.subject) {
        continue;
      }
      trial.team = row.team;
      trial.member = row.seat.member;
      trial.seats = seats[{row.setting, row.team, row.trial}];
      // A member replaced in the trial's last weeks, who did not come back,
      // recorded no week of the player's, yet left the trial all the same.
      if (!row.seat.player.empty()) {
        trial.replaced = true;
        std::erase_if(trial.weeks,
                      [&](const RecordedWeek& week) { return week.week >= row.seat.fromWeek; });
      }
      nameMembersFromPlan(trial);
      break;
    }
  }
}

std::vector<TeamRow> recordedTeamRows(DatabaseTables& tables) {
  if (!hasTable(tables, "datTeam")) return {};
  const std::vector<ColumnInfo> all = tables.columns("datTeam");
  const std::vector<std::string> wanted = {"Setting", "Team",    "Trial",  "Member",
                                           "Role",    "Subject", "Player", "FromWeek"};
  std::vector<ColumnInfo> columns;
  for (const std::string& name : wanted) {
    const auto found = std::find_if(all.begin(), all.end(), [&](const ColumnInfo& c) {
      return equalsIgnoringAsciiCase(c.name, name);
    });
    // A database without Player and FromWeek replaced nobody.
    if (found != all.end()) columns.push_back(*found);
  }
  auto names = std::make_shared<const ColumnNames>([&] {
    std::vector<std::string> list;
    for (const ColumnInfo& c : columns) list.push_back(c.name);
    return list;
  }());
  std::vector<TeamRow> rows;
  forEachRow(tables, "datTeam", columns, [&](const std::vector<CellValue>& values) {
    const Row read(names, values);
    const auto text = [&](const char* column) {
      return names->find(column) && !read.cell(column).isNull() ? read.cell(column).toText()
                                                                : std::string();
    };
    const auto number = [&](const char* column) {
      return names->find(column) && !read.cell(column).isNull() ? read.cell(column).toInt16()
                                                                : int16_t{0};
    };
    TeamRow row;
    row.setting = text("Setting");
    row.team = text("Team");
    row.trial = number("Trial");
    row.seat.member = number("Member");
    row.seat.role = roleIndexOfName(text("Role"));
    row.seat.subject = text("Subject");
    row.seat.player = text("Player");
    row.seat.fromWeek = row.seat.player.empty() ? int16_t{0} : number("FromWeek");
    // A member number no student took (a class's smaller team) is nobody's
    // seat: its stage is simulated, as the members' records say.
    if (row.seat.subject.empty()) return;
    rows.push_back(std::move(row));
  });
  return rows;
}

RecordedNames recordedNames(DatabaseAccess& db) {
  RecordedNames names;
  std::set<std::string> subjects, settings;
  for (const RecordedSession& session : db.recordedSessions("", "")) {
    if (subjects.insert(session.subject).second) names.subjects.push_back(session.subject);
    if (settings.insert(session.setting).second) names.settings.push_back(session.setting);
  }
  std::set<std::string> trainingOnly;
  for (const RecordedSession& session : db.trainingSessions("", "")) {
    if (!subjects.contains(session.subject) && trainingOnly.insert(session.subject).second) {
      names.trainingOnly.push_back(session.subject);
    }
  }
  return names;
}

namespace {

// The name among `known` that `typed` names apart from letter case.
std::optional<std::string> matchingName(const std::vector<std::string>& known,
                                        const std::string& typed) {
  // An exact match first: two recorded names may differ in letter case only.
  if (std::find(known.begin(), known.end(), typed) != known.end()) return typed;
  for (const std::string& name : known) {
    if (compareIgnoringCase(name, typed) == 0) return name;
  }
  return std::nullopt;
}

}  // namespace

std::string recordedName(const std::vector<std::string>& known, const std::string& typed,
                         const std::string& what) {
  if (typed.empty()) return typed;
  if (std::optional<std::string> name = matchingName(known, typed)) return *name;
  std::string list;
  for (const std::string& name : known) list += (list.empty() ? "" : ", ") + name;
  throw QuarnError(kErrItemNotFound, "No " + what + " " + typed + " is recorded" +
                                         (known.empty() ? "" : "; recorded: " + list));
}

std::string recordedParticipant(const RecordedNames& names, const std::string& typed) {
  if (typed.empty() || matchingName(names.subjects, typed)) {
    return recordedName(names.subjects, typed, "participant");
  }
  if (std::optional<std::string> trained = matchingName(names.trainingOnly, typed)) {
    throw QuarnError(kErrItemNotFound, "Participant " + *trained +
                                           " played training only: no experiment trial is "
                                           "recorded");
  }
  return recordedName(names.subjects, typed, "participant");
}

}  // namespace quarn
