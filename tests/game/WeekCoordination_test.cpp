// How a week closes: alone by the participant's order, in a team by every
// member's order. The team plays on a FakeTeamStore; the test plays the
// second member (P2, the Factory) by storing its rows there.

#include "game/WeekCoordination.h"

#include "tests/game/FakeTeamStore.h"
#include "tests/game/GameFixture.h"

namespace quarn::testing {
namespace {

using std::chrono::milliseconds;

class WeekCoordinationTest : public GameTest {};

TEST_F(WeekCoordinationTest, ParticipantAloneWaitsForNobody) {
  startDemo(1, 3);
  EXPECT_FALSE(session.watchesTeam());
  EXPECT_FALSE(session.pollTeam(milliseconds(0)));
  session.submitOrder(4);
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_TRUE(view.teamTexts.empty());
}

class TeamWeekTest : public ::testing::Test, protected AppFolderPlan {
 protected:
  TeamWeekTest() {
    prompter.byKind = {{PromptKind::Resume, Answer::Yes}, {PromptKind::ConfirmExit, Answer::Yes}};
    session.setView(&view);
    addTrials("Team", 2, 3, {{"Retailer", "Subject1"}, {"Factory", "Subject2"}});
    addParticipant("P1", "Team");
  }

  bool start() {
    session.openDatabase("quarn.mdb");
    return session.logIn({"P1", "Team", "Green"}) == LoginResult::LoggedIn && session.startGame();
  }
  // P1 keeps member number 1 (the Retailer) when P2 comes first.
  void secondMemberArrives() {
    teams.join(key, "P1", 2);
    teams.join(key, "P2", 2);
  }
  void secondMemberOrders(int16_t week, int32_t order) {
    teams.storeOrder(key, {1, false, week, 2, order, "P2", 900});
  }
  void firstMemberOrdered(int16_t week, int32_t order) {
    teams.storeOrder(key, {1, false, week, 1, order, "P1", 800});
  }
  const GameState& state() const { return session.state(); }
  int recordedRows(int week) {
    return db.count("datRole", "Subject='P1' AND Week=" + std::to_string(week));
  }

  TeamKey key{"Team", "Green"};
  FakeTeamStore teams;
  FakeTeamStores stores{db.stores, teams};
  ScriptedPrompter prompter;
  ManualTickCounter ticks;
  FixedRandom random;
  DatabaseAccess access{stores, prompter, random};
  GameSession session{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                   appFolder.string()}};
  RecordingView view;
};

TEST_F(TeamWeekTest, TeamTrialWaitsForItsMembersToForm) {
  ASSERT_TRUE(start());
  EXPECT_EQ(session.phase(), Phase::FormingTeam);
  EXPECT_TRUE(session.watchesTeam());
  EXPECT_EQ(view.teamTexts.back(), "Waiting for your team: 1 of 2 here (P1)");
  EXPECT_FALSE(session.submitOrder(4));
  EXPECT_TRUE(teams.recorded.empty()) << "nothing is recorded before the team is complete";

  secondMemberArrives();
  EXPECT_TRUE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.teamTexts.back(), "");
  ASSERT_EQ(teams.recorded.size(), 1u);
  EXPECT_EQ(teams.recorded[0].role, "Retailer");
}

// The look that finds the team complete starts its trial with the members it
// read.
TEST_F(TeamWeekTest, TeamFoundCompleteStartsWithoutReadingItsMembersAgain) {
  ASSERT_TRUE(start());
  secondMemberArrives();
  teams.memberReads = 0;
  ASSERT_TRUE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(teams.memberReads, 1);
}

TEST_F(TeamWeekTest, MemberOrderWaitsUntilEveryMemberOrdered) {
  secondMemberArrives();
  ASSERT_TRUE(start());
  ASSERT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_TRUE(session.submitOrder(5));
  EXPECT_EQ(session.phase(), Phase::WaitingForTeam);
  EXPECT_EQ(view.teamTexts.back(), "Waiting for the Factory...");
  EXPECT_EQ(view.animations, 0);
  EXPECT_EQ(recordedRows(1), 0);
  EXPECT_FALSE(session.pollTeam(milliseconds(0))) << "nothing changed";

  secondMemberOrders(1, 7);
  EXPECT_TRUE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(view.animations, 1);
  EXPECT_EQ(state().chain.roles[roleIndex(Role::Retailer)].orderSlots.back(), 5);
  EXPECT_GT(recordedRows(1), 0);
}

TEST_F(TeamWeekTest, OrderWhoseNotificationWasLostIsFoundByALookAWhileLater) {
  secondMemberArrives();
  ASSERT_TRUE(start());
  session.submitOrder(5);
  ASSERT_EQ(session.phase(), Phase::WaitingForTeam);
  teams.losesNotifications = true;
  secondMemberOrders(1, 7);
  ticks.ticks += 1999;
  EXPECT_FALSE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(session.phase(), Phase::WaitingForTeam);
  ticks.ticks += 1;
  EXPECT_TRUE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(session.phase(), Phase::Animating);
}

TEST_F(TeamWeekTest, LastMemberToOrderPlaysTheWeekAtOnce) {
  secondMemberArrives();
  secondMemberOrders(1, 7);
  ASSERT_TRUE(start());
  EXPECT_TRUE(session.submitOrder(5));
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(view.animations, 1);
}

TEST_F(TeamWeekTest, WorkstationStartedAgainReplaysAndRecordsTheStoredWeeks) {
  secondMemberArrives();
  for (int16_t week = 1; week <= 2; ++week) {
    firstMemberOrdered(week, 5);
    secondMemberOrders(week, 7);
  }
  ASSERT_TRUE(start());
  EXPECT_EQ(view.replays, 2);
  EXPECT_EQ(view.animations, 0);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.weeks.back().counter, "03 of 03");
  EXPECT_GT(recordedRows(1), 0);
  EXPECT_GT(recordedRows(2), 0);
}

TEST_F(TeamWeekTest, OrderStoredBeforeAStartAgainIsNotAskedForAgain) {
  secondMemberArrives();
  firstMemberOrdered(1, 5);
  ASSERT_TRUE(start());
  EXPECT_EQ(session.phase(), Phase::WaitingForTeam);
  EXPECT_EQ(view.weeks.back().counter, "01 of 03");
}

TEST_F(TeamWeekTest, ExitLeavesAHalfPlayedTeamTrialUnrecorded) {
  secondMemberArrives();
  secondMemberOrders(1, 7);
  ASSERT_TRUE(start());
  session.submitOrder(5);
  session.animationFinished();
  ASSERT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_TRUE(session.requestExit());
  EXPECT_EQ(db.count("datTrial", "Subject='P1'"), 0);
}

// A team smaller than the setting's teams plays with its students alone: a
// simulated player took the open member number from the start, so the team
// is complete, and the student's order plays the week with the player's
// order at the open stage.
TEST_F(TeamWeekTest, StudentWithAnOpenMemberPlaysEachWeekWithTheSimulatedPlayer) {
  teams.join(key, "P1", 2);
  teams.giveOpenMembers(key, 2, "Bot", {{"Retailer", "Factory"}, {"Retailer", "Factory"}});
  ASSERT_TRUE(start());
  ASSERT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_TRUE(session.submitOrder(5));
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(state().chain.roles[roleIndex(Role::Factory)].playerName, "Bot");
  EXPECT_EQ(db.count("datRole", "Subject='P1' AND Week=1 AND Role='Factory' AND User=0"), 1);
}

// In training played together the player plays the open stage too.
TEST_F(TeamWeekTest, TeamTrainingTogetherHasThePlayerOnTheOpenStage) {
  addTraining("Team", {{"Retailer", "Subject1"}, {"Factory", "Subject2"}, {"Runs", 1}});
  teams.join(key, "P1", 2);
  teams.giveOpenMembers(key, 2, "Bot", {{"Retailer", "Factory"}, {"Retailer", "Factory"}});
  ASSERT_TRUE(start());
  ASSERT_TRUE(state().training.active);
  ASSERT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_TRUE(session.submitOrder(5));
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(state().chain.roles[roleIndex(Role::Factory)].playerName, "Bot");
}

// The team's weeks have a clock of 20 seconds, ordering the last order.
class TeamClockTest : public TeamWeekTest {
 protected:
  TeamClockTest() { db.insert("tblSetting", {{"Setting", "Team"}, {"WeekSeconds", 20}}); }
  std::vector<TypedOrder> ordersOfWeek(int16_t week) {
    std::vector<TypedOrder> found;
    for (const TypedOrder& o : teams.orders(key, 1, false)) {
      if (o.week == week) found.push_back(o);
    }
    return found;
  }
  int userOf(const char* role, int week) {
    const auto rows = db.rows("SELECT User FROM datRole WHERE Subject = 'P1' AND Role = '" +
                              std::string(role) + "' AND Week = " + std::to_string(week));
    return rows.size() == 1 ? static_cast<int>(std::get<int64_t>(rows[0].at("User"))) : -1;
  }
};

// A member who is gone does not stop the team: once the week's time ran
// out, a member waiting in it orders for the late member by the clock's
// rule (here the late member's order of the week before), and the week
// plays.
TEST_F(TeamClockTest, WaitingMemberOrdersForALateMemberOnceTheWeeksTimeRanOut) {
  secondMemberArrives();
  secondMemberOrders(1, 7);
  ASSERT_TRUE(start());
  ASSERT_TRUE(session.submitOrder(5));  // the last order of week 1: it plays at once
  const uint32_t weekStart = 1'000;
  ticks.ticks = weekStart;
  session.animationFinished();
  ASSERT_EQ(session.phase(), Phase::WeekOpen);
  ticks.ticks = weekStart + 5'000;
  ASSERT_TRUE(session.submitOrder(6));
  ASSERT_EQ(session.phase(), Phase::WaitingForTeam);
  EXPECT_TRUE(session.clockRuns());
  ticks.ticks = weekStart + 19'999;
  session.runClock();
  EXPECT_EQ(ordersOfWeek(2).size(), 1u) << "the late member's time has not run out";
  ticks.ticks = weekStart + 20'000;
  session.runClock();
  const std::vector<TypedOrder> week2 = ordersOfWeek(2);
  ASSERT_EQ(week2.size(), 2u);
  EXPECT_EQ(week2[1], (TypedOrder{1, false, 2, 2, 7, "P2", 20'000, true}));
  EXPECT_TRUE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(userOf("Retailer", 2), 6);
  EXPECT_EQ(userOf("Factory", 2), 7);
  EXPECT_TRUE(view.clockTexts.empty()) << "the waiting member's own order was typed";
}

// A member whose week another member's workstation ordered by the clock
// before the member's own order came plays the week with the clock's
// order, reads so, and records it as the clock's.
TEST_F(TeamClockTest, OrderComingAfterTheClocksIsToldWhatTheWeekWasPlayedWith) {
  secondMemberArrives();
  ASSERT_TRUE(start());
  teams.storeClockOrder(key, {1, false, 1, 1, 0, "P1", 20'000, true}, "P2");
  secondMemberOrders(1, 7);
  ASSERT_TRUE(session.submitOrder(9));
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(view.clockTexts,
            std::vector<std::string>{"The time for this week ran out: 0 was ordered for you."});
  EXPECT_EQ(state().chain.roles[roleIndex(Role::Retailer)].orderSlots.back(), 0);
  EXPECT_EQ(userOf("Retailer", 1), 8);
}

// A member's own clock order is stored as the clock's, and so recorded,
// also by a workstation that starts again and replays it.
TEST_F(TeamClockTest, MembersClockOrderIsRecordedAsTheClocksWhereverItWasMade) {
  secondMemberArrives();
  ASSERT_TRUE(start());
  ticks.ticks = 20'000;
  EXPECT_TRUE(session.runClock());
  ASSERT_EQ(ordersOfWeek(1).size(), 1u);
  EXPECT_TRUE(ordersOfWeek(1)[0].clock);
  EXPECT_EQ(view.clockTexts.back(), "The time for this week ran out: 0 was ordered for you.");
  secondMemberOrders(1, 7);
  EXPECT_TRUE(session.pollTeam(milliseconds(0)));
  EXPECT_EQ(userOf("Retailer", 1), 8);

  session.endSession();
  db.exec("DELETE FROM datRole");
  GameSession again{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                 appFolder.string()}};
  again.openDatabase("quarn.mdb");
  ASSERT_EQ(again.logIn({"P1", "Team", "Green"}), LoginResult::LoggedIn);
  ASSERT_TRUE(again.startGame());
  EXPECT_EQ(userOf("Retailer", 1), 8);
}

}  // namespace
}  // namespace quarn::testing
