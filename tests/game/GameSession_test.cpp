#include "game/GameSession.h"

#include <gtest/gtest.h>

#include "base/Numbers.h"
#include "db/PlayingMark.h"
#include "tests/game/GameFixture.h"

namespace quarn::testing {
namespace {

class GameSessionTest : public GameTest {};

TEST_F(GameSessionTest, StartOpensTheFirstWeekOfTheResumedTrial) {
  addTrials("Demo", 3, 3);
  addParticipant("P", "Demo");
  db.insert(
      "datRole",
      {{"Subject", "P"}, {"Setting", "Demo"}, {"Trial", 1}, {"Week", 3}, {"Role", "Retailer"}});
  ASSERT_TRUE(start("P", "Demo"));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.shownSubject, "P");
  ASSERT_EQ(view.trials.size(), 1u);
  EXPECT_EQ(view.trials[0].counter, "02 of 03");
  EXPECT_EQ(view.trials[0].participantRole, roleIndex(Role::Retailer));
  ASSERT_EQ(view.weeks.size(), 1u);
  EXPECT_EQ(view.weeks[0].counter, "01 of 03");
}

TEST_F(GameSessionTest, OrderClosesTheWeekAndRecordsIt) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  session.submitOrder(7);
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(view.animations, 1);
  EXPECT_EQ(db.count("datRole", "Subject='P' AND Trial=1 AND Week=1"), 4);
  EXPECT_EQ(db.count("datRole", "Role='Retailer' AND User=6 AND \"Order\"=7"), 1);
  EXPECT_EQ(textLines("P").size(), 1u);
}

TEST_F(GameSessionTest, AnimationFinishedOpensTheNextWeek) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  playWeek();
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.weeks.back().counter, "02 of 03");
  EXPECT_EQ(view.figures.roles[roleIndex(Role::Retailer)].recentOrder, 4);
}

TEST_F(GameSessionTest, MovesOutOfTheirPhaseDoNothing) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  session.animationFinished();
  session.nextTrial();
  EXPECT_FALSE(session.answerPause(""));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  session.submitOrder(4);
  session.submitOrder(4);
  EXPECT_EQ(db.count("datRole"), 4);
}

TEST_F(GameSessionTest, LastWeekEndsTheTrialAndRecordsItOnce) {
  addTrials("Demo", 2, 2);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  playTrial();
  EXPECT_EQ(session.phase(), Phase::TrialOver);
  EXPECT_EQ(view.trialsEnded, 1);
  const std::string cost = decimal(state().chain.roles[roleIndex(Role::Retailer)].totalCost);
  EXPECT_EQ(prompter.last().prompt, "End cost playing as Retailer: " + cost +
                                        "\r\nPress the Next Trial button to continue");
  EXPECT_EQ(db.count("datTrial", "Trial=1 AND EndCost=" + cost), 1);
  EXPECT_TRUE(session.requestExit());
  EXPECT_EQ(db.count("datTrial"), 1);
}

TEST_F(GameSessionTest, ExitDuringTheLastAnimationRecordsTheTrialOnce) {
  addTrials("Demo", 2, 2);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  playWeek();
  session.submitOrder(4);
  ASSERT_EQ(session.phase(), Phase::Animating);
  EXPECT_TRUE(session.requestExit());
  EXPECT_EQ(prompter.last().kind, PromptKind::ConfirmExit);
  EXPECT_EQ(db.count("datTrial"), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=1"), 1);
}

TEST_F(GameSessionTest, ExitAnsweredNoChangesNothing) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  playWeek();
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  EXPECT_FALSE(session.requestExit());
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(db.count("datTrial"), 0);
  EXPECT_EQ(db.count("datPlaying"), 1);
}

TEST_F(GameSessionTest, ExitInTheFirstWeekRecordsNoTrial) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  EXPECT_TRUE(session.requestExit());
  EXPECT_EQ(db.count("datTrial"), 0);
}

TEST_F(GameSessionTest, GameIsHeldWhileAQuestionIsOpen) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  bool heldUnderQuestion = false;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown&) { heldUnderQuestion = session.held(); };
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  session.requestExit();
  EXPECT_TRUE(heldUnderQuestion);
  EXPECT_FALSE(session.held());
}

TEST_F(GameSessionTest, SelfPlayingTrialPlaysEveryWeekWithoutAnOrder) {
  db.insert("tblBlock", planRow(false, {{"Retailer", "Bot"}, {"numweeks", 5}}));
  addParticipant("A", "Demo");
  ASSERT_TRUE(start("A", "Demo"));
  EXPECT_TRUE(view.trials[0].playsItself());
  EXPECT_EQ(session.phase(), Phase::Animating);
  ASSERT_TRUE(view.weeks[0].simulatedOrder.has_value());
  while (session.phase() == Phase::Animating) session.animationFinished();
  EXPECT_EQ(session.phase(), Phase::TrialOver);
  EXPECT_EQ(view.animations, 5);
  EXPECT_EQ(db.count("datRole", "User=0"), 20);
}

TEST_F(GameSessionTest, NextTrialStartsTheFollowingTrial) {
  addTrials("Demo", 2, 1);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  playTrial();
  session.nextTrial();
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.trials.back().counter, "02 of 02");
  playTrial();
  EXPECT_EQ(db.count("datRole", "Trial=2"), 4);
}

TEST_F(GameSessionTest, LastTrialEndsTheGameWithTheCostSum) {
  addTrials("Demo", 2, 1);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  for (int trial = 0; trial < 2; ++trial) {
    playTrial();
    session.nextTrial();
  }
  EXPECT_EQ(session.phase(), Phase::GameOver);
  EXPECT_EQ(view.gameOvers, 1);
  EXPECT_GT(state().costSum, 0);
  EXPECT_EQ(prompter.last().prompt, "Total cost sum over all 2 completed trial(s) is " +
                                        decimal(state().costSum) + "\r\nAlert your moderator.");
  EXPECT_EQ(prompter.last().title, "All 2 Trial(s) Completed");
}

TEST_F(GameSessionTest, PausesWantTheirPasswordsInOrder) {
  addTrials("Paused", 5, 1);
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 2}, {"Password", "two"}});
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 4}, {"Password", "Four"}});
  db.insert("tblPause", {{"Setting", "Other"}, {"Trial", 1}, {"Password", "x"}});
  addParticipant("P", "Paused");
  ASSERT_TRUE(start("P", "Paused"));
  const std::vector<std::vector<std::string>> refused = {{}, {"Four", "Two"}, {}, {"two"}};
  for (size_t trial = 0; trial < refused.size(); ++trial) {
    SCOPED_TRACE(trial + 1);
    playTrial();
    session.nextTrial();
    const bool pause = trial == 1 || trial == 3;
    ASSERT_EQ(session.phase(), pause ? Phase::Paused : Phase::WeekOpen);
    if (!pause) continue;
    for (const std::string& wrong : refused[trial]) EXPECT_FALSE(session.answerPause(wrong));
    EXPECT_EQ(session.phase(), Phase::Paused);
    EXPECT_TRUE(session.answerPause(trial == 1 ? "two" : "Four"));
    EXPECT_EQ(session.phase(), Phase::WeekOpen);
  }
  EXPECT_EQ(view.pauses, 2);
}

TEST_F(GameSessionTest, TrainingIsAnnouncedWithItsLimits) {
  addTrials("Train", 2, 4);
  addTraining("Train");
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  EXPECT_TRUE(session.inTraining());
  EXPECT_EQ(view.training, std::vector<bool>{true});
  EXPECT_EQ(prompter.count(PromptKind::TrainingIntro), 1);
  EXPECT_EQ(prompter.last().prompt,
            "Keep your Inventory/Backorders below 50\r\nand your Cost below 100");
  EXPECT_EQ(prompter.last().title, "Training Constraints");
  EXPECT_EQ(session.recordedTrial(), -1);
}

TEST_F(GameSessionTest, TrainingHandsOverToTheExperimentAfterItsLastTrial) {
  addTrials("Train", 2, 4);
  addTraining("Train", {{"Runs", 1}, {"Weeks", 2}});
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  playTrial();
  session.nextTrial();
  EXPECT_FALSE(session.inTraining());
  EXPECT_EQ(prompter.count(PromptKind::TrainingComplete), 1);
  EXPECT_EQ(view.training, (std::vector<bool>{true, false}));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(session.recordedTrial(), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=-1 AND Training<>0"), 1);
}

TEST_F(GameSessionTest, FailedTrainingTrialIsRecordedAndPlayedAgainUnderTheNextNumber) {
  addTrials("Train", 2, 4);
  addTraining("Train", {{"CostLimit", 10}});  // the Retailer's stock costs 6 a week
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  playWeek();
  playWeek();
  EXPECT_EQ(session.phase(), Phase::RestartPending);
  EXPECT_EQ(prompter.count(PromptKind::TrainingFailed), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=-1"), 1);
  EXPECT_TRUE(session.runPendingRestart());
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(session.recordedTrial(), -2);
  EXPECT_EQ(state().chain.currentWeek, 1);
}

TEST_F(GameSessionTest, RestartWaitsWhileAQuestionIsOpen) {
  addTrials("Train", 1, 4);
  addTraining("Train", {{"CostLimit", 1}});  // broken in the first week: the stock costs 6
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  playWeek();
  ASSERT_EQ(session.phase(), Phase::RestartPending);
  bool restartedUnderQuestion = true;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown&) {
    restartedUnderQuestion = session.runPendingRestart();
  };
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  session.requestExit();
  EXPECT_FALSE(restartedUnderQuestion);
  EXPECT_EQ(session.recordedTrial(), -1);
}

// Each restart returns to the caller, however many there are.
TEST_F(GameSessionTest, RestartsOfATrialThatKeepsFailingNeverNest) {
  addTrials("Train", 1, 4);
  addTraining("Train", {{"CostLimit", 1}});
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  for (int restart = 0; restart < 40; ++restart) {
    playWeek();
    ASSERT_EQ(session.phase(), Phase::RestartPending);
    ASSERT_TRUE(session.runPendingRestart());
  }
  EXPECT_EQ(session.recordedTrial(), -41);
  EXPECT_EQ(view.restartsPending, 40);
  EXPECT_EQ(db.count("datTrial"), 40);
}

TEST_F(GameSessionTest, SkipPasswordRecordsTheTrainingTrialAndBeginsTheExperiment) {
  addTrials("Train", 2, 4);
  addTraining("Train", {{"Runs", 3}, {"Password", "Skip"}});
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  playWeek();
  EXPECT_TRUE(session.skipTraining("Skip"));
  EXPECT_FALSE(session.inTraining());
  EXPECT_EQ(prompter.count(PromptKind::TrainingComplete), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=-1 AND Training<>0 AND Weeks=6"), 1);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(session.recordedTrial(), 1);
  EXPECT_EQ(state().chain.currentWeek, 1);
}

TEST_F(GameSessionTest, WrongSkipPasswordIsSaidAndTrainingGoesOn) {
  addTrials("Train", 2, 4);
  addTraining("Train", {{"Password", "Skip"}});
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  EXPECT_FALSE(session.skipTraining("skip"));
  EXPECT_EQ(prompter.last().prompt, "Incorrect Password");
  EXPECT_TRUE(session.inTraining());
  EXPECT_EQ(db.count("datTrial"), 0);
}

TEST_F(GameSessionTest, SessionGoesOnUnderTheStoredSpelling) {
  addTrials("Demo", 2, 3);
  addParticipant("Kim", "Demo");
  ASSERT_TRUE(start("KIM", "Demo"));
  EXPECT_EQ(view.shownSubject, "Kim");
  playWeek();
  EXPECT_EQ(db.count("datRole", "Subject='Kim'"), 4);
  EXPECT_EQ(textLines("Kim").size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(appFolder / "data" / "KIM.txt"));
}

TEST_F(GameSessionTest, EveryWeekRefreshesTheMarkAndTheEndClearsIt) {
  addTrials("Demo", 2, 3);
  addParticipant("M", "Demo");
  ASSERT_TRUE(start("M", "Demo"));
  const Workstation here = thisWorkstation();
  EXPECT_EQ(db.count("datPlaying", "Subject='M' AND Host='" + here.host +
                                       "' AND Process=" + std::to_string(here.process)),
            1);
  db.exec("UPDATE datPlaying SET LastWeek=0;");
  playWeek();
  EXPECT_EQ(db.count("datPlaying", "LastWeek >= strftime('%s', 'now') - 60"), 1);
  session.endSession();
  EXPECT_EQ(db.count("datPlaying"), 0);
}

TEST_F(GameSessionTest, SessionTakenOverElsewhereEndsAtItsNextWeek) {
  addTrials("Demo", 2, 3);
  addParticipant("M", "Demo");
  ASSERT_TRUE(start("M", "Demo"));
  playWeek();
  db.exec("UPDATE datPlaying SET Host='lab-9', Process=77, Since=0;");
  int code = 0;
  try {
    session.submitOrder(4);
  } catch (const ApplicationEnd& end) {
    code = end.code();
  }
  EXPECT_EQ(code, 1);
  EXPECT_EQ(prompter.last().prompt,
            "M has been taken over by workstation lab-9 (process 77) at " + localTimeText(0) +
                ".\r\nThis session ends here; trial 1, week 2 was not recorded.");
  EXPECT_EQ(db.count("datRole"), 4);
  EXPECT_EQ(db.count("datPlaying", "Host='lab-9'"), 1);
}

TEST_F(GameSessionTest, TrialIsRecordedBeforeItsCostIsSaid) {
  addTrials("Demo", 1, 1);
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  int recordsAtMessage = -1;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind == PromptKind::TrialEnded) recordsAtMessage = db.count("datTrial");
  };
  playTrial();
  EXPECT_EQ(recordsAtMessage, 1);
}

TEST_F(GameSessionTest, SelfPlayedTrialEndsNamingTheChainsCost) {
  db.insert("tblBlock", planRow(false, {{"Retailer", "Bot"}, {"numweeks", 2}}));
  addParticipant("A", "Demo");
  ASSERT_TRUE(start("A", "Demo"));
  while (session.phase() == Phase::Animating) session.animationFinished();
  int64_t sum = 0;
  for (const RoleState& role : state().chain.roles) sum += role.totalCost;
  EXPECT_EQ(prompter.last().prompt, "End total cost for all roles is " + decimal(sum) +
                                        "\r\nPress the Next Trial button to continue");
  EXPECT_EQ(prompter.last().title, "End Trial");
}

// A cost equal to the limit passes; the failure is said before the failed
// trial is recorded.
TEST_F(GameSessionTest, TrainingFailsOnceTheCostRunsAboveItsLimit) {
  addTrials("Train", 1, 4);
  addTraining("Train", {{"CostLimit", 12}});  // the Retailer's stock costs 6 a week
  addParticipant("T", "Train");
  ASSERT_TRUE(start("T", "Train"));
  int32_t costAtFailure = 0;
  int recordsAtFailure = -1;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind != PromptKind::TrainingFailed) return;
    costAtFailure = state().chain.roles[roleIndex(Role::Retailer)].totalCost;
    recordsAtFailure = db.count("datTrial");
  };
  playWeek();
  playWeek();
  EXPECT_EQ(state().chain.roles[roleIndex(Role::Retailer)].totalCost, 12);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  playWeek();
  EXPECT_EQ(session.phase(), Phase::RestartPending);
  EXPECT_GT(costAtFailure, 12);
  EXPECT_EQ(recordsAtFailure, 0);
  EXPECT_EQ(prompter.last().prompt, "Training failed.  Cost ran above 12.  Restarting Trial");
}

}  // namespace
}  // namespace quarn::testing
