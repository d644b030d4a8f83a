#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "record/Game.h"
#include "ui/QtPrompter.h"

namespace quarn {

// A pilot plays a whole setting through the application's own windows, with
// a moderator who answers every message box and a participant who types the
// orders. A researcher runs it to try a plan before inviting participants.

// The order the participant types in the week the game is in (0..9999).
using OrderSource = std::function<int(const Game&)>;

// Orders the participant's stage what it was asked for this week (its
// Demand), within what the order box can hold.
int DemandOrder(const Game& game);

// Orders from a list, one per week played; the last one is repeated once the
// list runs out.
OrderSource OrdersFromList(std::vector<int16_t> orders);

// Reads an orders file: one whole number 0..9999 a line; blank lines are
// skipped. Anything else is refused with a QuarnError naming the line.
std::vector<int16_t> ReadOrdersFile(const std::string& path);

struct PilotOptions {
  std::string dataDir;  // the application's data folder; its parent is the application folder
  std::string setting;
  std::string subject;
  OrderSource orders;  // empty: DemandOrder
  // Makes the noise of simulated players and forecasts repeatable.
  std::optional<uint32_t> seed;
};

struct PilotReport {
  int exitCode = 1;                   // 0 once the game is over
  std::vector<MessageRequest> boxes;  // every message box, in order
};

// Plays the setting in the running QApplication, from the login to "Game
// Over". Progress goes to `out`, failures to `err`.
PilotReport RunPilot(const PilotOptions& options, std::ostream& out, std::ostream& err);

// The same as a process of its own: makes the (offscreen) application first.
int RunPilotApplication(const PilotOptions& options);

}  // namespace quarn
