#pragma once

// The moderator's live view: one line per participant active in the last
// hour, from the database's latest weeks and workstation marks, and the
// teams of team settings. The lab's model (game/LabWatch.h) is rendered here
// as a text table, as JSON lines, or every second on the terminal.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "game/LabWatch.h"

namespace quarn::admin {

// The model's parts, as the commands name them.
using quarn::kActiveWithinSeconds;
using quarn::kDefaultGoneLimitSeconds;
using quarn::planTeams;
using quarn::TeamPlans;
using quarn::TeamSettingPlan;
using quarn::TeamTrialShape;
using quarn::WatchLine;
using quarn::WatchMember;
using quarn::WatchTeam;

// watch DATABASE [SETTING] [--once] [--json] [--limit SECONDS]
struct WatchOptions {
  std::string database;
  std::string setting;  // empty: every setting
  bool once = false;
  bool json = false;  // JSON lines instead of the table
  int64_t limitSeconds = kDefaultGoneLimitSeconds;

  WatchScope scope() const { return {setting, limitSeconds}; }
};

// Raises a UsageError for arguments it cannot take.
WatchOptions parseWatchArguments(const std::vector<std::string>& args);

// The lines at `now` (seconds since 1970), by User ID and setting; the
// members of a team are left to watchTeams.
std::vector<WatchLine> watchLines(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options);

// The teams seen in the last hour, by setting and team (watchLab).
std::vector<WatchTeam> watchTeams(ActivityMonitor& monitor, int64_t now,
                                  const WatchOptions& options, const TeamPlans& plans);

// "Waiting for your team: 2 of 4 here (P07, P12)", or where the complete
// team's week stands.
std::string teamStateText(const WatchTeam& team);

// What the participant does, in words: "choosing an order for 0:42".
std::string stateText(const WatchLine& line);

// The lines as a table under its header row; the teams, if any, in a table
// of their own below, each member under its team.
std::string formatWatch(const std::vector<WatchLine>& lines, const WatchOptions& options,
                        const std::vector<WatchTeam>& teams = {});

// The lines as JSON, one object a line, each with the view's time; then one
// object per team.
std::string formatWatchJson(const std::vector<WatchLine>& lines, const std::string& time,
                            const std::vector<WatchTeam>& teams = {});
// A failure to read the database as a JSON line with the view's time.
std::string formatWatchError(const std::string& time, const std::string& failure);

// Shows the lines every second until the process is ended, or once. On a
// terminal each view replaces the one before (the screen is cleared); into a
// file or a pipe the views follow each other, each under a line with its
// time. As JSON the lines of every view follow each other, without headers. A failure to read ends
// a single view; while watching, it is shown in place of the lines and the next second tries again.
// `plans` tells the team settings' plans (none: each team counts its
// members as complete, and its weeks as its members' marks say).
int runWatch(const WatchOptions& options, ActivityMonitor& monitor, const std::string& location,
             WallClock& clock, std::ostream& out, bool terminal, const TeamPlans& plans = {});

}  // namespace quarn::admin
