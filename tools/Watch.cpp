#include "tools/Watch.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>
#include <utility>

#include "base/Errors.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "plan/PlanReaders.h"
#include "tools/Commands.h"

namespace quarn::admin {

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

// "0:07", "12:30", "1:02:03".
std::string durationText(int64_t seconds) {
  seconds = std::max<int64_t>(seconds, 0);
  char text[32];
  if (seconds < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  }
  return text;
}

// The characters of UTF-8 text: every byte that does not continue one.
size_t displayWidth(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string padded(const std::string& text, size_t width) {
  const size_t shown = displayWidth(text);
  return text + std::string(width > shown ? width - shown : 0, ' ');
}

constexpr const char* kUsage =
    "usage: quarngame-admin watch DATABASE [SETTING] [--once] [--json] [--limit SECONDS]";

std::string trialText(const WatchLine& line) {
  if (line.trial == 0) return "-";
  return (line.trial < 0 ? "training " : "") + std::to_string(line.trial);
}

std::string weekText(const WatchLine& line) {
  if (line.week == 0) return "-";
  return std::to_string(line.week) + (line.weeks > 0 ? " of " + std::to_string(line.weeks) : "");
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

int64_t limitOf(const std::string& text) {
  int64_t seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || seconds < 1 ||
      seconds > kActiveWithinSeconds) {
    throw UsageError("watch: the limit must be a whole number of seconds from 1 to 3600, not " +
                     text);
  }
  return seconds;
}

}  // namespace

WatchOptions parseWatchArguments(const std::vector<std::string>& args) {
  WatchOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--once") {
      options.once = true;
    } else if (args[i] == "--json") {
      options.json = true;
    } else if (args[i] == "--limit" && i + 1 < args.size()) {
      options.limitSeconds = limitOf(args[++i]);
    } else if (args[i].starts_with("--")) {
      throw UsageError(kUsage);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.empty() || positional.size() > 2) throw UsageError(kUsage);
  options.database = positional[0];
  if (positional.size() == 2) options.setting = positional[1];
  return options;
}

namespace {

using LineKey = std::pair<std::string, std::string>;  // User ID and setting

// Every participant with a mark, or a week recorded in the last hour.
std::map<LineKey, WatchLine> activeLines(ActivityMonitor& monitor, int64_t now,
                                         const WatchOptions& options) {
  const auto [sinceDate, sinceTime] = localDateAndTime(now - kActiveWithinSeconds);
  const auto wanted = [&](const std::string& setting) {
    return options.setting.empty() || setting == options.setting;
  };
  std::map<LineKey, WatchLine> recorded;
  for (const LatestWeek& week : monitor.latestWeeks(sinceDate, sinceTime)) {
    if (wanted(week.setting)) recorded[{week.subject, week.setting}] = fromWeek(week, now);
  }
  std::map<LineKey, WatchLine> lines = recorded;
  for (const PlayingMark& mark : monitor.playingMarks()) {
    if (!wanted(mark.setting) || now - mark.lastWeek > kActiveWithinSeconds) continue;
    const LineKey key{mark.subject, mark.setting};
    WatchLine line = fromMark(mark, now, options.limitSeconds);
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

// Whether the simulated player orders for `member` in the team's week.
bool replacedIn(const WatchMember& member, const WatchTeam& team, int16_t week) {
  return !member.replacedBy.empty() && !team.training && member.replacedTrial == team.trial &&
         member.replacedWeek <= week;
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
  const auto hasOrdered = [&](const WatchMember& m) {
    return std::find(orderedMembers.begin(), orderedMembers.end(), m.member) !=
           orderedMembers.end();
  };
  const bool weekPlayed =
      activity.trial != 0 &&
      (activity.week == 0 ||
       std::all_of(team.members.begin(), team.members.end(), [&](const WatchMember& m) {
         return hasOrdered(m) || replacedIn(m, team, activity.week);
       }));
  team.trialOver = weekPlayed && team.weeks > 0 && activity.week >= team.weeks;
  team.week =
      weekPlayed && !team.trialOver ? static_cast<int16_t>(activity.week + 1) : activity.week;
  std::optional<int64_t> since = weekPlayed ? last : first;
  // A week that the moderator's replacement completed was played when the
  // member was replaced, not at the last order typed.
  const bool completedByReplacement =
      weekPlayed && activity.week > 0 &&
      std::any_of(team.members.begin(), team.members.end(), [&](const WatchMember& m) {
        return !hasOrdered(m) && replacedIn(m, team, activity.week);
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
  if (team.trialOver || team.forming()) return;
  // Before the team's first order its members may train alone, each at its
  // own week.
  team.trainingAlone =
      activity.trial == 0 && std::any_of(team.members.begin(), team.members.end(),
                                         [](const WatchMember& m) { return m.line.trial < 0; });
  if (team.trainingAlone) return;
  for (const WatchMember& m : team.members) {
    if (activity.trial != 0 && replacedIn(m, team, team.week)) continue;
    if (!weekPlayed && hasOrdered(m)) {
      team.ordered.push_back(m.line.subject);
    } else {
      team.waitingFor.push_back(m.line.subject);
    }
  }
}

struct View {
  std::vector<WatchLine> participants;
  std::vector<WatchTeam> teams;
};

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

View readView(ActivityMonitor& monitor, int64_t now, const WatchOptions& options,
              const TeamPlans& plans) {
  std::map<LineKey, WatchLine> lines = activeLines(monitor, now, options);
  View view;
  for (const TeamActivity& activity : monitor.teams()) {
    if (!options.setting.empty() && activity.key.setting != options.setting) continue;
    WatchTeam team;
    team.team = activity.key.team;
    team.setting = activity.key.setting;
    takeMembers(activity, lines, team);
    const TeamSettingPlan plan = plans ? plans(team.setting) : TeamSettingPlan{};
    team.size = plan.size;
    if (team.size == 0) team.size = static_cast<int16_t>(team.members.size());
    if (const TeamTrialShape* shape = trialShape(plan, activity)) shapeTeamTrial(*shape, team);
    placeOpenWeek(activity, now, team);
    team.finished =
        team.trialOver && !team.training && static_cast<size_t>(team.trial) == plan.trials.size();
    const bool anyoneHere = std::any_of(team.members.begin(), team.members.end(),
                                        [](const WatchMember& m) { return m.active; });
    const bool orderedLately = team.waitingSeconds && *team.waitingSeconds <= kActiveWithinSeconds;
    if (anyoneHere || orderedLately) view.teams.push_back(std::move(team));
  }
  for (auto& [key, line] : lines) view.participants.push_back(std::move(line));
  return view;
}

std::string teamTrialText(const WatchTeam& team) {
  if (team.trial == 0) return "-";
  return (team.training ? "training " : "") + std::to_string(team.trial);
}

std::string memberStateText(const WatchMember& member, const WatchTeam& team) {
  if (!member.replacedBy.empty()) {
    const bool thisTrial = !team.training && member.replacedTrial == team.trial;
    return "replaced by " + member.replacedBy + " from " +
           (thisTrial ? "" : "trial " + std::to_string(member.replacedTrial) + ", ") + "week " +
           std::to_string(member.replacedWeek);
  }
  return member.active ? stateText(member.line) : "no workstation";
}

}  // namespace

namespace {

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

TeamPlans planTeams(PlanTables& tables) {
  auto known = std::make_shared<std::map<std::string, TeamSettingPlan>>();
  return [&tables, known](const std::string& setting) {
    if (const auto found = known->find(setting); found != known->end()) return found->second;
    return (*known)[setting] = readTeamPlan(tables, setting);
  };
}

std::vector<WatchLine> watchLines(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options) {
  return readView(monitor, now, options, {}).participants;
}

std::vector<WatchTeam> watchTeams(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options, const TeamPlans& plans) {
  return readView(monitor, now, options, plans).teams;
}

std::string teamStateText(const WatchTeam& team) {
  if (team.forming()) {
    std::vector<std::string> here;
    for (const WatchMember& m : team.members) {
      if (m.here) here.push_back(m.line.subject);
    }
    return "Waiting for your team: " + std::to_string(team.here) + " of " +
           std::to_string(team.size) + " here" +
           (here.empty() ? "" : " (" + joinText(here, ", ") + ")");
  }
  if (team.finished) return "finished: every trial is played";
  if (team.trialOver) return "the trial's last week is played";
  if (team.trainingAlone) return "each member trains alone";
  if (team.waitingFor.empty()) return "every member has ordered";
  std::string text = "waiting for " + joinText(team.waitingFor, ", ");
  if (team.waitingSince) {
    text += " since " + localDateAndTime(*team.waitingSince).second + " (" +
            durationText(*team.waitingSeconds) + ")";
  }
  if (!team.ordered.empty()) text += "; ordered: " + joinText(team.ordered, ", ");
  return text;
}

namespace {

// No default: a state without a description does not compile.
std::string describeState(PlayState state, const std::string& lasting) {
  switch (state) {
    case PlayState::LoggedIn:
      return "logged in";
    case PlayState::Choosing:
      return "choosing an order" + lasting;
    case PlayState::Watching:
      return "watching the shipment";
    case PlayState::TrialOver:
      return "at the trial's end";
    case PlayState::Restarting:
      return "restarting the training trial";
    case PlayState::Paused:
      return "in a pause" + lasting;
    case PlayState::Finished:
      return "finished";
    case PlayState::WaitingForTeam:
      return "waiting for the team" + lasting;
    case PlayState::TrainingOver:
      return "told that training is complete";
  }
  return {};
}

}  // namespace

std::string stateText(const WatchLine& line) {
  if (line.stateUnknown) return "unknown state '" + line.state + "'";
  if (line.state == "closed") return "closed " + durationText(line.stateSeconds) + " ago";
  if (line.state == "playing") return "playing";
  const std::optional<PlayState> state = playStateOf(line.state);
  if (!state) return "unknown state '" + line.state + "'";
  return describeState(*state, " for " + durationText(line.stateSeconds));
}

namespace {

// Rows of cells as text columns, each two spaces wider than its widest cell.
template <size_t N>
std::string columnsText(const std::vector<std::array<std::string, N>>& table) {
  std::array<size_t, N> widths{};
  for (const auto& row : table) {
    for (size_t c = 0; c < N; ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));
  }
  std::string text;
  for (const auto& row : table) {
    std::string line;
    for (size_t c = 0; c < N; ++c) line += padded(row[c], widths[c] + 2);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

std::string goneText(const WatchLine& line) {
  return line.gone ? "GONE " + durationText(line.quietSeconds) : "";
}

std::string teamsText(const std::vector<WatchTeam>& teams) {
  using Cells = std::array<std::string, 9>;
  std::vector<Cells> table = {
      {"Team", "Setting", "Trial", "Week", "Member", "Role", "State", "Workstation", ""}};
  for (const WatchTeam& team : teams) {
    const std::string week = team.week == 0
                                 ? "-"
                                 : std::to_string(team.week) +
                                       (team.weeks > 0 ? " of " + std::to_string(team.weeks) : "");
    table.push_back(
        {team.team, team.setting, teamTrialText(team), week, "", "", teamStateText(team), "", ""});
    for (const WatchMember& m : team.members) {
      // A member who plays alone (trains alone) is at a trial and week of
      // its own.
      const bool alone = team.trial == 0 && m.active && m.line.trial < 0;
      table.push_back({"", "", alone ? trialText(m.line) : "", alone ? weekText(m.line) : "",
                       std::to_string(m.member) + " " + m.line.subject,
                       m.line.role.empty() ? "-" : m.line.role, memberStateText(m, team),
                       m.line.workstation.empty() ? "-" : m.line.workstation, goneText(m.line)});
    }
  }
  return columnsText(table) + std::to_string(teams.size()) +
         (teams.size() == 1 ? " team" : " teams") +
         " of team settings seen in the last hour; a team's week is played once every member "
         "has ordered\n";
}

}  // namespace

std::string formatWatch(const std::vector<WatchLine>& lines, const WatchOptions& options,
                        const std::vector<WatchTeam>& teams) {
  using Cells = std::array<std::string, 9>;
  std::vector<Cells> table = {
      {"User ID", "Setting", "Trial", "Week", "Role", "State", "Cost", "Workstation", ""}};
  for (const WatchLine& line : lines) {
    table.push_back({line.subject, line.setting, trialText(line), weekText(line),
                     line.role.empty() ? "-" : line.role, stateText(line),
                     line.cost ? std::to_string(*line.cost) : "-",
                     line.workstation.empty() ? "-" : line.workstation, goneText(line)});
  }
  std::string text = columnsText(table);
  text += std::to_string(lines.size()) + (lines.size() == 1 ? " participant" : " participants") +
          " playing or active in the last hour; GONE: a workstation silent for more than " +
          std::to_string(options.limitSeconds) + " s (a running one speaks every " +
          std::to_string(kMarkRefreshSeconds) + " s)\n";
  if (!teams.empty()) text += "\n" + teamsText(teams);
  return text;
}

namespace {

// A text as JSON, null when empty.
nlohmann::ordered_json textOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json teamJson(const WatchTeam& team, const std::string& time) {
  nlohmann::ordered_json members = nlohmann::ordered_json::array();
  for (const WatchMember& m : team.members) {
    nlohmann::ordered_json member = nlohmann::ordered_json::object();
    member["member"] = m.member;
    member["subject"] = m.line.subject;
    // Where the member's own mark says it is (a member training alone).
    member["trial"] = m.active && m.line.trial != 0 ? nlohmann::ordered_json(m.line.trial)
                                                    : nlohmann::ordered_json(nullptr);
    member["training"] = m.line.trial < 0;
    member["week"] = m.active && m.line.week != 0 ? nlohmann::ordered_json(m.line.week)
                                                  : nlohmann::ordered_json(nullptr);
    member["role"] = textOrNull(m.line.role);
    member["state"] = textOrNull(m.active ? m.line.state : "");
    member["workstation"] = textOrNull(m.line.workstation);
    member["gone"] = m.line.gone;
    member["replacedBy"] = textOrNull(m.replacedBy);
    members.push_back(std::move(member));
  }
  const auto orNull = [](int64_t value) {
    return value != 0 ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
  };
  return {
      {"time", time},
      {"team", team.team},
      {"setting", team.setting},
      {"size", team.size},
      {"here", team.here},
      {"trial", orNull(team.trial)},
      {"training", team.training},
      {"week", orNull(team.week)},
      {"weeks", orNull(team.weeks)},
      {"ordered", team.ordered},
      {"waitingFor", team.waitingFor},
      {"waitingSeconds",
       team.waitingSeconds ? nlohmann::ordered_json(*team.waitingSeconds) : nullptr},
      {"state", teamStateText(team)},
      {"members", members},
  };
}

std::string jsonLine(const nlohmann::ordered_json& object) {
  // Text that is not UTF-8 is written with replacement characters rather
  // than refused.
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string formatWatchJson(const std::vector<WatchLine>& lines, const std::string& time,
                            const std::vector<WatchTeam>& teams) {
  std::string text;
  for (const WatchLine& line : lines) {
    const auto orNull = [](auto value, bool known) {
      return known ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
    };
    const nlohmann::ordered_json object = {
        {"time", time},
        {"subject", line.subject},
        {"setting", line.setting},
        {"trial", orNull(line.trial, line.trial != 0)},
        {"training", line.trial < 0},
        {"week", orNull(line.week, line.week != 0)},
        {"weeks", orNull(line.weeks, line.weeks != 0)},
        {"role", orNull(line.role, !line.role.empty())},
        {"state", line.state},
        {"stateKnown", !line.stateUnknown},
        {"stateSeconds", line.stateSeconds},
        {"cost", line.cost ? nlohmann::ordered_json(*line.cost) : nlohmann::ordered_json(nullptr)},
        {"workstation", orNull(line.workstation, !line.workstation.empty())},
        {"quietSeconds", line.quietSeconds},
        {"gone", line.gone},
    };
    text += jsonLine(object);
  }
  for (const WatchTeam& team : teams) text += jsonLine(teamJson(team, time));
  return text;
}

namespace {

std::string view(const WatchOptions& options, ActivityMonitor& monitor, int64_t now,
                 const TeamPlans& plans) {
  const View seen = readView(monitor, now, options, plans);
  if (options.json) return formatWatchJson(seen.participants, localTimeText(now), seen.teams);
  return formatWatch(seen.participants, options, seen.teams);
}

}  // namespace

int runWatch(const WatchOptions& options, ActivityMonitor& monitor, const std::string& location,
             WallClock& clock, std::ostream& out, bool terminal, const TeamPlans& plans) {
  if (options.once) {
    const int64_t now = clock.seconds();
    if (!options.json) out << localTimeText(now) << "  " << location << "\n";
    out << view(options, monitor, now, plans);
    return 0;
  }
  for (;;) {
    const int64_t now = clock.seconds();
    std::string shown;
    try {
      shown = view(options, monitor, now, plans);
    } catch (const QuarnError& failure) {
      shown = options.json ? nlohmann::ordered_json(
                                 {{"time", localTimeText(now)}, {"error", failure.description()}})
                                     .dump(-1, ' ', false,
                                           nlohmann::ordered_json::error_handler_t::replace) +
                                 "\n"
                           : "cannot read the database: " + failure.description() + "\n";
    }
    if (options.json) {
      out << shown << std::flush;
      std::this_thread::sleep_for(std::chrono::seconds(1));
      continue;
    }
    if (terminal) {
      out << "\x1b[H\x1b[2J"
          << "Quarn Game: " << location << "  " << localTimeText(now)
          << "  (every second; Ctrl-C ends)\n\n";
    } else {
      out << localTimeText(now) << "  " << location << "\n";
    }
    out << shown << (terminal ? "" : "\n") << std::flush;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

}  // namespace quarn::admin
