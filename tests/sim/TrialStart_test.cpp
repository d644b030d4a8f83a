#include "sim/TrialStart.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
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

TEST(TrialStart, RefusesValuesTheArraysCannotHoldAndTouchesNothing) {
  for (auto spoil : {+[](TrialPlan& t) { t.delay = 4; }, +[](TrialPlan& t) { t.orderDelay = -1; },
                     +[](TrialPlan& t) { t.rolePlayers[2] = 1; },
                     +[](TrialPlan& t) { t.participantRole = 4; }}) {
    TrialPlan t = steadyTrial();
    spoil(t);
    SimGame g(t);
    g.chain.currentWeek = 7;
    EXPECT_THROW(g.start(), QuarnError);
    EXPECT_EQ(g.chain.currentWeek, 7);
    EXPECT_TRUE(g.role(kFactory).orderSlots.empty());
  }
}

TEST(TrialStart, BadDemandFileLeavesTheChainAlone) {
  TrialPlan t = steadyTrial();
  t.inputFile = "no-such-demand.txt";
  SimGame g(t);
  g.chain.currentWeek = 7;
  EXPECT_THROW(g.start("."), QuarnError);
  EXPECT_EQ(g.chain.currentWeek, 7);
  EXPECT_TRUE(g.role(kFactory).orderSlots.empty());
}

}  // namespace
}  // namespace quarn::testing
