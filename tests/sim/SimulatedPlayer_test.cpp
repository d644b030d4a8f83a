#include "sim/SimulatedPlayer.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

// Demand 4 stepping to 8 in week 3; a Sterman player with theta 0.25.
class StermanTest : public ::testing::Test {
 protected:
  StermanTest() : g(Trial(), {stermanPlayer(1, 1, 0.25)}) { g.start(); }
  static TrialPlan Trial() {
    TrialPlan t = steadyTrial();
    t.jumpWeek = 3;
    return t;
  }
  // Week 3: customer demand 8, the Wholesaler faced 6.
  void inWeekThree() {
    g.chain.currentWeek = 3;
    g.role(kWholesaler).demand = 6;
    g.role(kWholesaler).orderSlots = {100, 4};  // only the latest order counts
  }

  SimGame g;
  const StermanState& w = g.chain.sterman[kWholesaler];
  const StermanState& f = g.chain.sterman[kFactory];
};

TEST_F(StermanTest, StartsFromTheSteadyState) {
  EXPECT_EQ(std::vector<double>({w.supplyDelay * 1.0, w.desiredSupplyLine * 1.0, w.stockTarget,
                                 f.supplyDelay * 1.0, f.stockTarget}),
            std::vector<double>({3, 16, 28, 2, 24}));
  // Week 1: supply line 4 + 0 + 8 against a target of 28 with stock 12.
  EXPECT_EQ(stermanOrder(g.c, kWholesaler), 4);
  EXPECT_EQ(stermanOrder(g.c, kFactory), 4);
  EXPECT_EQ(w.expectedDemand, 0.0);
}

TEST_F(StermanTest, RecomputesItsTargetsWhileTheDemandDiffersFromWeekOne) {
  inWeekThree();
  EXPECT_EQ(stermanOrder(g.c, kWholesaler), 8);  // (28 - 12 - 12) + 4.5 = 8.5 -> 8
  EXPECT_EQ(std::vector<double>({w.expectedDemand, w.desiredInventory * 1.0,
                                 w.desiredSupplyLine * 1.0, w.stockTarget}),
            std::vector<double>({4.5, 0, 28, 28}));
  g.role(kWholesaler).demand = 10;
  EXPECT_EQ(stermanOrder(g.c, kWholesaler), 10);  // redone: 4 + 5.5 = 9.5 -> 10
  EXPECT_EQ(w.expectedDemand, 5.5);
  stermanOrder(g.c, kFactory);
  EXPECT_EQ(f.desiredSupplyLine, 20);  // 8 x 2 + 4
}

TEST_F(StermanTest, CountsTheUpstreamBackorderInItsSupplyLine) {
  inWeekThree();
  g.role(kWholesaler).demand = 10;
  g.role(kDistributor).inventory = -5;
  EXPECT_EQ(stermanOrder(g.c, kWholesaler), 4);  // (28 - 12 - 17) + 5.5 = 4.5 -> 4
}

TEST_F(StermanTest, KeepsItsTargetsOnceTheDemandIsBackAtWeekOne) {
  inWeekThree();
  stermanOrder(g.c, kWholesaler);
  g.trial.weeklyDemand[3] = 4;
  g.chain.currentWeek = 4;
  g.role(kWholesaler).demand = 40;
  stermanOrder(g.c, kWholesaler);
  EXPECT_EQ(w.expectedDemand, 4.5);
}

TEST(PlayerOrder, ClampsTheStermanValueBeforeAddingNoise) {
  const struct {
    double epsilon;
    int16_t maxNoise;
    double draw;
    int32_t order;
  } cases[] = {
      {25.7, 2, 0.5, 21},  // 25.7 -> maxOrder 20, noise +1
      {-3.2, 2, 0.0, 7},   // -> minOrder 0, noise -1: negative, so orderIfNegative
      {-3.2, 0, 0.0, 0},   // exactly 0 is placed as 0
      {4.5, 0, 0.0, 4},    // ties to even
      {5.5, 0, 0.0, 6},
  };
  for (const auto& k : cases) {
    TrialPlan t = steadyTrial();
    t.maxOrder = 20;
    t.maxNoise = k.maxNoise;
    PlayerStrategy p = stermanPlayer(0, 0);
    p.epsilon = k.epsilon;
    p.orderIfNegative = 7;
    SimGame g(t, {p});
    g.start();
    g.random.draws = {k.draw};
    EXPECT_EQ(playerOrder(g.c, kRetailer), k.order) << k.epsilon << " noise " << k.maxNoise;
  }
}

TEST(PlayerOrder, AddsDemandBackorderAndTheFallOfStock) {
  const struct {
    bool delta;
    int32_t inventory, deltaInventory, order;
  } cases[] = {
      {false, -4, -3, 10},
      {true, -4, -3, 19},  // 10 + 3 + 6
      {true, 5, -3, 6},    // the fall counts only with a backorder
      {true, -4, 2, 10},   // ... and only when the stock fell
  };
  for (const auto& k : cases) {
    PlayerStrategy p = demandPlayer();
    p.addsBackorder = true;
    p.addsDelta = k.delta;
    SimGame g(steadyTrial(), {p});
    g.start();
    RoleState& s = g.role(kWholesaler);
    s.demand = 6;
    s.inventory = k.inventory;
    s.deltaInventory = k.deltaInventory;
    EXPECT_EQ(playerOrder(g.c, kWholesaler), k.order) << k.inventory << " " << k.deltaInventory;
  }
}

// A player without a rule orders the noise alone: -1 to maxNoise - 1,
// each equally likely, drawn after a reseed from the tick count.
TEST(PlayerOrder, NoiseIsEvenlySpreadAndReseedsFromTheTicks) {
  TrialPlan t = steadyTrial();
  t.maxNoise = 3;
  PlayerStrategy none;
  none.orderIfNegative = -50;
  SimGame g(t, {none});
  g.start();
  g.random.reseeds.clear();
  for (int k = 0; k < 6; ++k) {
    g.random.draws = {k / 6.0 + 0.01};
    g.random.drawsTaken = 0;
    g.ticks.ticks = 1000u + static_cast<uint32_t>(k);
    EXPECT_EQ(playerOrder(g.c, kFactory), k == 0 ? -50 : k - 1);
  }
  EXPECT_EQ(g.random.reseeds, (std::vector<uint32_t>{1000, 1001, 1002, 1003, 1004, 1005}));
}

// The noise range 2 x MaxNoise is only an intermediate: any MaxNoise of its
// 16 bits draws from it.
TEST(PlayerOrder, DrawsFromTheWholeNoiseRangeOfTheLargestMaxNoise) {
  SimGame g(steadyTrial(), {PlayerStrategy{}});
  g.start();
  g.trial.maxNoise = 32767;
  const std::vector<std::pair<double, int32_t>> draws = {
      {0.0, -1}, {0.5, 32766}, {0.9999999, 65532}};
  for (const auto& [draw, noise] : draws) {
    g.random.draws = {draw};
    g.random.drawsTaken = 0;
    EXPECT_EQ(playerOrder(g.c, kFactory), noise < 0 ? 0 : noise) << draw;
  }
}

// The rules add up in 64 bits: a sum below the 32 bits gives IfZero like
// any negative sum; only an order placed beyond them is refused.
TEST(PlayerOrder, SumsBeyond32BitsAreRightAndOnlyTheOrderIsNarrowed) {
  PlayerStrategy player = stermanPlayer();
  player.addsDemand = player.addsBackorder = true;
  player.orderIfNegative = 7;
  TrialPlan t = steadyTrial();
  t.minOrder = t.maxOrder = -2000000000;
  SimGame g(t, {player});
  g.start();
  RoleState& s = g.role(kFactory);
  s.demand = -2000000000;
  s.inventory = 1;
  EXPECT_EQ(playerOrder(g.c, kFactory), 7);  // -4e9: below 0
  g.trial.minOrder = g.trial.maxOrder = 2000000000;
  s.demand = 100;
  s.inventory = -2000000000;
  EXPECT_THROW(playerOrder(g.c, kFactory), OverflowError);  // 4e9 + 100 as an order
}

}  // namespace
}  // namespace quarn::testing
