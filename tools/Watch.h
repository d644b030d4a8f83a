#pragma once

// The moderator's live view: one line per participant active in the last
// hour, from the database's latest weeks and workstation marks.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "db/ActivityMonitor.h"

namespace quarn::admin {

inline constexpr int64_t kActiveWithinSeconds = 3600;
inline constexpr int64_t kDefaultSilenceLimitSeconds = 120;

// watch DATABASE [SETTING] [--once] [--limit SECONDS]
struct WatchOptions {
  std::string database;
  std::string setting;  // empty: every setting
  bool once = false;
  int64_t limitSeconds = kDefaultSilenceLimitSeconds;
};

// Raises a UsageError for arguments it cannot take.
WatchOptions parseWatchArguments(const std::vector<std::string>& args);

struct WatchLine {
  std::string subject;
  std::string setting;
  std::string trial;  // "3", "training -2", "-" before the first week
  std::string week;
  int64_t secondsSince = 0;  // since the latest week (or the login, before one)
  std::string cost;
  std::string workstation;  // "-" when no mark names one
  bool silent = false;      // a marked workstation quiet for longer than the limit
};

// The lines at `now` (seconds since 1970), by User ID and setting.
std::vector<WatchLine> watchLines(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options);

// The lines as a table under its header row.
std::string formatWatch(const std::vector<WatchLine>& lines, const WatchOptions& options);

// Shows the lines every second until the process is ended, or once. On a
// terminal each view replaces the one before (the screen is cleared); into a
// file or a pipe the views follow each other, each under a line with its
// time. A failure to read ends a single view; while watching, it is shown in
// place of the lines and the next second tries again.
int runWatch(const WatchOptions& options, ActivityMonitor& monitor, const std::string& location,
             WallClock& clock, std::ostream& out, bool terminal);

}  // namespace quarn::admin
