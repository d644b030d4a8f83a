#include <charconv>
#include <chrono>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "app/Pilot.h"
#include "tools/Commands.h"

namespace quarn::admin {

namespace {

constexpr const char* kUsage =
    "usage: quarngame-admin pilot DATADIR SETTING SUBJECT [--orders FILE] [--seed N] "
    "[--week-times FILE] [--pace MS] [--skip-training] [--take-over yes|no] [--team NAME] "
    "[--team-times FILE] [--wait-at-pauses] [--stop-after ORDERS]";

uint32_t SeedOf(const std::string& text) {
  uint32_t seed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw UsageError("pilot: the seed must be a whole number from 0 to 4294967295, not " + text);
  }
  return seed;
}

// The least milliseconds from one order to the next: at most a minute.
std::chrono::milliseconds paceOf(const std::string& text) {
  int milliseconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
  if (error != std::errc() || end != text.data() + text.size() || milliseconds < 0 ||
      milliseconds > 60000) {
    throw UsageError(
        "pilot: the pace must be a whole number of milliseconds from 0 to 60000, not " + text);
  }
  return std::chrono::milliseconds(milliseconds);
}

// How many orders the participant makes before it stops.
int ordersOf(const std::string& text) {
  int orders = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), orders);
  if (error != std::errc() || end != text.data() + text.size() || orders < 0) {
    throw UsageError("pilot: --stop-after takes a whole number of orders, not " + text);
  }
  return orders;
}

// One line per week played: how long it took, in milliseconds.
void writeWeekTimes(const std::string& path, const std::vector<double>& milliseconds) {
  std::ofstream out(path);
  for (double ms : milliseconds) out << ms << "\n";
  if (!out) throw std::runtime_error("the file " + path + " cannot be written");
}

}  // namespace

int cmdPilot(const std::vector<std::string>& args) {
  if (args.size() < 3) throw UsageError(kUsage);
  PilotOptions options;
  options.dataDir = args[0];
  options.setting = args[1];
  options.subject = args[2];
  std::string weekTimes;
  for (size_t i = 3; i < args.size(); ++i) {
    if (args[i] == "--skip-training") {
      options.skipTraining = true;
      continue;
    }
    if (args[i] == "--wait-at-pauses") {
      options.waitAtPauses = true;
      continue;
    }
    if (i + 1 >= args.size()) throw UsageError(kUsage);
    const std::string& value = args[++i];
    if (args[i - 1] == "--orders") {
      options.orders = ordersFromList(readOrdersFile(value));
    } else if (args[i - 1] == "--seed") {
      options.seed = SeedOf(value);
    } else if (args[i - 1] == "--pace") {
      options.pace = paceOf(value);
    } else if (args[i - 1] == "--take-over" && (value == "yes" || value == "no")) {
      options.takeOver = value == "yes";
    } else if (args[i - 1] == "--team") {
      options.team = value;
    } else if (args[i - 1] == "--team-times") {
      options.teamTimes = value;
    } else if (args[i - 1] == "--stop-after") {
      options.stopAfter = ordersOf(value);
    } else if (args[i - 1] == "--week-times") {
      weekTimes = value;
    } else {
      throw UsageError(kUsage);
    }
  }
  const PilotReport report = runPilot(options, std::cout, std::cerr);
  if (!weekTimes.empty()) writeWeekTimes(weekTimes, report.weekMilliseconds);
  return report.exitCode;
}

}  // namespace quarn::admin
