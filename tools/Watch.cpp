#include "tools/Watch.h"

#include <charconv>
#include <chrono>
#include <ostream>
#include <thread>

#include "base/Errors.h"
#include "tools/Commands.h"

namespace quarn::admin {

namespace {

constexpr const char* kUsage =
    "usage: quarngame-admin watch DATABASE [SETTING] [--once] [--json] [--limit SECONDS]";

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

std::vector<WatchLine> watchLines(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options) {
  return watchLab(monitor, now, options.scope(), {}).participants;
}

std::vector<WatchTeam> watchTeams(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options, const TeamPlans& plans) {
  return watchLab(monitor, now, options.scope(), plans).teams;
}

namespace {

std::string view(const WatchOptions& options, ActivityMonitor& monitor, int64_t now,
                 const TeamPlans& plans) {
  const LabWatch lab = watchLab(monitor, now, options.scope(), plans);
  if (options.json) return formatWatchJson(lab.participants, localTimeText(now), lab.teams);
  return formatWatch(lab.participants, options, lab.teams);
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
      shown = options.json ? formatWatchError(localTimeText(now), failure.description())
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
