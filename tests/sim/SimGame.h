#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sim/modDelivery.h"
#include "sim/modInit.h"
#include "tests/support/FixedRandom.h"

namespace quarn::testing {

// A steady chain: demand, first orders and every pipeline slot 4, stock 12.
inline TrialPlan SteadyTrial(int16_t weeks = 20) {
  TrialPlan t;
  t.Delay = 2;
  t.OrderDelay = 1;
  t.numweeks = weeks;
  t.InitialDemand = 4;
  t.JumpWeek = static_cast<int16_t>(weeks + 1);
  t.SecondDemand = 8;
  t.RolePlayer = {0, 0, 0, 0};
  t.SubjectRole = kNoSubject;
  t.FirstOrder = 4;
  t.MinOrder = 0;
  t.MaxOrder = 1000;
  t.InitInventory = 12;
  t.InitDelayAmount = 4;
  t.CostInventory = 0.5;
  t.CostBackOrder = 1.0;
  return t;
}

inline PlayerStrategy StermanPlayer(double alpha = 1, double beta = 1, double theta = 0.5) {
  PlayerStrategy p;
  p.Name = "Sterman";
  p.Sterman = true;
  p.Alpha = alpha;
  p.Beta = beta;
  p.Theta = theta;
  return p;
}

inline PlayerStrategy DemandPlayer() {
  PlayerStrategy p;
  p.Name = "Follower";
  p.Demand = true;
  return p;
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
