#include "sim/modSterman.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(Sterman, HoldsTheSteadyStateAndRecomputesOnADemandStep) {
  TrialPlan t = SteadyTrial();
  t.JumpWeek = 3;
  SimGame g(t, {StermanPlayer(1, 1, 0.25)});
  g.Start();
  const StermanState& w = g.chain.Sterman[kWholesaler];
  const StermanState& f = g.chain.Sterman[kFactory];
  EXPECT_EQ(std::vector<double>({w.SupplyDelay * 1.0, w.DesiredSupplyLine * 1.0, w.StockTarget,
                                 f.SupplyDelay * 1.0, f.StockTarget}),
            std::vector<double>({3, 16, 28, 2, 24}));
  // Week 1: supply line 4 + 0 + 8 against a target of 28 with stock 12.
  EXPECT_EQ(StermanOrder(g.c, kWholesaler), 4);
  EXPECT_EQ(StermanOrder(g.c, kFactory), 4);
  EXPECT_EQ(w.ExpectedDemand, 0.0);

  g.chain.CurrentWeek = 3;  // customer demand 8
  g.role(kWholesaler).Demand = 6;
  g.role(kWholesaler).OrderSlots = {100, 4};     // only the latest order counts
  EXPECT_EQ(StermanOrder(g.c, kWholesaler), 8);  // (28 - 12 - 12) + 4.5 = 8.5 -> 8
  EXPECT_EQ(std::vector<double>({w.ExpectedDemand, w.DesiredInventory * 1.0,
                                 w.DesiredSupplyLine * 1.0, w.StockTarget}),
            std::vector<double>({4.5, 0, 28, 28}));
  g.role(kWholesaler).Demand = 10;
  EXPECT_EQ(StermanOrder(g.c, kWholesaler), 10);  // redone: 4 + 5.5 = 9.5 -> 10
  EXPECT_EQ(w.ExpectedDemand, 5.5);
  g.role(kDistributor).Inventory = -5;           // the upstream backorder is on order too
  EXPECT_EQ(StermanOrder(g.c, kWholesaler), 4);  // (28 - 12 - 17) + 5.5 = 4.5 -> 4
  StermanOrder(g.c, kFactory);
  EXPECT_EQ(f.DesiredSupplyLine, 20);  // 8 x 2 + 4

  g.trial().WeeklyDemand[3] = 4;  // back at week 1's demand: nothing is recomputed
  g.chain.CurrentWeek = 4;
  g.role(kWholesaler).Demand = 40;
  StermanOrder(g.c, kWholesaler);
  EXPECT_EQ(w.ExpectedDemand, 5.5);
}

TEST(PlayerOrder, ClampsTheStermanValueBeforeAddingNoise) {
  const struct {
    double epsilon;
    int16_t maxNoise;
    double draw;
    int32_t order;
  } cases[] = {
      {25.7, 2, 0.5, 21},  // 25.7 -> MaxOrder 20, noise +1
      {-3.2, 2, 0.0, 7},   // -> MinOrder 0, noise -1: negative, so IfZero
      {-3.2, 0, 0.0, 0},   // exactly 0 is placed as 0
      {4.5, 0, 0.0, 4},    // ties to even
      {5.5, 0, 0.0, 6},
  };
  for (const auto& k : cases) {
    TrialPlan t = SteadyTrial();
    t.MaxOrder = 20;
    t.MaxNoise = k.maxNoise;
    PlayerStrategy p = StermanPlayer(0, 0);
    p.Epsilon = k.epsilon;
    p.IfZero = 7;
    SimGame g(t, {p});
    g.Start();
    g.random.draws = {k.draw};
    EXPECT_EQ(PlayerOrder(g.c, kRetailer), k.order) << k.epsilon << " noise " << k.maxNoise;
  }
}

TEST(PlayerOrder, AddsDemandBackorderAndDelta) {
  const struct {
    bool delta;
    int32_t inventory, deltaInventory, order;
  } cases[] = {
      {false, -4, -3, 10},
      {true, -4, -3, 19},  // 10 + 3 + 6
      {true, 5, -3, 6},    // Delta needs a backorder
      {true, -4, 2, 10},   // ... and a fall of the stock
  };
  for (const auto& k : cases) {
    PlayerStrategy p = DemandPlayer();
    p.BackOrder = true;
    p.Delta = k.delta;
    SimGame g(SteadyTrial(), {p});
    g.Start();
    RoleState& s = g.role(kWholesaler);
    s.Demand = 6;
    s.Inventory = k.inventory;
    s.DeltaInventory = k.deltaInventory;
    EXPECT_EQ(PlayerOrder(g.c, kWholesaler), k.order) << k.inventory << " " << k.deltaInventory;
  }
}

TEST(PlayerOrder, NoiseIsEvenlySpreadAndReseedsFromTheTicks) {
  TrialPlan t = SteadyTrial();
  t.MaxNoise = 3;
  PlayerStrategy none;  // no rule: the order is the noise alone
  none.IfZero = -50;
  SimGame g(t, {none});
  g.Start();
  g.random.reseeds.clear();
  for (int k = 0; k < 6; ++k) {
    g.random.draws = {k / 6.0 + 0.01};
    g.random.drawsTaken = 0;
    g.ticks.ticks = 1000u + static_cast<uint32_t>(k);
    EXPECT_EQ(PlayerOrder(g.c, kFactory), k == 0 ? -50 : k - 1);
  }
  EXPECT_EQ(g.random.reseeds, (std::vector<uint32_t>{1000, 1001, 1002, 1003, 1004, 1005}));

  g.trial().MaxNoise = 20000;  // 2 x MaxNoise does not fit 16 bits
  EXPECT_THROW(PlayerOrder(g.c, kFactory), OverflowError);
}

}  // namespace
}  // namespace quarn::testing
