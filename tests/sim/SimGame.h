#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sim/Chain.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/Trials.h"

namespace quarn::testing {

inline PlayerStrategy stermanPlayer(double alpha = 1, double beta = 1, double theta = 0.5) {
  return {.name = "Sterman", .usesSterman = true, .alpha = alpha, .beta = beta, .theta = theta};
}

inline PlayerStrategy demandPlayer() {
  return {.name = "Follower", .addsDemand = true};
}

// One trial, one chain, a clock that stands still and a replaying generator.
struct SimGame {
  explicit SimGame(TrialPlan plan, std::vector<PlayerStrategy> table = {stermanPlayer()})
      : trial(std::move(plan)), players(std::move(table)) {}
  SimGame(const SimGame&) = delete;

  RoleState& role(int r) { return chain.roles[static_cast<size_t>(r)]; }
  void start(const std::string& inputFolder = ".") { startTrialChain(c, inputFolder); }
  // One "Make Order" press.
  void press(int16_t order = 0) {
    pressWeek(c, [order] { return order; });
  }

  TrialPlan trial;
  std::vector<PlayerStrategy> players;
  Chain chain;
  ManualTickCounter ticks;
  FixedRandom random;
  ChainContext c{trial, players, chain, ticks, random, {}};
};

}  // namespace quarn::testing
