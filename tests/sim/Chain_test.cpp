#include "sim/Chain.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Errors.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

std::vector<int32_t> latestOrders(SimGame& g) {
  std::vector<int32_t> orders;
  for (int r = 0; r < kRoleCount; ++r) orders.push_back(g.role(r).orderSlots.back());
  return orders;
}

TEST(ShipGoods, ServesWhatItCanAndCarriesTheBackorder) {
  const struct {
    int32_t inventory, arriving, demand, satisfied, after;
  } cases[] = {
      {5, 4, 12, 9, -3},  // short: ships all it has
      {-3, 12, 2, 5, 7},  // the backorder is served with the demand
      {-3, 2, 4, 2, -5},  // in backorder, arrivals ship straight through
      {3, 6, 4, 4, 5},
  };
  for (const auto& k : cases) {
    SimGame g(steadyTrial());
    g.start();
    RoleState& s = g.role(kWholesaler);
    s.inventory = k.inventory;
    s.delaySlots = {k.arriving, 0};
    s.demand = k.demand;
    shipGoods(g.c, kWholesaler);
    EXPECT_EQ(std::vector<int32_t>({s.received, s.satisfied, s.inventory}),
              std::vector<int32_t>({k.arriving, k.satisfied, k.after}))
        << k.inventory << " " << k.arriving << " " << k.demand;
  }
}

// The stock cost is rounded (ties to even) before the transit cost is added.
TEST(ChargeCost, RoundsTheStockCostBeforeAddingTheTransitCost) {
  const struct {
    int32_t inventory, inTransit;
    double transitRate;
    int32_t weekly;
  } cases[] = {
      {7, 0, 0, 4},    // 3.5 -> 4
      {5, 0, 0, 2},    // 2.5 -> 2
      {-4, 0, 0, 4},   // backorder at 1.00
      {5, 9, 0.5, 6},  // 2 + 4.5 = 6.5 -> 6 (7 if rounded once)
  };
  for (const auto& k : cases) {
    SimGame g(steadyTrial());
    g.trial.transitCostRate = k.transitRate;
    g.start();
    RoleState& s = g.role(kWholesaler);
    s.inventory = k.inventory;
    s.delaySlots = {k.inTransit, 0};
    s.totalCost = 10;
    chargeCost(g.c, kWholesaler);
    EXPECT_EQ(s.weeklyCost, k.weekly) << k.inventory << " " << k.inTransit;
    EXPECT_EQ(s.totalCost, 10 + k.weekly);
  }
}

TEST(ChargeCost, RefusesCostsBeyondTheirWidths) {
  const struct {
    std::vector<int32_t> delaySlots;
    int32_t inventory;
    double inventoryRate;
  } cases[] = {
      {{0, 0}, -2147483647 - 1, 0.5},  // its backorder does not fit 32 bits
      {{0, 0}, 2147483647, 2.0},       // nor its inventory cost
  };
  for (const auto& k : cases) {
    SimGame g(steadyTrial());
    g.start();
    RoleState& s = g.role(kFactory);
    s.delaySlots = k.delaySlots;
    s.inventory = k.inventory;
    g.trial.inventoryCostRate = k.inventoryRate;
    EXPECT_THROW(chargeCost(g.c, kFactory), OverflowError) << k.inventory;
  }
}

// The goods in transit only feed the transit cost: their sum may pass what
// 16 bits hold (the whole pipeline of a Delay 3 trial at 20,000 a slot).
TEST(ChargeCost, TransitCostCountsEveryUnitOnItsWay) {
  SimGame g(steadyTrial(20, kNoParticipant, 3));
  g.trial.transitCostRate = 0.5;
  g.start();
  RoleState& s = g.role(kFactory);
  s.delaySlots = {20000, 20000, 20001};
  s.inventory = 0;
  s.totalCost = 0;
  chargeCost(g.c, kFactory);
  EXPECT_EQ(s.weeklyCost, 30000);  // 60,001 x 0.5 = 30,000.5, to even
}

// What a stage can ship is compared with what it is asked for in 64 bits:
// a full stock receiving more still ships just the demand.
TEST(ShipGoods, ShipsTheDemandFromAStockNearTheTopOfItsWidth) {
  SimGame g(steadyTrial());
  g.start();
  RoleState& s = g.role(kWholesaler);
  s.inventory = 2147483600;
  s.delaySlots = {100, 0};
  s.demand = 130;
  shipGoods(g.c, kWholesaler);
  EXPECT_EQ(s.satisfied, 130);
  EXPECT_EQ(s.inventory, 2147483570);
}

TEST(StepWeek, RefusesAChainThatWasNeverStarted) {
  SimGame g(steadyTrial());
  EXPECT_THROW(stepWeek(g.c), QuarnError);
}

TEST(CloseWeek, RefusesAChangedStageBeforeTouchingAnyStage) {
  SimGame g(steadyTrial());
  g.start();
  g.role(kRetailer).delaySlots.push_back(0);
  const int32_t factoryCost = g.role(kFactory).totalCost;
  const std::vector<int32_t> orders = latestOrders(g);
  EXPECT_THROW(g.press(), QuarnError);
  EXPECT_EQ(g.role(kFactory).totalCost, factoryCost);
  EXPECT_EQ(latestOrders(g), orders);
}

// Counts its readings; the time stands still.
class CountingTicks final : public TickCounter {
 public:
  uint32_t now() override {
    ++readings;
    return 1000;
  }
  int readings = 0;
};

// A round of orders (the week's step, or the close of the week up to the
// participant) reads the clock once, at its first noisy order.
TEST(CloseWeek, ReadsTheClockOncePerRoundOfNoisyOrders) {
  const struct {
    int16_t participant, maxNoise;
    int atStart, perPress;
  } cases[] = {
      {kNoParticipant, 2, 1, 1},  // four orders in the step
      {kWholesaler, 2, 1, 2},     // Retailer in the step; Distributor and Factory at the close
      {kFactory, 2, 1, 1},        // nobody orders at the close
      {kWholesaler, 0, 0, 0},     // no noise, no reading
  };
  for (const auto& k : cases) {
    SimGame g(steadyTrial(20, k.participant), {demandPlayer()});
    g.trial.maxNoise = k.maxNoise;
    CountingTicks ticks;
    ChainContext c{g.trial, g.players, g.chain, ticks, g.random, {}};
    startTrialChain(c, ".");
    EXPECT_EQ(ticks.readings, k.atStart) << k.participant << " noise " << k.maxNoise;
    ++g.chain.currentWeek;
    closeWeek(c);
    EXPECT_EQ(ticks.readings - k.atStart, k.perPress) << k.participant << " noise " << k.maxNoise;
  }
}

// Draws 0, .25, .5, .75 give noise -1, 0, 1, 2, one per decision: the
// stages below the participant decide at the start, Retailer first, the
// others after the participant's order.
TEST(CloseWeek, StagesBelowTheParticipantDecideFirstRetailerFirst) {
  TrialPlan t = steadyTrial(20, kDistributor);
  t.maxNoise = 2;
  SimGame g(t, {demandPlayer()});
  g.random.draws = {0.0, 0.25, 0.5, 0.75};
  g.start();
  EXPECT_EQ(latestOrders(g), (std::vector<int32_t>{4, 4, 4, 3}));  // Factory: not decided yet
  g.press(9);
  EXPECT_EQ(latestOrders(g), (std::vector<int32_t>{5, 9, 3, 6}));  // step 2 ran after the costs
}

// In the last two presses the pipelines only turn over: nobody decides.
TEST(CloseWeek, EveryRoleOrdersUntilTheLastTwoPresses) {
  const int16_t weeks = 6;
  for (int16_t participant = kNoParticipant; participant <= kRetailer; ++participant) {
    SCOPED_TRACE(::testing::Message() << "participantRole " << participant);
    SimGame g(steadyTrial(weeks, participant), {demandPlayer()});
    g.trial.maxNoise = 1;
    g.start();
    EXPECT_EQ(g.random.reseeds.size(), static_cast<size_t>(3 - participant));
    const size_t simulated = participant == kNoParticipant ? 4 : 3;
    for (int p = 1; p <= weeks; ++p) {
      const size_t before = g.random.reseeds.size();
      const int32_t turnover =
          participant == kNoParticipant ? 0 : g.role(participant).orderSlots.front();
      g.press(static_cast<int16_t>(90 + p));
      EXPECT_EQ(g.random.reseeds.size() - before, p <= weeks - 2 ? simulated : 0) << p;
      if (participant != kNoParticipant) {
        EXPECT_EQ(g.role(participant).orderSlots.back(), p <= weeks - 2 ? 90 + p : turnover);
      }
    }
  }
}

// What every week of a trial showed, per role.
struct PlayedTrial {
  using Week = std::array<int32_t, kRoleCount>;
  std::vector<Week> demand, received, satisfied;
  std::vector<Week> orders{{4, 4, 4, 4}};  // the latest order after week s (first orders at 0)
  std::vector<std::string> balanceFaults;
  std::vector<int32_t> customerDemand;
};

// Plays a trial of every delay, order delay and participant's role with
// real noise, checking each closed week's books.
PlayedTrial play(int16_t delay, int16_t orderDelay, int16_t participant) {
  TrialPlan t = steadyTrial(26, kNoParticipant, delay);
  t.orderDelay = orderDelay;
  t.jumpWeek = 5;
  t.maxNoise = delay;
  t.transitCostRate = 0.5;
  t.rolePlayers = {0, 1, 0, 2};
  t.participantRole = participant;
  if (participant != kNoParticipant) {
    t.rolePlayers[static_cast<size_t>(participant)] = kParticipantPlayer;
  }
  PlayerStrategy eager = stermanPlayer(0.5, 0.1, 0.6);
  eager.addsBackorder = true;
  SimGame g(t, {stermanPlayer(0.26, 0.34, 0.36), eager, demandPlayer()});
  StandardUniformRandom random;
  ChainContext c{g.trial, g.players, g.chain, g.ticks, random, {}};

  PlayedTrial played;
  PlayedTrial::Week lastInventory{12, 12, 12, 12}, costs{};
  c.weekClosed = [&] {
    PlayedTrial::Week d, rc, sa, o;
    double total = 0;
    for (int r = 0; r < kRoleCount; ++r) {
      const RoleState& s = g.role(r);
      costs[r] += s.weeklyCost;
      const bool balanced = s.deltaInventory == s.received - s.demand &&
                            s.inventory == lastInventory[r] + s.deltaInventory &&
                            s.totalCost == costs[r];
      if (!balanced)
        played.balanceFaults.push_back(roleName(r) + " in week " +
                                       std::to_string(played.demand.size() + 1));
      lastInventory[r] = s.inventory;
      total += s.totalCost;
      d[r] = s.demand, rc[r] = s.received, sa[r] = s.satisfied, o[r] = s.orderSlots.back();
    }
    if (g.trial.totalCost != total) played.balanceFaults.push_back("the trial's total cost");
    played.demand.push_back(d), played.received.push_back(rc);
    played.satisfied.push_back(sa), played.orders.push_back(o);
  };
  startTrialChain(c, ".");
  for (int p = 1; p <= t.weeks; ++p) {
    g.ticks.ticks += 3;
    ++g.chain.currentWeek;
    g.chain.participantOrder = static_cast<int16_t>(p % 9);
    closeWeek(c);
  }
  played.customerDemand = g.trial.weeklyDemand;
  return played;
}

// Runs `check` on a trial played for every delay, order delay and
// participant's role.
template <class Check>
void forEveryChain(Check check) {
  for (int16_t delay = 1; delay <= 3; ++delay) {
    for (int16_t orderDelay = 0; orderDelay <= 2; ++orderDelay) {
      for (int16_t participant = kNoParticipant; participant <= kRetailer; ++participant) {
        SCOPED_TRACE(::testing::Message() << "Delay " << delay << " OrderDelay " << orderDelay
                                          << " participantRole " << participant);
        check(play(delay, orderDelay, participant), delay, orderDelay);
      }
    }
  }
}

TEST(WholeTrial, EveryWeeksBooksBalance) {
  forEveryChain([](const PlayedTrial& played, int, int) {
    EXPECT_EQ(played.demand.size(), 26u);
    EXPECT_TRUE(played.balanceFaults.empty()) << played.balanceFaults.front();
  });
}

// Orders reach the stage upstream orderDelay + 1 weeks after they are
// placed, goods the stage downstream `delay` weeks after they are shipped.
TEST(WholeTrial, OrdersAndGoodsArriveTheirDelaysLater) {
  forEveryChain([](const PlayedTrial& p, int delay, int orderDelay) {
    for (size_t i = 0; i < p.demand.size(); ++i) {
      const int s = static_cast<int>(i) + 1;
      EXPECT_EQ(p.demand[i][kRetailer], p.customerDemand[i]);
      const size_t placed = static_cast<size_t>(std::max(0, s - orderDelay - 1));
      for (int r = 0; r < kRetailer; ++r) EXPECT_EQ(p.demand[i][r], p.orders[placed][r + 1]) << s;
      for (int r = 1; r < kRoleCount; ++r) {
        EXPECT_EQ(p.received[i][r], s <= delay ? 4 : p.satisfied[i - delay][r - 1]) << s;
      }
      const int produced = s - 1 - delay;  // the Factory's own production
      EXPECT_EQ(p.received[i][kFactory],
                produced < 0 ? 4 : p.orders[static_cast<size_t>(produced)][kFactory])
          << s;
    }
  });
}

}  // namespace
}  // namespace quarn::testing
