#include "sim/modDelivery.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/Errors.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(ShipGoods, ServesDemandAndBackorderFromStockAndArrivals) {
  struct Case {
    int32_t inventory, arriving, demand, satisfied, delta, after;
  };
  const Case cases[] = {
      {5, 4, 12, 9, -8, -3},  // short: ships all it has
      {-3, 10, 4, 7, 6, 3},   // backorder served with the week's demand
      {-3, 2, 4, 2, -2, -5},  // in backorder, arrivals ship straight through
      {12, 4, 4, 4, 0, 12},
  };
  for (const Case& k : cases) {
    SimGame g(SteadyTrial());
    g.Start();
    RoleState& s = g.role(kWholesaler);
    s.Inventory = k.inventory;
    s.DelaySlots[0] = k.arriving;
    s.Demand = k.demand;
    ShipGoods(g.c, kWholesaler);
    EXPECT_EQ(s.Received, k.arriving);
    EXPECT_EQ(s.Satisfied, k.satisfied) << k.inventory << " " << k.arriving << " " << k.demand;
    EXPECT_EQ(s.DeltaInventory, k.delta);
    EXPECT_EQ(s.Inventory, k.after);
  }
}

TEST(ChargeCost, RoundsStockCostToEvenBeforeAddingTransit) {
  struct Case {
    int32_t inventory;
    std::vector<int32_t> transit;
    double costTransit;
    int32_t weekly;
  };
  const Case cases[] = {
      {5, {0, 0}, 0.5, 2},  // 2.5 -> 2
      {7, {0, 0}, 0.5, 4},  // 3.5 -> 4
      {-3, {0, 0}, 0.5, 3}, {4, {4, 4}, 0.5, 6}, {4, {4, 4}, 0.0, 2},
      {5, {1, 0}, 0.5, 2},  // 2.5 -> 2, + 0.5 = 2.5 -> 2 (3 if rounded only once)
      {1, {1, 0}, 1.5, 2},  // 0.5 -> 0, + 1.5 = 1.5 -> 2
  };
  for (const Case& k : cases) {
    SimGame g(SteadyTrial());
    g.trial().CostTransit = k.costTransit;
    g.Start();
    RoleState& s = g.role(kDistributor);
    s.Inventory = k.inventory;
    s.DelaySlots = k.transit;
    s.TotalCost = 10;
    ChargeCost(g.c, kDistributor);
    EXPECT_EQ(s.WeeklyCost, k.weekly) << k.inventory << " transit " << k.transit[0];
    EXPECT_EQ(s.TotalCost, 10 + k.weekly);
  }
}

TEST(ChargeCost, RefusesTotalsBeyondTheirWidths) {
  SimGame g(SteadyTrial());
  g.Start();
  RoleState& s = g.role(kFactory);
  s.DelaySlots = {20000, 20000};  // fits 32 bits, not the 16-bit transit sum
  EXPECT_THROW(ChargeCost(g.c, kFactory), OverflowError);
  s.DelaySlots = {0, 0};
  s.Inventory = -2147483647 - 1;  // its backorder does not fit 32 bits
  EXPECT_THROW(ChargeCost(g.c, kFactory), OverflowError);
  s.Inventory = 2147483647;
  g.trial().CostInventory = 2.0;
  EXPECT_THROW(ChargeCost(g.c, kFactory), OverflowError);
  s.Inventory = 2147483647;
  s.DelaySlots = {1, 0};
  EXPECT_THROW(ShipGoods(g.c, kFactory), OverflowError);
}

// A chain where nothing moves unless the participant orders: no demand, no
// goods in transit, plenty of stock, players that order 0.
TrialPlan QuietTrial(int16_t delay, int16_t orderDelay, int16_t subject) {
  TrialPlan t = SteadyTrial(14);
  t.Delay = delay;
  t.OrderDelay = orderDelay;
  t.InitialDemand = t.SecondDemand = 0;
  t.FirstOrder = 0;
  t.InitDelayAmount = 0;
  t.InitInventory = 100;
  t.SubjectRole = subject;
  t.RolePlayer[static_cast<size_t>(subject)] = kSubjectPlayer;
  return t;
}

// Steps (1-based) in which `value` of the given stage was 10.
struct Trace {
  std::vector<int> demand[kRoleCount], received[kRoleCount];
};

Trace PlayPulse(SimGame& g, int pressWithOrder) {
  Trace t;
  int step = 0;
  g.c.WeekClosed = [&] {
    ++step;
    for (int r = 0; r < kRoleCount; ++r) {
      if (g.role(r).Demand == 10) t.demand[r].push_back(step);
      if (g.role(r).Received == 10) t.received[r].push_back(step);
    }
  };
  g.Start();
  for (int p = 1; p <= g.trial().numweeks; ++p) g.Press(p == pressWithOrder ? 10 : 0);
  return t;
}

TEST(WeekTiming, OrdersAndShipmentsTakeTheirDelays) {
  PlayerStrategy idle;
  idle.Name = "Idle";
  for (int16_t delay = 1; delay <= 3; ++delay) {
    for (int16_t orderDelay = 0; orderDelay <= 2; ++orderDelay) {
      SCOPED_TRACE(::testing::Message() << "Delay " << delay << " OrderDelay " << orderDelay);
      const int k = 3;  // the order is placed after step k
      {
        SimGame g(QuietTrial(delay, orderDelay, kDistributor), {idle});
        const Trace t = PlayPulse(g, k);
        EXPECT_EQ(t.demand[kFactory], std::vector<int>{k + orderDelay + 1});
        EXPECT_EQ(t.received[kDistributor], std::vector<int>{k + orderDelay + 1 + delay});
      }
      {
        SimGame g(QuietTrial(delay, orderDelay, kFactory), {idle});
        const Trace t = PlayPulse(g, k);
        EXPECT_EQ(t.received[kFactory], std::vector<int>{k + 1 + delay});  // own production
        EXPECT_EQ(t.received[kDistributor], std::vector<int>{});
      }
      {
        // An order placed at the end of a step, by a stage below the participant.
        TrialPlan quiet = QuietTrial(delay, orderDelay, kFactory);
        quiet.SecondDemand = 10;
        quiet.JumpWeek = k;
        SimGame g(std::move(quiet), {DemandPlayer()});
        const Trace t = PlayPulse(g, 0);
        ASSERT_FALSE(t.demand[kWholesaler].empty());
        EXPECT_EQ(t.demand[kWholesaler].front(), k + orderDelay + 1);
      }
    }
  }
}

TEST(WhoOrders, StagesBelowTheParticipantDecideFirstRetailerFirst) {
  // Each decision takes the next draw: 0, .25, .5, .75 give noise -1, 0, 1, 2.
  TrialPlan t = SteadyTrial();
  t.MaxNoise = 2;
  {
    SimGame g(t, {DemandPlayer()});
    g.random.draws = {0.0, 0.25, 0.5, 0.75};
    g.Start();
    EXPECT_EQ(g.role(kRetailer).OrderSlots.back(), 3);
    EXPECT_EQ(g.role(kWholesaler).OrderSlots.back(), 4);
    EXPECT_EQ(g.role(kDistributor).OrderSlots.back(), 5);
    EXPECT_EQ(g.role(kFactory).OrderSlots.back(), 6);
  }
  t.SubjectRole = kDistributor;
  t.RolePlayer[kDistributor] = kSubjectPlayer;
  SimGame g(t, {DemandPlayer()});
  g.random.draws = {0.0, 0.25, 0.5, 0.75};
  g.Start();
  EXPECT_EQ(g.role(kRetailer).OrderSlots.back(), 3);
  EXPECT_EQ(g.role(kWholesaler).OrderSlots.back(), 4);
  EXPECT_EQ(g.role(kFactory).OrderSlots.back(), 4);  // FirstOrder: not decided yet
  g.Press(9);
  EXPECT_EQ(g.role(kDistributor).OrderSlots.back(), 9);
  EXPECT_EQ(g.role(kFactory).OrderSlots.back(), 5);
  EXPECT_EQ(g.role(kRetailer).OrderSlots.back(), 6);  // step 2 ran after the costs
  EXPECT_EQ(g.role(kWholesaler).OrderSlots.back(), 3);
}

TEST(WhoOrders, EveryRoleDecidesUntilTheLastTwoPresses) {
  const int16_t weeks = 6;
  for (int16_t subject = kNoSubject; subject <= kRetailer; ++subject) {
    SCOPED_TRACE(::testing::Message() << "SubjectRole " << subject);
    TrialPlan t = SteadyTrial(weeks);
    t.MaxNoise = 1;
    t.SubjectRole = subject;
    if (subject != kNoSubject) t.RolePlayer[static_cast<size_t>(subject)] = kSubjectPlayer;
    SimGame g(t, {DemandPlayer()});
    g.Start();
    EXPECT_EQ(g.random.reseeds.size(), static_cast<size_t>(3 - subject));
    const size_t simulated = subject == kNoSubject ? 4 : 3;
    int charges = 0;
    g.c.WeekClosed = [&] { ++charges; };
    for (int p = 1; p <= weeks; ++p) {
      const size_t before = g.random.reseeds.size();
      const int32_t turnover = subject == kNoSubject ? 0 : g.role(subject).OrderSlots.front();
      g.Press(static_cast<int16_t>(90 + p));
      EXPECT_EQ(g.random.reseeds.size() - before, p <= weeks - 2 ? simulated : 0) << "press " << p;
      if (subject != kNoSubject) {
        EXPECT_EQ(g.role(subject).OrderSlots.back(), p <= weeks - 2 ? 90 + p : turnover);
      }
    }
    EXPECT_EQ(charges, weeks);
    EXPECT_EQ(g.chain.CurrentWeek, weeks + 1);
  }
}

TEST(StepWeek, RefusesAChainThatDoesNotFitThePlan) {
  SimGame g(SteadyTrial());
  EXPECT_THROW(StepWeek(g.c), QuarnError);  // never started: no pipelines
  g.Start();
  g.trial().Delay = 3;  // changed under the running trial
  EXPECT_THROW(StepWeek(g.c), QuarnError);
  g.trial().Delay = 2;
  g.chain.CurrentWeek = static_cast<int16_t>(g.trial().numweeks + 2);
  EXPECT_THROW(SetIncomingOrder(g.c, kRetailer), QuarnError);  // no demand for that week
}

}  // namespace
}  // namespace quarn::testing
