#include "game/LabWatch.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "base/Errors.h"
#include "game/TeamWeek.h"
#include "plan/PlanReaders.h"

namespace quarn {

namespace {

std::pair<std::string, std::string> localDateAndTime(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&time, &local);
  char date[16], timeOfDay[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  std::strftime(timeOfDay, sizeof timeOfDay, "%H:%M:%S", &local);
  return {date, timeOfDay};
}

// Seconds since 1970 of a local date and time as the rows hold them.
std::optional<int64_t> secondsOf(const std::string& date, const std::string& timeOfDay) {
  std::tm local{};
  if (std::sscanf(date.c_str(), "%d-%d-%d", &local.tm_year, &local.tm_mon, &local.tm_mday) != 3 ||
      std::sscanf(timeOfDay.c_str(), "%d:%d:%d", &local.tm_hour, &local.tm_min, &local.tm_sec) !=
          3) {
    return std::nullopt;
  }
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(seconds);
}

WatchLine fromWeek(const LatestWeek& week, int64_t now) {
  WatchLine line;
  line.subject = week.subject;
  line.setting = week.setting;
  line.trial = week.trial;
  line.week = week.week;
  line.role = week.role;
  line.cost = week.totalCost;
  line.state = "closed";
  line.quietSeconds = now - secondsOf(week.date, week.timeOfDay).value_or(now);
  line.stateSeconds = line.quietSeconds;
  return line;
}

WatchLine fromMark(const PlayingMark& mark, int64_t now, int64_t limitSeconds) {
  const PlayActivity& activity = mark.activity;
  WatchLine line;
  line.subject = mark.subject;
  line.setting = mark.setting;
  line.trial = activity.trial;
  line.week = activity.week;
  line.weeks = activity.weeks;
  line.role = activity.role;
  line.cost = activity.cost;
  line.state = activity.state                  ? playStateWord(*activity.state)
               : activity.unknownState.empty() ? "playing"
                                               : activity.unknownState;
  line.stateUnknown = !activity.state && !activity.unknownState.empty();
  line.stateSeconds = activity.state ? now - activity.stateSince : now - mark.since;
  line.workstation = describeWorkstation(mark.at);
  line.quietSeconds = now - mark.lastWeek;
  line.gone = line.quietSeconds > limitSeconds;
  return line;
}

// A mark written by an application that does not say what the participant
// does takes the trial, week and cost from the latest recorded week.
void fillFromWeek(WatchLine& line, const WatchLine& recorded) {
  if (line.state != "playing" || line.stateUnknown) return;
  line.trial = recorded.trial;
  line.week = recorded.week;
  line.role = recorded.role;
  line.cost = recorded.cost;
}

using LineKey = std::pair<std::string, std::string>;  // User ID and setting

// Every participant with a mark, or a week recorded in the last hour.
std::map<LineKey, WatchLine> activeLines(ActivityMonitor& monitor, int64_t now,
                                         const WatchScope& scope) {
  const auto [sinceDate, sinceTime] = localDateAndTime(now - kActiveWithinSeconds);
  const auto wanted = [&](const std::string& setting) {
    return scope.setting.empty() || setting == scope.setting;
  };
  std::map<LineKey, WatchLine> recorded;
  for (const LatestWeek& week : monitor.latestWeeks(sinceDate, sinceTime)) {
    if (wanted(week.setting)) recorded[{week.subject, week.setting}] = fromWeek(week, now);
  }
  std::map<LineKey, WatchLine> lines = recorded;
  for (const PlayingMark& mark : monitor.playingMarks()) {
    if (!wanted(mark.setting) || now - mark.lastWeek > kActiveWithinSeconds) continue;
    const LineKey key{mark.subject, mark.setting};
    WatchLine line = fromMark(mark, now, scope.goneLimitSeconds);
    if (const auto week = recorded.find(key); week != recorded.end()) {
      fillFromWeek(line, week->second);
    }
    lines[key] = std::move(line);
  }
  return lines;
}

const TeamTrialMember* replacementOf(const TeamActivity& team, int16_t member) {
  for (const TeamTrialMember& r : team.replaced) {
    if (r.member == member) return &r;
  }
  return nullptr;
}

// The member numbers a simulated player took from the start (a class's
// smaller team): rows of the player without a Subject, for no student.
int openMemberCount(const TeamActivity& activity) {
  std::set<int16_t> open;
  for (const TeamTrialMember& r : activity.replaced) {
    const bool student = std::any_of(activity.members.begin(), activity.members.end(),
                                     [&](const TeamMember& m) { return m.member == r.member; });
    if (r.subject.empty() && r.fromWeek == 1 && !student) open.insert(r.member);
  }
  return static_cast<int>(open.size());
}

// The members, each with its line taken out of `lines`.
void takeMembers(const TeamActivity& activity, std::map<LineKey, WatchLine>& lines,
                 WatchTeam& team) {
  for (const TeamMember& m : activity.members) {
    WatchMember member;
    member.member = m.member;
    const auto line = lines.find({m.subject, activity.key.setting});
    member.active = line != lines.end();
    member.here = member.active || !m.fixed;
    if (member.active) {
      member.line = std::move(line->second);
      lines.erase(line);
    } else {
      member.line.subject = m.subject;
      member.line.setting = activity.key.setting;
    }
    if (const TeamTrialMember* replaced = replacementOf(activity, m.member)) {
      member.replacedBy = replaced->player;
      member.replacedTrial = replaced->trial;
      member.replacedWeek = replaced->fromWeek;
      if (member.line.role.empty()) member.line.role = replaced->role;
    }
    team.here = static_cast<int16_t>(team.here + (member.here ? 1 : 0));
    team.weeks = std::max(team.weeks, member.line.weeks);
    team.members.push_back(std::move(member));
  }
}

// When the team's open week opened at the members' workstations: the
// earliest mark of a member choosing its order (the server dates the marks).
std::optional<int64_t> weekOpenedAt(const WatchTeam& team, int64_t now) {
  std::optional<int64_t> opened;
  for (const WatchMember& m : team.members) {
    const WatchLine& line = m.line;
    if (!m.active || line.state != playStateWord(PlayState::Choosing) || line.trial != team.trial ||
        line.week != team.week) {
      continue;
    }
    opened = std::min(opened.value_or(now - line.stateSeconds), now - line.stateSeconds);
  }
  return opened;
}

// The member as a week of the team's running trial sees it: whether its
// order of the team's latest week is stored, and from which week of the
// trial a simulated player orders for it.
TeamWeekMember weekMember(const WatchMember& m, const WatchTeam& team,
                          const std::vector<int16_t>& orderedMembers) {
  const bool replacedThisTrial =
      !m.replacedBy.empty() && team.trial != 0 && !team.training && m.replacedTrial == team.trial;
  return {std::find(orderedMembers.begin(), orderedMembers.end(), m.member) != orderedMembers.end(),
          replacedThisTrial ? m.replacedWeek : int16_t{0}};
}

// The open week: the latest week with an order until every member still
// playing has ordered it, then the week after it; week 1 of a trial that
// has only its marks of week 0.
void placeOpenWeek(const TeamActivity& activity, int64_t now, WatchTeam& team) {
  team.trial = activity.trial;
  team.training = activity.training;
  std::optional<int64_t> first, last;
  std::vector<int16_t> orderedMembers;
  for (const StoredOrder& order : activity.ordered) {
    orderedMembers.push_back(order.member);
    if (!order.stored) continue;
    first = std::min(first.value_or(*order.stored), *order.stored);
    last = std::max(last.value_or(*order.stored), *order.stored);
  }
  std::vector<TeamWeekMember> latest;
  for (const WatchMember& m : team.members) latest.push_back(weekMember(m, team, orderedMembers));
  const bool weekPlayed =
      activity.trial != 0 && (activity.week == 0 || membersToOrder(latest, activity.week).empty());
  team.trialOver = weekPlayed && team.weeks > 0 && activity.week >= team.weeks;
  team.week =
      weekPlayed && !team.trialOver ? static_cast<int16_t>(activity.week + 1) : activity.week;
  std::optional<int64_t> since = weekPlayed ? last : first;
  // A week that the moderator's replacement completed was played when the
  // member was replaced, not at the last order typed.
  const bool completedByReplacement =
      weekPlayed && activity.week > 0 &&
      std::any_of(latest.begin(), latest.end(), [&](const TeamWeekMember& m) {
        return !m.ordered && replacedIn(m, activity.week);
      });
  if (completedByReplacement && !team.trialOver) {
    if (const std::optional<int64_t> opened = weekOpenedAt(team, now)) {
      since = std::max(since.value_or(*opened), *opened);
    }
  }
  if (since) {
    team.waitingSince = *since;
    team.waitingSeconds = now - *since;
  }
  if (team.trialOver) return;
  // Before the team's first order its members may train alone, each at its
  // own week.
  const TeamGathering gathering{team.size, team.here, activity.trial != 0,
                                std::any_of(team.members.begin(), team.members.end(),
                                            [](const WatchMember& m) { return m.line.trial < 0; })};
  const TeamWeekPhase phase = teamWeekPhase(gathering);
  team.trainingAlone = phase == TeamWeekPhase::TrainingAlone;
  if (phase != TeamWeekPhase::Ordering) return;
  // The open week after a played one has no order yet.
  std::vector<TeamWeekMember> open = latest;
  for (TeamWeekMember& m : open) m.ordered = m.ordered && !weekPlayed;
  for (const size_t place : membersToOrder(open, team.week)) {
    team.waitingFor.push_back(team.members[place].line.subject);
  }
  for (size_t place = 0; place < open.size(); ++place) {
    if (open[place].ordered && !replacedIn(open[place], team.week)) {
      team.ordered.push_back(team.members[place].line.subject);
    }
  }
}

// The trial the team plays as the plan shapes it; none before its first
// order, or when the plan does not tell.
const TeamTrialShape* trialShape(const TeamSettingPlan& plan, const TeamActivity& activity) {
  if (activity.trial == 0) return nullptr;
  if (activity.training) return plan.trainsTogether ? &plan.training : nullptr;
  if (static_cast<size_t>(activity.trial) > plan.trials.size()) return nullptr;
  return &plan.trials[static_cast<size_t>(activity.trial - 1)];
}

// The trial's weeks, and each member's stage in it (a member's mark may
// still tell the trial before).
void shapeTeamTrial(const TeamTrialShape& shape, WatchTeam& team) {
  team.weeks = shape.weeks;
  for (WatchMember& m : team.members) {
    if (m.member < 1 || m.member > kRoleCount) continue;
    const int16_t stage = shape.memberStages[static_cast<size_t>(m.member - 1)];
    if (isRole(stage)) m.line.role = roleName(stage);
  }
}

// A number of the plan's row, 0 when it cannot be read (the check tells).
int16_t planNumber(const Row& row, const char* column) {
  try {
    const Cell cell = row.cell(column);
    return cell.isNull() ? int16_t{0} : cell.toInt16();
  } catch (const QuarnError&) {
    return 0;
  }
}

// The row's weeks and the stage each member it names plays.
TeamTrialShape shapeOf(const Row& row, const char* weeksColumn, int16_t& size) {
  TeamTrialShape shape;
  shape.weeks = planNumber(row, weeksColumn);
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const Cell cell = row.cell(roleColumn(r));
    const std::string* text = std::get_if<std::string>(&cell.value());
    const int16_t member = text ? teamMemberOf(*text) : int16_t{0};
    if (member == 0) continue;
    shape.memberStages[static_cast<size_t>(member - 1)] = r;
    size = std::max(size, member);
  }
  return shape;
}

TeamSettingPlan readTeamPlan(PlanTables& tables, const std::string& setting) {
  TeamSettingPlan plan;
  for (const Row& row : tables.blockRows(setting)) {
    const TeamTrialShape shape = shapeOf(row, "numweeks", plan.size);
    for (int16_t run = 0; run < planNumber(row, "Runs"); ++run) plan.trials.push_back(shape);
  }
  const Rows training = tables.trainingRows(setting);
  if (!training.empty()) {
    int16_t trainingSize = 0;
    plan.training = shapeOf(training.front(), "Weeks", trainingSize);
    plan.trainsTogether = trainingSize > 0;
    plan.size = std::max(plan.size, trainingSize);
  }
  return plan;
}

}  // namespace

bool WatchTeam::forming() const {
  return teamWeekPhase({size, here, trial != 0, false}) == TeamWeekPhase::Forming;
}

std::vector<std::string> WatchTeam::hereSubjects() const {
  std::vector<std::string> subjects;
  for (const WatchMember& m : members) {
    if (m.here) subjects.push_back(m.line.subject);
  }
  return subjects;
}

TeamPlans planTeams(PlanTables& tables) {
  auto known = std::make_shared<std::map<std::string, TeamSettingPlan>>();
  return [&tables, known](const std::string& setting) {
    if (const auto found = known->find(setting); found != known->end()) return found->second;
    return (*known)[setting] = readTeamPlan(tables, setting);
  };
}

TeamTrialRoles memberRolesOf(const TeamSettingPlan& plan) {
  TeamTrialRoles trials;
  if (plan.size == 0) return trials;
  for (const TeamTrialShape& shape : plan.trials) {
    std::vector<std::string>& roles = trials.emplace_back();
    for (int16_t m = 0; m < plan.size; ++m) {
      const int16_t stage = shape.memberStages[static_cast<size_t>(m)];
      roles.push_back(isRole(stage) ? roleName(stage) : "");
    }
  }
  return trials;
}

LabWatch watchLab(ActivityMonitor& monitor, int64_t now, const WatchScope& scope,
                  const TeamPlans& plans) {
  std::map<LineKey, WatchLine> lines = activeLines(monitor, now, scope);
  LabWatch lab;
  for (const TeamActivity& activity : monitor.teams()) {
    if (!scope.setting.empty() && activity.key.setting != scope.setting) continue;
    WatchTeam team;
    team.team = activity.key.team;
    team.setting = activity.key.setting;
    takeMembers(activity, lines, team);
    const TeamSettingPlan plan = plans ? plans(team.setting) : TeamSettingPlan{};
    team.size = static_cast<int16_t>(std::max(0, plan.size - openMemberCount(activity)));
    if (team.size == 0) team.size = static_cast<int16_t>(team.members.size());
    if (const TeamTrialShape* shape = trialShape(plan, activity)) shapeTeamTrial(*shape, team);
    placeOpenWeek(activity, now, team);
    team.finished =
        team.trialOver && !team.training && static_cast<size_t>(team.trial) == plan.trials.size();
    const bool anyoneHere = std::any_of(team.members.begin(), team.members.end(),
                                        [](const WatchMember& m) { return m.active; });
    const bool orderedLately = team.waitingSeconds && *team.waitingSeconds <= kActiveWithinSeconds;
    if (anyoneHere || orderedLately) lab.teams.push_back(std::move(team));
  }
  for (auto& [key, line] : lines) lab.participants.push_back(std::move(line));
  return lab;
}

}  // namespace quarn
