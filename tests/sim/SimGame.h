#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sim/modDelivery.h"
#include "sim/modInit.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/Trials.h"

namespace quarn::testing {

inline PlayerStrategy StermanPlayer(double alpha = 1, double beta = 1, double theta = 0.5) {
  return {.Name = "Sterman", .Sterman = true, .Alpha = alpha, .Beta = beta, .Theta = theta};
}

inline PlayerStrategy DemandPlayer() {
  return {.Name = "Follower", .Demand = true};
}

// One trial, one chain, a clock that stands still and a replaying generator.
struct SimGame {
  explicit SimGame(TrialPlan trial, std::vector<PlayerStrategy> players = {StermanPlayer()}) {
    plan.TrialPlans = {std::move(trial)};
    plan.TrialCount = 1;
    plan.PlayerTable = std::move(players);
    plan.PlayerCount = static_cast<int16_t>(plan.PlayerTable.size());
  }
  SimGame(const SimGame&) = delete;

  TrialPlan& trial() { return plan.TrialPlans[0]; }
  RoleState& role(int r) { return chain.Roles[static_cast<size_t>(r)]; }
  void Start(const std::string& inputFolder = ".") {
    StartTrialChain(c, {"Factory", "Distributor", "Wholesaler", "Retailer"}, inputFolder);
  }
  // One "Make Order" press.
  void Press(int16_t order = 0) {
    ++chain.CurrentWeek;
    SetSubjectOrder(chain, order);
    CloseWeek(c);
  }

  Plan plan;
  Chain chain;
  ManualTickCounter ticks;
  FixedRandom random;
  ChainContext c{plan, chain, ticks, random, {}};
};

}  // namespace quarn::testing
