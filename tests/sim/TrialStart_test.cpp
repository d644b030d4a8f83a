#include "sim/TrialStart.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "sim/DemandSeries.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(TrialStart, SetsEveryStageUpFromThePlanAndPlaysWeekOne) {
  TrialPlan t = steadyTrial(10, kDistributor, 3);
  t.orderDelay = 2;
  t.rolePlayers = {0, kParticipantPlayer, 0, 0};
  SimGame g(t, {demandPlayer()});
  g.start();
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleState& s = g.role(r);
    EXPECT_EQ(s.roleName, roleName(r));
    EXPECT_EQ(s.playerName, r == kDistributor ? "Subject" : "Follower");
    EXPECT_EQ(s.delaySlots.size(), 3u);
    EXPECT_EQ(s.orderSlots.size(), 3u);
    EXPECT_EQ(s.inventory, 12);  // 12 + 4 arriving - 4 shipped
  }
  EXPECT_EQ(g.chain.currentWeek, 1);
  EXPECT_EQ(g.trial.weeklyDemand.size(), 11u);
}

// Values the arrays cannot hold, or a demand file that cannot be read.
TEST(TrialStart, RefusedStartTouchesNothing) {
  for (auto spoil :
       {+[](TrialPlan& t) { t.delay = 4; }, +[](TrialPlan& t) { t.orderDelay = -1; },
        +[](TrialPlan& t) { t.rolePlayers[2] = 1; }, +[](TrialPlan& t) { t.participantRole = 4; },
        +[](TrialPlan& t) { t.inputFile = "no-such-demand.txt"; }}) {
    TrialPlan t = steadyTrial();
    spoil(t);
    SimGame g(t);
    g.chain.currentWeek = 7;
    EXPECT_THROW(g.start(), QuarnError);
    EXPECT_EQ(g.chain.currentWeek, 7);
    EXPECT_TRUE(g.role(kFactory).orderSlots.empty());
  }
}

// Each stage's inventory and latest order of every week of a whole trial.
std::vector<int32_t> playToTheEnd(SimGame& g) {
  std::vector<int32_t> weeks;
  for (int p = 1; p <= g.trial.weeks; ++p) {
    g.press(static_cast<int16_t>(p));
    for (int r = 0; r < kRoleCount; ++r) {
      weeks.push_back(g.role(r).inventory);
      weeks.push_back(g.role(r).orderSlots.back());
    }
  }
  return weeks;
}

TEST(TrialStart, RestartPlaysAsAFreshStartWithoutReadingTheFileAgain) {
  std::string folder = (std::filesystem::temp_directory_path() / "quarn-sim-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  std::ofstream(folder + "/demand.txt") << "4\n4\n9\n12\n3\n7\n";
  TrialPlan t = steadyTrial(6, kWholesaler);
  t.inputFile = "demand.txt";
  SimGame g(t, {stermanPlayer(0.3, 0.4, 0.5)});
  g.start(folder);
  const std::vector<int32_t> first = playToTheEnd(g);
  std::filesystem::remove_all(folder);

  restartTrialChain(g.c);
  EXPECT_EQ(g.chain.currentWeek, 1);
  EXPECT_EQ(playToTheEnd(g), first);
}

TEST(TrialStart, RefusesARestartWithoutTheTrialsDemand) {
  for (const bool built : {false, true}) {
    SimGame g(steadyTrial(20));
    if (built) {
      buildDemand(g.trial, ".");
      g.trial.weeks = 30;  // the series holds 20 weeks
    }
    g.chain.currentWeek = 7;
    EXPECT_THROW(restartTrialChain(g.c), QuarnError) << built;
    EXPECT_EQ(g.chain.currentWeek, 7);
    EXPECT_TRUE(g.role(kFactory).orderSlots.empty());
  }
}

}  // namespace
}  // namespace quarn::testing
