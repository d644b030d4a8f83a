#include <charconv>
#include <iostream>

#include "app/Pilot.h"
#include "tools/Commands.h"

namespace quarn::admin {

namespace {

constexpr const char* kUsage =
    "usage: quarngame-admin pilot DATADIR SETTING SUBJECT [--orders FILE] [--seed N]";

uint32_t SeedOf(const std::string& text) {
  uint32_t seed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw UsageError("pilot: the seed must be a whole number from 0 to 4294967295, not " + text);
  }
  return seed;
}

}  // namespace

int CmdPilot(const std::vector<std::string>& args) {
  if (args.size() < 3 || args.size() % 2 == 0) throw UsageError(kUsage);
  PilotOptions options{args[0], args[1], args[2], {}, {}};
  for (size_t i = 3; i < args.size(); i += 2) {
    if (args[i] == "--orders") {
      options.orders = ordersFromList(readOrdersFile(args[i + 1]));
    } else if (args[i] == "--seed") {
      options.seed = SeedOf(args[i + 1]);
    } else {
      throw UsageError(kUsage);
    }
  }
  return runPilot(options, std::cout, std::cerr).exitCode;
}

}  // namespace quarn::admin
