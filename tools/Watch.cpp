#include "tools/Watch.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
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

std::string trialText(const LatestWeek& week) {
  return (week.training ? "training " : "") + std::to_string(week.trial);
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
    "usage: quarngame-admin watch DATABASE [SETTING] [--once] [--limit SECONDS]";

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
  return formatWatch(watchLines(monitor, now, options), options);
}

}  // namespace

WatchOptions parseWatchArguments(const std::vector<std::string>& args) {
  WatchOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--once") {
      options.once = true;
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
  std::map<std::pair<std::string, std::string>, PlayingMark> marks;
  for (PlayingMark& mark : monitor.playingMarks()) {
    if (wanted(mark.setting)) marks[{mark.subject, mark.setting}] = std::move(mark);
  }

  std::map<std::pair<std::string, std::string>, WatchLine> lines;
  for (const LatestWeek& week : monitor.latestWeeks(sinceDate, sinceTime)) {
    if (!wanted(week.setting)) continue;
    WatchLine& line = lines[{week.subject, week.setting}];
    line = {week.subject,
            week.setting,
            trialText(week),
            std::to_string(week.week),
            0,
            week.totalCost ? std::to_string(*week.totalCost) : "-",
            "-",
            false};
    line.secondsSince = now - secondsOf(week.date, week.timeOfDay).value_or(now);
  }
  // A participant who logged in lately and has no week recorded yet.
  for (const auto& [key, mark] : marks) {
    if (lines.count(key) || now - mark.lastWeek > kActiveWithinSeconds) continue;
    lines[key] = {mark.subject, mark.setting, "-", "-", now - mark.lastWeek, "-", "-", false};
  }
  std::vector<WatchLine> sorted;
  for (auto& [key, line] : lines) {
    if (const auto mark = marks.find(key); mark != marks.end()) {
      line.workstation = describeWorkstation(mark->second.at);
      line.silent = line.secondsSince > options.limitSeconds;
    }
    sorted.push_back(std::move(line));
  }
  return sorted;
}

std::string formatWatch(const std::vector<WatchLine>& lines, const WatchOptions& options) {
  using Cells = std::array<std::string, 8>;
  std::vector<Cells> table = {
      {"User ID", "Setting", "Trial", "Week", "Last week", "Cost", "Workstation", ""}};
  for (const WatchLine& line : lines) {
    table.push_back({line.subject, line.setting, line.trial, line.week,
                     durationText(line.secondsSince) + " ago", line.cost, line.workstation,
                     line.silent ? "SILENT" : ""});
  }
  const size_t columns = table.front().size();
  std::array<size_t, 8> widths{};
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
          " active in the last hour; SILENT: a workstation with no week recorded for more "
          "than " +
          std::to_string(options.limitSeconds) + " s\n";
  return text;
}

int runWatch(const WatchOptions& options, ActivityMonitor& monitor, const std::string& location,
             WallClock& clock, std::ostream& out, bool terminal) {
  if (options.once) {
    const int64_t now = clock.seconds();
    out << localTimeText(now) << "  " << location << "\n" << view(options, monitor, now);
    return 0;
  }
  for (;;) {
    const int64_t now = clock.seconds();
    std::string shown;
    try {
      shown = view(options, monitor, now);
    } catch (const QuarnError& failure) {
      shown = "cannot read the database: " + failure.description() + "\n";
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
