#include "plan/PlanBounds.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/Errors.h"
#include "sim/DemandSeries.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

// A typical trial: the participant at the Retailer, Sterman players at the
// other roles, demand 4 stepping to 8, orders limited to tens.
TrialPlan typical(int16_t weeks = 52) {
  TrialPlan t = steadyTrial(weeks, kRetailer);
  t.jumpWeek = 5;
  t.maxOrder = 40;
  t.maxNoise = 2;
  t.rolePlayers = {0, 0, 0, kParticipantPlayer};
  return t;
}

const std::vector<PlayerStrategy> kPlayers = {stermanPlayer(0.26, 0.34, 0.36)};

TrialBounds boundsOf(TrialPlan& t, const std::vector<PlayerStrategy>& players = kPlayers) {
  buildDemand(t, ".");
  return checkTrialBounds(t, players, "numweeks");
}

bool accepted(TrialPlan t) {
  return boundsOf(t).faults.empty();
}

// Plays the whole trial with every participant order `order` and the noise
// draws `draws`; returns the error that ended it, or "".
std::string play(const TrialPlan& t, int16_t order, std::vector<double> draws,
                 const std::vector<PlayerStrategy>& players = kPlayers) {
  SimGame g(t, players);
  g.random.draws = std::move(draws);
  try {
    g.start();
    for (int w = 1; w <= t.weeks; ++w) g.press(order);
  } catch (const QuarnError& e) {
    return e.what();
  }
  return "";
}

struct Field {
  const char* name;
  std::function<void(TrialPlan&, int64_t)> set;
  int64_t low, high;  // the accepted and the refused end of the search
};

// For each field, the largest value the check accepts (the others typical)
// plays a whole trial without an error at either extreme of the
// participant's orders and the noise; one more is refused.
TEST(PlanBounds, LargestAcceptedValueOfEachFieldPlaysAWholeTrial) {
  const std::vector<Field> fields = {
      {"InitInventory", [](TrialPlan& t, int64_t v) { t.initialInventory = int32_t(v); }, 12,
       1LL << 31},
      {"InitDelayAmount", [](TrialPlan& t, int64_t v) { t.initialShipment = int32_t(v); }, 4,
       1LL << 31},
      {"FirstOrder", [](TrialPlan& t, int64_t v) { t.firstOrder = int32_t(v); }, 4, 1LL << 31},
      {"SecondDemand", [](TrialPlan& t, int64_t v) { t.secondDemand = int32_t(v); }, 8, 1LL << 31},
      {"MaxOrder", [](TrialPlan& t, int64_t v) { t.maxOrder = int32_t(v); }, 40, 1LL << 31},
      {"MaxNoise", [](TrialPlan& t, int64_t v) { t.maxNoise = int16_t(v); }, 2, 1LL << 15},
      {"CostBackOrder (hundredths)",
       [](TrialPlan& t, int64_t v) { t.backorderCostRate = double(v) / 100; }, 100, 1LL << 40},
      {"numweeks without costs",
       [](TrialPlan& t, int64_t v) {
         t.weeks = int16_t(v);
         t.jumpWeek = 5;
         t.inventoryCostRate = t.backorderCostRate = 0;
       },
       52, 1LL << 15},
  };
  for (const Field& f : fields) {
    int64_t low = f.low, high = f.high;
    ASSERT_TRUE([&] {
      TrialPlan t = typical();
      f.set(t, low);
      return accepted(t);
    }()) << f.name;
    while (high - low > 1) {
      const int64_t mid = low + (high - low) / 2;
      TrialPlan t = typical();
      f.set(t, mid);
      (accepted(t) ? low : high) = mid;
    }
    TrialPlan largest = typical();
    f.set(largest, low);
    const int16_t safeOrder = boundsOf(largest).largestSafeOrder;
    for (int16_t order : {int16_t{0}, safeOrder}) {
      for (double draw : {0.0, 0.9999999}) {
        EXPECT_EQ(play(largest, order, {draw}), "") << f.name << " " << low << " order " << order;
      }
    }
    if (high < f.high) {
      TrialPlan refused = typical();
      f.set(refused, high);
      EXPECT_FALSE(accepted(refused)) << f.name;
    }
  }
}

// Plans of the shapes labs write: every delay, short and long trials, no,
// steady, stepping and large demand, players that pass on the demand or the
// backorder or anchor and adjust, small and large order limits, no and high
// cost rates, the participant at every stage. None is refused, and each
// plays through at its largest safe order.
TEST(PlanBounds, PlansOfTheShapeLabsWritePass) {
  const std::vector<std::vector<PlayerStrategy>> tables = {
      {demandPlayer()},
      {{.name = "Chaser", .addsDemand = true, .addsBackorder = true}},
      {stermanPlayer(0.26, 0.34, 0.36)},
  };
  int refused = 0, plans = 0;
  for (int16_t delay : {1, 2, 3}) {
    for (int16_t weeks : {2, 12, 30}) {
      for (int32_t demand : {0, 4, 16}) {
        for (const auto& players : tables) {
          for (int16_t role = 0; role < kRoleCount; ++role) {
            for (int32_t maxOrder : {8, 60}) {
              for (double rate : {0.0, 2.5}) {
                TrialPlan t = steadyTrial(weeks, role, delay);
                for (int r = 0; r < kRoleCount; ++r) {
                  if (r != role) t.rolePlayers[static_cast<size_t>(r)] = 0;
                }
                t.initialDemand = demand;
                t.secondDemand = 2 * demand;
                t.jumpWeek = 3;
                t.initialInventory = 13;
                t.initialShipment = 8;
                t.maxOrder = maxOrder;
                t.inventoryCostRate = t.backorderCostRate = t.transitCostRate = rate;
                const TrialBounds b = boundsOf(t, players);
                ++plans;
                if (!b.faults.empty()) {
                  ++refused;
                  ADD_FAILURE() << b.faults.front().complaint;
                  continue;
                }
                EXPECT_EQ(play(t, b.largestSafeOrder, {0.9999999}, players), "");
              }
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(refused, 0) << "of " << plans;
}

// Cost rates so high that a participant ordering the most could run the
// cost sums out of 32 bits: the orders are limited, not the plan refused,
// while ordinary play (ten times the demand) stays possible; a rate that
// leaves less than that is refused.
TEST(PlanBounds, OrdersThatCouldOverflowAreLimitedAndOrdinaryPlayIsKept) {
  TrialPlan limited = typical();
  limited.backorderCostRate = 400;
  const TrialBounds warned = boundsOf(limited);
  ASSERT_TRUE(warned.faults.empty()) << warned.faults.front().complaint;
  const std::string n = std::to_string(warned.largestSafeOrder);
  EXPECT_GT(warned.largestSafeOrder, ordinaryOrderLimit(limited));
  EXPECT_LT(warned.largestSafeOrder, kLargestParticipantOrder);
  ASSERT_EQ(warned.warnings.size(), 1u);
  const std::string& text = warned.warnings[0].complaint;
  EXPECT_EQ(text.rfind("orders above " + n + " could overflow the ", 0), 0u) << text;
  EXPECT_NE(text.find("; the game accepts orders up to " + n + " in this trial"), std::string::npos)
      << text;
  for (double draw : {0.0, 0.9999999}) {
    EXPECT_EQ(play(limited, warned.largestSafeOrder, {draw}), "") << draw;
  }

  TrialPlan refused = typical();
  refused.backorderCostRate = 40000;
  const TrialBounds b = boundsOf(refused);
  ASSERT_EQ(b.faults.size(), 1u);
  EXPECT_NE(b.faults[0].complaint.find("and ordinary play needs orders up to 80 (ten times the "
                                       "largest customer demand, at least 100)"),
            std::string::npos)
      << b.faults[0].complaint;
}

TEST(PlanBounds, OrdinaryPlayIsTenTimesTheLargestDemand) {
  const std::vector<std::pair<int32_t, int32_t>> cases = {
      {0, 100}, {4, 40}, {16, 160}, {5000, 9999}};
  for (const auto& [demand, limit] : cases) {
    TrialPlan t = typical(12);
    t.initialDemand = demand / 2;
    t.secondDemand = demand;
    buildDemand(t, ".");
    EXPECT_EQ(ordinaryOrderLimit(t), limit) << demand;
  }
}

TEST(PlanBounds, TypicalPlansPass) {
  for (int16_t weeks : {20, 52, 100}) {
    TrialPlan t = typical(weeks);
    buildDemand(t, ".");
    const TrialBounds b = checkTrialBounds(t, kPlayers, "numweeks");
    EXPECT_TRUE(b.faults.empty()) << weeks << ": " << b.faults.front().complaint;
    // A participant who always orders 9999 runs the Wholesaler's backorder
    // cost up; ten such trials still fit the game's cost sum.
    EXPECT_LT(b.highestCost * 10, 2147483647.0) << weeks;
  }
}

// The last week's refresh shows Excess; a shown demand and its noise must
// fit the forecast panel's 16 bits.
TEST(PlanBounds, ForecastsBeyondTheirWidthsAreRefused) {
  TrialPlan t = typical(20);
  buildDemand(t, ".");
  const std::vector<std::pair<Forecast, std::string>> cases = {
      {{-5, 8, 0}, "Extent -5 is below 0"},
      {{32760, 8, 0}, "Extent 32760 with numweeks 20 reaches beyond week 32767"},
      {{2, 99999, 0}, "Excess 99999 does not fit"},
      {{2, 32767, 1}, "Excess 32767 with the forecast's MaxNoise 1 does not fit"},
      {{2, 8, 2000000000}, "MaxNoise 2000000000 is above 1073741823"},
  };
  for (const auto& [forecast, complaint] : cases) {
    const std::vector<BoundFault> faults = checkForecastBounds(forecast, t);
    ASSERT_EQ(faults.size(), 1u) << complaint;
    EXPECT_EQ(faults[0].complaint.rfind(complaint, 0), 0u) << faults[0].complaint;
  }
  EXPECT_TRUE(checkForecastBounds({2, 32765, 1}, t).empty());
  EXPECT_TRUE(checkForecastBounds({32747, 8, 0}, t).empty());
}

}  // namespace
}  // namespace quarn::testing
