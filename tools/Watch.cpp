#include "tools/Watch.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>
#include <utility>

#include "base/Errors.h"
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
  line.state = activity.state ? playStateWord(*activity.state) : "playing";
  line.stateSeconds = activity.state ? now - activity.stateSince : now - mark.since;
  line.workstation = describeWorkstation(mark.at);
  line.quietSeconds = now - mark.lastWeek;
  line.gone = line.quietSeconds > limitSeconds;
  return line;
}

// A mark written by an application that does not say what the participant
// does takes the trial, week and cost from the latest recorded week.
void fillFromWeek(WatchLine& line, const WatchLine& recorded) {
  if (line.state != "playing") return;
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

std::string view(const WatchOptions& options, ActivityMonitor& monitor, int64_t now) {
  const std::vector<WatchLine> lines = watchLines(monitor, now, options);
  if (options.json) return formatWatchJson(lines, localTimeText(now));
  return formatWatch(lines, options);
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

std::vector<WatchLine> watchLines(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options) {
  const auto [sinceDate, sinceTime] = localDateAndTime(now - kActiveWithinSeconds);
  const auto wanted = [&](const std::string& setting) {
    return options.setting.empty() || setting == options.setting;
  };
  std::map<std::pair<std::string, std::string>, WatchLine> recorded;
  for (const LatestWeek& week : monitor.latestWeeks(sinceDate, sinceTime)) {
    if (wanted(week.setting)) recorded[{week.subject, week.setting}] = fromWeek(week, now);
  }
  std::map<std::pair<std::string, std::string>, WatchLine> lines = recorded;
  for (const PlayingMark& mark : monitor.playingMarks()) {
    if (!wanted(mark.setting) || now - mark.lastWeek > kActiveWithinSeconds) continue;
    const std::pair<std::string, std::string> key{mark.subject, mark.setting};
    WatchLine line = fromMark(mark, now, options.limitSeconds);
    if (const auto week = recorded.find(key); week != recorded.end()) {
      fillFromWeek(line, week->second);
    }
    lines[key] = std::move(line);
  }
  std::vector<WatchLine> sorted;
  for (auto& [key, line] : lines) sorted.push_back(std::move(line));
  return sorted;
}

std::string stateText(const WatchLine& line) {
  const std::string lasting = " for " + durationText(line.stateSeconds);
  if (line.state == "login") return "logged in";
  if (line.state == "order") return "choosing an order" + lasting;
  if (line.state == "shipment") return "watching the shipment";
  if (line.state == "trial-end") return "at the trial's end";
  if (line.state == "restart") return "restarting the training trial";
  if (line.state == "pause") return "in a pause" + lasting;
  if (line.state == "finished") return "finished";
  if (line.state == "closed") return "closed " + durationText(line.stateSeconds) + " ago";
  return "playing";
}

std::string formatWatch(const std::vector<WatchLine>& lines, const WatchOptions& options) {
  using Cells = std::array<std::string, 9>;
  std::vector<Cells> table = {
      {"User ID", "Setting", "Trial", "Week", "Role", "State", "Cost", "Workstation", ""}};
  for (const WatchLine& line : lines) {
    table.push_back({line.subject, line.setting, trialText(line), weekText(line),
                     line.role.empty() ? "-" : line.role, stateText(line),
                     line.cost ? std::to_string(*line.cost) : "-",
                     line.workstation.empty() ? "-" : line.workstation,
                     line.gone ? "GONE " + durationText(line.quietSeconds) : ""});
  }
  const size_t columns = table.front().size();
  std::array<size_t, 9> widths{};
  for (const Cells& row : table) {
    for (size_t c = 0; c < columns; ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));
  }
  std::string text;
  for (const Cells& row : table) {
    std::string line;
    for (size_t c = 0; c < columns; ++c) line += padded(row[c], widths[c] + 2);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  text += std::to_string(lines.size()) + (lines.size() == 1 ? " participant" : " participants") +
          " playing or active in the last hour; GONE: a workstation silent for more than " +
          std::to_string(options.limitSeconds) + " s (a running one speaks every " +
          std::to_string(kMarkRefreshSeconds) + " s)\n";
  return text;
}

std::string formatWatchJson(const std::vector<WatchLine>& lines, const std::string& time) {
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
        {"stateSeconds", line.stateSeconds},
        {"cost", line.cost ? nlohmann::ordered_json(*line.cost) : nlohmann::ordered_json(nullptr)},
        {"workstation", orNull(line.workstation, !line.workstation.empty())},
        {"quietSeconds", line.quietSeconds},
        {"gone", line.gone},
    };
    // Text that is not UTF-8 is written with replacement characters rather
    // than refused.
    text += object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  }
  return text;
}

int runWatch(const WatchOptions& options, ActivityMonitor& monitor, const std::string& location,
             WallClock& clock, std::ostream& out, bool terminal) {
  if (options.once) {
    const int64_t now = clock.seconds();
    if (!options.json) out << localTimeText(now) << "  " << location << "\n";
    out << view(options, monitor, now);
    return 0;
  }
  for (;;) {
    const int64_t now = clock.seconds();
    std::string shown;
    try {
      shown = view(options, monitor, now);
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
