// Whole trials played through, checked against the chain's bookkeeping rules.
#include <gtest/gtest.h>

#include <numeric>

#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(SimTrial, SteadyChainStaysSteady) {
  for (const PlayerStrategy& p : {StermanPlayer(1, 1), DemandPlayer()}) {
    SimGame g(SteadyTrial(30), {p});
    int weeks = 0;
    g.c.WeekClosed = [&] {
      ++weeks;
      for (int r = 0; r < kRoleCount; ++r) {
        EXPECT_EQ(g.role(r).Inventory, 12);
        EXPECT_EQ(g.role(r).Received, 4);
        EXPECT_EQ(g.role(r).Satisfied, 4);
        EXPECT_EQ(g.role(r).OrderSlots.back(), 4);
        EXPECT_EQ(g.role(r).WeeklyCost, 6);
      }
      EXPECT_EQ(g.trial().TotalCost, 4 * 6 * weeks);
    };
    g.Start();
    for (int p = 0; p < 30; ++p) g.Press(4);
    EXPECT_EQ(weeks, 30);
  }
}

// Per step s (1-based) and role: what the stage saw, and the latest order
// each stage had placed after step s. Orders "after step 0" are FirstOrder.
struct History {
  std::vector<std::array<int32_t, kRoleCount>> demand, received, satisfied, order;
};

TEST(SimTrial, SimulatedPlayersKeepTheBooks) {
  for (int16_t delay = 1; delay <= 3; ++delay) {
    for (int16_t orderDelay = 0; orderDelay <= 2; ++orderDelay) {
      for (int16_t subject = kNoSubject; subject <= kRetailer; ++subject) {
        SCOPED_TRACE(::testing::Message() << "Delay " << delay << " OrderDelay " << orderDelay
                                          << " SubjectRole " << subject);
        TrialPlan t = SteadyTrial(26);
        t.Delay = delay;
        t.OrderDelay = orderDelay;
        t.JumpWeek = 5;
        t.MaxNoise = static_cast<int16_t>(delay);
        t.CostTransit = 0.5;
        t.SubjectRole = subject;
        t.RolePlayer = {0, 1, 0, 2};
        if (subject != kNoSubject) t.RolePlayer[static_cast<size_t>(subject)] = kSubjectPlayer;
        PlayerStrategy eager = StermanPlayer(0.5, 0.1, 0.6);
        eager.BackOrder = true;
        SimGame g(t, {StermanPlayer(0.26, 0.34, 0.36), eager, DemandPlayer()});
        StandardUniformRandom random;
        ChainContext c{g.plan, g.chain, g.ticks, random, {}};

        History h;
        h.order.push_back({4, 4, 4, 4});
        std::array<int32_t, kRoleCount> lastInventory{12, 12, 12, 12}, costs{};
        c.WeekClosed = [&] {
          std::array<int32_t, kRoleCount> d, rc, sa, o;
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
          h.demand.push_back(d), h.received.push_back(rc), h.satisfied.push_back(sa);
          h.order.push_back(o);
        };
        StartTrialChain(c, {"F", "D", "W", "R"}, ".");
        for (int p = 1; p <= t.numweeks; ++p) {
          g.ticks.ticks += 3;
          ++g.chain.CurrentWeek;
          SetSubjectOrder(g.chain, static_cast<int16_t>(p % 9));
          CloseWeek(c);
        }
        ASSERT_EQ(h.demand.size(), static_cast<size_t>(t.numweeks));
        // Goods and orders arrive exactly their delays later.
        for (int s = 1; s <= t.numweeks; ++s) {
          const size_t i = static_cast<size_t>(s - 1);
          EXPECT_EQ(h.demand[i][kRetailer], g.trial().WeeklyDemand[i]);
          const int placed = std::max(0, s - orderDelay - 1);
          for (int r = 0; r < kRetailer; ++r) {
            EXPECT_EQ(h.demand[i][r], h.order[static_cast<size_t>(placed)][r + 1]) << s;
          }
          for (int r = 1; r < kRoleCount; ++r) {
            EXPECT_EQ(h.received[i][r], s <= delay ? 4 : h.satisfied[i - delay][r - 1]) << s;
          }
          const int produced = s - 1 - delay;
          EXPECT_EQ(h.received[i][kFactory],
                    produced < 0 ? 4 : h.order[static_cast<size_t>(produced)][kFactory])
              << s;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quarn::testing
