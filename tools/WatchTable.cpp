// The live view as a text table: one row per participant, then the teams
// with their members.

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

#include "base/Text.h"
#include "game/TeamWeek.h"
#include "tools/Watch.h"

namespace quarn::admin {

namespace {

// "14:07:09", the local time of day of `seconds` since 1970.
std::string clockTimeText(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&time, &local);
  char timeOfDay[16];
  std::strftime(timeOfDay, sizeof timeOfDay, "%H:%M:%S", &local);
  return timeOfDay;
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

std::string trialText(const WatchLine& line) {
  if (line.trial == 0) return "-";
  return (line.trial < 0 ? "training " : "") + std::to_string(line.trial);
}

std::string weekText(const WatchLine& line) {
  if (line.week == 0) return "-";
  return std::to_string(line.week) + (line.weeks > 0 ? " of " + std::to_string(line.weeks) : "");
}

std::string teamTrialText(const WatchTeam& team) {
  if (team.trial == 0) return "-";
  return (team.training ? "training " : "") + std::to_string(team.trial);
}

}  // namespace

std::string teamStateText(const WatchTeam& team) {
  if (team.forming()) return waitingForTeamText(nullptr, team.hereSubjects(), team.size);
  if (team.finished) return "finished: every trial is played";
  if (team.trialOver) return "the trial's last week is played";
  if (team.trainingAlone) return "each member trains alone";
  if (team.waitingFor.empty()) return "every member has ordered";
  std::string text = "waiting for " + joinText(team.waitingFor, ", ");
  if (team.waitingSince) {
    text += " since " + clockTimeText(*team.waitingSince) + " (" +
            durationText(*team.waitingSeconds) + ")";
  }
  if (!team.ordered.empty()) text += "; ordered: " + joinText(team.ordered, ", ");
  return text;
}

std::string stateText(const WatchLine& line) {
  if (line.stateUnknown) return "unknown state '" + line.state + "'";
  if (line.state == "closed") return "closed " + durationText(line.stateSeconds) + " ago";
  if (line.state == "playing") return "playing";
  const std::optional<PlayState> state = playStateOf(line.state);
  if (!state) return "unknown state '" + line.state + "'";
  const PlayStateNames names = playStateNames(*state);
  return names.doing + (names.timed ? " for " + durationText(line.stateSeconds) : "");
}

namespace {

std::string memberStateText(const WatchMember& member, const WatchTeam& team) {
  if (!member.replacedBy.empty()) {
    const bool thisTrial = !team.training && member.replacedTrial == team.trial;
    return "replaced by " + member.replacedBy + " from " +
           (thisTrial ? "" : "trial " + std::to_string(member.replacedTrial) + ", ") + "week " +
           std::to_string(member.replacedWeek);
  }
  return member.active ? stateText(member.line) : "no workstation";
}

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

}  // namespace quarn::admin
