#include "sim/modDelivery.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Errors.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

std::vector<int32_t> LatestOrders(SimGame& g) {
  std::vector<int32_t> orders;
  for (int r = 0; r < kRoleCount; ++r) orders.push_back(g.role(r).OrderSlots.back());
  return orders;
}

// Shipping, then the week's cost: stock cost rounded (ties to even) before
// the transit cost is added.
TEST(ShipGoodsAndChargeCost, ServeWhatTheyCanAndRoundStockCostFirst) {
  const struct {
    int32_t inventory, arriving, demand, inTransit;
    double costTransit;
    int32_t satisfied, after, weekly;
  } cases[] = {
      {5, 4, 12, 0, 0, 9, -3, 3},  // short: ships all it has
      {-3, 12, 2, 0, 0, 5, 7, 4},  // backorder served with the demand; 3.5 -> 4
      {-3, 2, 4, 0, 0, 2, -5, 5},  // in backorder, arrivals ship straight through
      {3, 6, 4, 0, 0, 4, 5, 2},    // 2.5 -> 2
      {4, 1, 0, 8, 0.5, 0, 5, 6},  // 2 + 4.5 = 6.5 -> 6 (7 if rounded once)
  };
  for (const auto& k : cases) {
    SimGame g(SteadyTrial());
    g.trial().CostTransit = k.costTransit;
    g.Start();
    RoleState& s = g.role(kWholesaler);
    s.Inventory = k.inventory;
    s.DelaySlots = {k.arriving, k.inTransit};
    s.Demand = k.demand;
    s.TotalCost = 10;
    ShipGoods(g.c, kWholesaler);
    ChargeCost(g.c, kWholesaler);
    EXPECT_EQ(std::vector<int32_t>({s.Satisfied, s.Inventory, s.WeeklyCost, s.TotalCost}),
              std::vector<int32_t>({k.satisfied, k.after, k.weekly, 10 + k.weekly}))
        << k.inventory << " " << k.arriving << " " << k.demand;
  }
}

TEST(ChargeCost, RefusesTotalsBeyondTheirWidths) {
  SimGame g(SteadyTrial());
  EXPECT_THROW(StepWeek(g.c), QuarnError);  // never started: no pipelines
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
  s.DelaySlots = {1, 0};
  EXPECT_THROW(ShipGoods(g.c, kFactory), OverflowError);
}

// Draws 0, .25, .5, .75 give noise -1, 0, 1, 2, one per decision: the
// stages below the participant decide at the start, Retailer first; after a
// press, every role decides until the last two presses.
TEST(WhoOrders, BelowTheParticipantFirstThenEveryRoleUntilTheLastTwoPresses) {
  TrialPlan t = SteadyTrial(20, kDistributor);
  t.MaxNoise = 2;
  SimGame d(t, {DemandPlayer()});
  d.random.draws = {0.0, 0.25, 0.5, 0.75};
  d.Start();
  EXPECT_EQ(LatestOrders(d), (std::vector<int32_t>{4, 4, 4, 3}));  // Factory: not decided yet
  d.Press(9);
  EXPECT_EQ(LatestOrders(d), (std::vector<int32_t>{5, 9, 3, 6}));  // step 2 ran after the costs

  const int16_t weeks = 6;
  for (int16_t subject = kNoSubject; subject <= kRetailer; ++subject) {
    SCOPED_TRACE(::testing::Message() << "SubjectRole " << subject);
    SimGame g(SteadyTrial(weeks, subject), {DemandPlayer()});
    g.trial().MaxNoise = 1;
    g.Start();
    EXPECT_EQ(g.random.reseeds.size(), static_cast<size_t>(3 - subject));
    const size_t simulated = subject == kNoSubject ? 4 : 3;
    for (int p = 1; p <= weeks; ++p) {
      const size_t before = g.random.reseeds.size();
      const int32_t turnover = subject == kNoSubject ? 0 : g.role(subject).OrderSlots.front();
      g.Press(static_cast<int16_t>(90 + p));
      EXPECT_EQ(g.random.reseeds.size() - before, p <= weeks - 2 ? simulated : 0) << "press " << p;
      if (subject != kNoSubject) {
        EXPECT_EQ(g.role(subject).OrderSlots.back(), p <= weeks - 2 ? 90 + p : turnover);
      }
    }
  }
}

// Every delay, order delay and participant's role, with real noise: each
// week's books balance, and orders and goods arrive exactly their delays later.
TEST(WholeTrial, OrdersAndGoodsTakeTheirDelaysAndTheBooksBalance) {
  for (int16_t delay = 1; delay <= 3; ++delay) {
    for (int16_t orderDelay = 0; orderDelay <= 2; ++orderDelay) {
      for (int16_t subject = kNoSubject; subject <= kRetailer; ++subject) {
        SCOPED_TRACE(::testing::Message() << "Delay " << delay << " OrderDelay " << orderDelay
                                          << " SubjectRole " << subject);
        TrialPlan t = SteadyTrial(26, kNoSubject, delay);
        t.OrderDelay = orderDelay;
        t.JumpWeek = 5;
        t.MaxNoise = static_cast<int16_t>(delay);
        t.CostTransit = 0.5;
        t.RolePlayer = {0, 1, 0, 2};
        t.SubjectRole = subject;
        if (subject != kNoSubject) t.RolePlayer[static_cast<size_t>(subject)] = kSubjectPlayer;
        PlayerStrategy eager = StermanPlayer(0.5, 0.1, 0.6);
        eager.BackOrder = true;
        SimGame g(t, {StermanPlayer(0.26, 0.34, 0.36), eager, DemandPlayer()});
        StandardUniformRandom random;
        ChainContext c{g.plan, g.chain, g.ticks, random, {}};

        // Per week and role; orders[s] is the latest order after week s
        // (FirstOrder after week 0).
        using Week = std::array<int32_t, kRoleCount>;
        std::vector<Week> demand, received, satisfied, orders{{4, 4, 4, 4}};
        Week lastInventory{12, 12, 12, 12}, costs{};
        c.WeekClosed = [&] {
          Week d, rc, sa, o;
          double total = 0;
          for (int r = 0; r < kRoleCount; ++r) {
            const RoleState& s = g.role(r);
            EXPECT_EQ(s.DeltaInventory, s.Received - s.Demand);
            EXPECT_EQ(s.Inventory, lastInventory[r] + s.DeltaInventory);
            lastInventory[r] = s.Inventory;
            costs[r] += s.WeeklyCost;
            EXPECT_EQ(s.TotalCost, costs[r]);
            total += s.TotalCost;
            d[r] = s.Demand, rc[r] = s.Received, sa[r] = s.Satisfied, o[r] = s.OrderSlots.back();
          }
          EXPECT_EQ(g.trial().TotalCost, total);
          demand.push_back(d), received.push_back(rc), satisfied.push_back(sa), orders.push_back(o);
        };
        StartTrialChain(c, {"F", "D", "W", "R"}, ".");
        for (int p = 1; p <= t.numweeks; ++p) {
          g.ticks.ticks += 3;
          ++g.chain.CurrentWeek;
          SetSubjectOrder(g.chain, static_cast<int16_t>(p % 9));
          CloseWeek(c);
        }
        ASSERT_EQ(demand.size(), static_cast<size_t>(t.numweeks));
        for (size_t i = 0; i < demand.size(); ++i) {
          const int s = static_cast<int>(i) + 1;
          EXPECT_EQ(demand[i][kRetailer], g.trial().WeeklyDemand[i]);
          const size_t placed = static_cast<size_t>(std::max(0, s - orderDelay - 1));
          for (int r = 0; r < kRetailer; ++r) EXPECT_EQ(demand[i][r], orders[placed][r + 1]) << s;
          for (int r = 1; r < kRoleCount; ++r) {
            EXPECT_EQ(received[i][r], s <= delay ? 4 : satisfied[i - delay][r - 1]) << s;
          }
          const int produced = s - 1 - delay;  // the Factory's own production
          EXPECT_EQ(received[i][kFactory],
                    produced < 0 ? 4 : orders[static_cast<size_t>(produced)][kFactory])
              << s;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quarn::testing
