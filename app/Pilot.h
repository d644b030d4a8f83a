#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "base/Prompter.h"
#include "game/GameSession.h"

namespace quarn {

// A pilot plays a whole setting through the game's own moves, with a
// moderator who answers every question by its kind and a participant who
// makes the orders; no window is shown. A researcher runs it to try a plan
// before inviting participants.

// The order the participant makes in the week the game is in (0..9999).
using OrderSource = std::function<int(const GameSession&)>;

// Orders the participant's stage what it was asked for this week (its
// Demand), within what the order box can hold.
int demandOrder(const GameSession& session);

// Orders from a list, one per week played, training weeks included; the last
// one is repeated once the list runs out.
OrderSource ordersFromList(std::vector<int16_t> orders);

// Reads an orders file: one whole number 0..9999 a line; blank lines are
// skipped. Anything else is refused with a QuarnError naming the line.
std::vector<int16_t> readOrdersFile(const std::string& path);

struct PilotOptions {
  std::string dataDir;  // the application's data folder; its parent is the application folder
  std::string setting;
  std::string subject;
  OrderSource orders;  // empty: demandOrder
  // Makes the noise of simulated players and forecasts repeatable.
  std::optional<uint32_t> seed;
  // The least time from one order to the next, as a participant takes who
  // watches the shipments and thinks; 0 plays as fast as the game goes.
  std::chrono::milliseconds pace{0};
  // Whether the moderator takes over a participant who plays at another
  // workstation (else the login is refused).
  bool takeOver = false;
  // Types the training password at the first training week, as a moderator
  // does, so that only the experiment trials are played.
  bool skipTraining = false;
  // A team setting's team: the pilot plays one member of it. Pilots of one
  // team, each a process, play the team's trials together.
  std::string team{};
  // Where the moments of each team week go: when this member's order was
  // stored and when its next week opened (see bench_teams).
  std::string teamTimes{};
  // A team member's moderator who leaves the pauses to another member's:
  // the pilot waits until the team has passed each pause.
  bool waitAtPauses = false;
  // A participant who stops after this many orders (training weeks
  // included): the pilot stays at the next open week, marked as playing and
  // following its team, until it is ended (for a look at the live view).
  std::optional<int> stopAfter{};
};

struct PilotReport {
  int exitCode = 1;             // 0 once the game is over
  std::vector<Prompt> prompts;  // every question asked, in order
  // How long each week played took from the order to the week computed and
  // stored, in milliseconds, in order.
  std::vector<double> weekMilliseconds;
};

// Plays the setting from the login to the end of the game. Progress goes to
// `out`, failures to `err`.
PilotReport runPilot(const PilotOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quarn
