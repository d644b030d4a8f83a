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
// A running application refreshes its mark every kMarkRefreshSeconds; after
// four missed refreshes its workstation counts as gone.
inline constexpr int64_t kDefaultGoneLimitSeconds = 4 * kMarkRefreshSeconds;

// watch DATABASE [SETTING] [--once] [--json] [--limit SECONDS]
struct WatchOptions {
  std::string database;
  std::string setting;  // empty: every setting
  bool once = false;
  bool json = false;  // JSON lines instead of the table
  int64_t limitSeconds = kDefaultGoneLimitSeconds;
};

// Raises a UsageError for arguments it cannot take.
WatchOptions parseWatchArguments(const std::vector<std::string>& args);

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
  // "playing" for a mark that does not say.
  std::string state;
  int64_t stateSeconds = 0;  // how long the state has lasted
  std::optional<int64_t> cost;
  std::string workstation;   // empty without a mark
  int64_t quietSeconds = 0;  // since the mark's last refresh (or the latest week, without one)
  bool gone = false;  // a marked workstation that stopped refreshing for longer than the limit
};

// The lines at `now` (seconds since 1970), by User ID and setting.
std::vector<WatchLine> watchLines(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options);

// What the participant does, in words: "choosing an order for 0:42".
std::string stateText(const WatchLine& line);

// The lines as a table under its header row.
std::string formatWatch(const std::vector<WatchLine>& lines, const WatchOptions& options);

// The lines as JSON, one object a line, each with the view's time.
std::string formatWatchJson(const std::vector<WatchLine>& lines, const std::string& time);

// Shows the lines every second until the process is ended, or once. On a
// terminal each view replaces the one before (the screen is cleared); into a
// file or a pipe the views follow each other, each under a line with its
// time. As JSON the lines of every view follow each other, without headers. A failure to read ends
// a single view; while watching, it is shown in place of the lines and the next second tries again.
int runWatch(const WatchOptions& options, ActivityMonitor& monitor, const std::string& location,
             WallClock& clock, std::ostream& out, bool terminal);

}  // namespace quarn::admin
