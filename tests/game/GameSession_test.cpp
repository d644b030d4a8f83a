#include "game/GameSession.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/Numbers.h"
#include "db/PlayingMark.h"
#include "sim/SimulatedPlayer.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"
#include "tests/game/GameFixture.h"

namespace quarn::testing {
namespace {

class GameSessionTest : public GameTest {};

TEST_F(GameSessionTest, StartOpensTheFirstWeekOfTheResumedTrial) {
  addTrials("Demo", 3, 3);
  addParticipant("P", "Demo");
  for (int16_t r = 0; r < kRoleCount; ++r) {
    db.insert(
        "datRole",
        {{"Subject", "P"}, {"Setting", "Demo"}, {"Trial", 1}, {"Week", 3}, {"Role", roleName(r)}});
  }
  ASSERT_TRUE(start("P", "Demo"));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.shownSubject, "P");
  ASSERT_EQ(view.trials.size(), 1u);
  EXPECT_EQ(view.trials[0].counter, "02 of 03");
  EXPECT_EQ(view.trials[0].participantRole, roleIndex(Role::Retailer));
  EXPECT_EQ(view.weeks.at(0).counter, "01 of 03");
}

TEST_F(GameSessionTest, OrderClosesTheWeekAndRecordsIt) {
  startDemo(1, 3);
  session.submitOrder(7);
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(view.animations, 1);
  EXPECT_EQ(db.count("datRole", "Trial=1 AND Week=1"), 4);
  EXPECT_EQ(db.count("datRole", "Role='Retailer' AND User=6 AND \"Order\"=7"), 1);
  EXPECT_EQ(textLines("P").size(), 1u);
}

// Cost rates so high that the largest orders could run the costs out of
// their widths: orders above the trial's largest safe order are refused
// with a message, nothing is written, and the week stays open; the largest
// safe order plays the whole trial.
TEST_F(GameSessionTest, OrderAboveTheTrialsLargestOrderIsRefusedAndTheWeekStaysOpen) {
  addTrials("Demo", 1, 52, {{"CostBackOrder", 1000.0}});
  addParticipant("P", "Demo");
  ASSERT_TRUE(start("P", "Demo"));
  const int largest = state().plan.current().largestOrder;
  ASSERT_GT(largest, 80);
  ASSERT_LT(largest, kLargestParticipantOrder);
  EXPECT_FALSE(session.submitOrder(largest + 1));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(prompter.last().kind, PromptKind::OrderAboveLimit);
  EXPECT_EQ(prompter.last().prompt, "Orders in this trial are at most " + std::to_string(largest));
  EXPECT_EQ(db.count("datRole"), 0);
  EXPECT_TRUE(textLines("P").empty());
  playTrial(largest);
  EXPECT_EQ(session.phase(), Phase::TrialOver);
  EXPECT_EQ(db.count("datRole"), 4 * 52);
  EXPECT_EQ(
      db.count("datRole", "Role='Retailer' AND Week=1 AND \"Order\"=" + std::to_string(largest)),
      1);
}

TEST_F(GameSessionTest, AnimationFinishedOpensTheNextWeek) {
  startDemo(1, 3);
  playWeek();
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.weeks.back().counter, "02 of 03");
  EXPECT_EQ(view.figures.roles[roleIndex(Role::Retailer)].recentOrder, 4);
}

TEST_F(GameSessionTest, MovesOutOfTheirPhaseDoNothing) {
  startDemo(1, 3);
  session.animationFinished();
  session.nextTrial();
  EXPECT_FALSE(session.answerPause(""));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  session.submitOrder(4);
  session.submitOrder(4);
  EXPECT_EQ(db.count("datRole"), 4);
}

// The record is written before the end cost is said.
TEST_F(GameSessionTest, LastWeekEndsTheTrialRecordedThenSaysItsCost) {
  startDemo(2, 2);
  int recordsAtMessage = -1;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind == PromptKind::TrialEnded) recordsAtMessage = db.count("datTrial");
  };
  playTrial();
  EXPECT_EQ(session.phase(), Phase::TrialOver);
  EXPECT_EQ(view.trialsEnded, 1);
  EXPECT_EQ(recordsAtMessage, 1);
  const std::string cost = decimal(state().chain.roles[roleIndex(Role::Retailer)].totalCost);
  EXPECT_EQ(prompter.last().prompt, "End cost playing as Retailer: " + cost +
                                        "\r\nPress the Next Trial button to continue");
  EXPECT_EQ(db.count("datTrial", "Trial=1 AND EndCost=" + cost), 1);
}

// However the trial got there: the first week unplayed records nothing; the
// last week's animation, the trial's end or a pending training restart have
// a record already, which is not written twice.
TEST_F(GameSessionTest, ExitRecordsTheTrialInProgressOnce) {
  const struct {
    const char* name;
    int weeks;         // played before the exit question
    bool lastOrdered;  // the last week ordered, its animation running
    bool training;
    int records;
  } cases[] = {{"first week", 0, false, false, 0},
               {"last animation", 1, true, false, 1},
               {"trial over", 2, false, false, 1},
               {"restart pending", 2, false, true, 1}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    db.exec(
        "DELETE FROM tblBlock; DELETE FROM tblTraining; DELETE FROM datUser; "
        "DELETE FROM datRole; DELETE FROM datTrial; DELETE FROM datPlaying;");
    GameSession game = freshSession();
    addTrials("Demo", 2, 2);
    if (k.training) addTraining("Demo", {{"CostLimit", 7}});  // broken in week 2
    addParticipant("X", "Demo");
    game.openDatabase("quarn.mdb");
    ASSERT_EQ(game.logIn({"X", "Demo", ""}), LoginResult::LoggedIn);
    ASSERT_TRUE(game.startGame());
    for (int week = 0; week < k.weeks; ++week) {
      game.submitOrder(4);
      game.animationFinished();
    }
    if (k.lastOrdered) game.submitOrder(4);
    EXPECT_TRUE(game.requestExit());
    EXPECT_EQ(prompter.last().kind, PromptKind::ConfirmExit);
    EXPECT_EQ(db.count("datTrial"), k.records);
  }
}

TEST_F(GameSessionTest, ExitAnsweredNoChangesNothing) {
  startDemo(1, 3);
  playWeek();
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  EXPECT_FALSE(session.requestExit());
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(db.count("datTrial"), 0);
  EXPECT_EQ(db.count("datPlaying"), 1);
}

TEST_F(GameSessionTest, SelfPlayingTrialPlaysEveryWeekAndNamesTheChainsCost) {
  db.insert("tblBlock", planRow(false, {{"Retailer", "Bot"}, {"numweeks", 5}}));
  addParticipant("A", "Demo");
  ASSERT_TRUE(start("A", "Demo"));
  EXPECT_TRUE(view.trials[0].playsItself());
  ASSERT_TRUE(view.weeks[0].simulatedOrder.has_value());
  while (session.phase() == Phase::Animating) session.animationFinished();
  EXPECT_EQ(session.phase(), Phase::TrialOver);
  EXPECT_EQ(view.animations, 5);
  EXPECT_EQ(db.count("datRole", "User=0"), 20);
  int64_t sum = 0;
  for (const RoleState& role : state().chain.roles) sum += role.totalCost;
  EXPECT_EQ(prompter.last().prompt, "End total cost for all roles is " + decimal(sum) +
                                        "\r\nPress the Next Trial button to continue");
  EXPECT_EQ(prompter.last().title, "End Trial");
}

TEST_F(GameSessionTest, NextTrialStartsTheFollowingTrial) {
  startDemo(2, 1);
  playTrial();
  session.nextTrial();
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.trials.back().counter, "02 of 02");
  playTrial();
  EXPECT_EQ(db.count("datRole", "Trial=2"), 4);
}

TEST_F(GameSessionTest, LastTrialEndsTheGameWithTheCostSum) {
  startDemo(2, 1);
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

// Which pause is due and which password passes it is the PauseSchedule's.
TEST_F(GameSessionTest, DuePauseHoldsTheNextTrialUntilItsPassword) {
  addTrials("Paused", 2, 1);
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 1}, {"Password", "two"}});
  addParticipant("P", "Paused");
  ASSERT_TRUE(start("P", "Paused"));
  playTrial();
  session.nextTrial();
  EXPECT_EQ(session.phase(), Phase::Paused);
  EXPECT_EQ(view.pauses, 1);
  EXPECT_FALSE(session.answerPause("Two"));
  EXPECT_EQ(session.phase(), Phase::Paused);
  EXPECT_TRUE(session.answerPause("two"));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(view.trials.back().counter, "02 of 02");
}

// A participant who comes back after trial 1 (the workstation stopped in the
// pause that follows it) waits in that pause before trial 2; the pause after
// trial 2 still comes.
TEST_F(GameSessionTest, ResumeAfterATrialThatAPauseFollowsWaitsInThatPause) {
  addTrials("Paused", 3, 1);
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 1}, {"Password", "one"}});
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 2}, {"Password", "two"}});
  addParticipant("P", "Paused");
  for (int16_t r = 0; r < kRoleCount; ++r) {
    db.insert("datRole", {{"Subject", "P"},
                          {"Setting", "Paused"},
                          {"Trial", 1},
                          {"Week", 1},
                          {"Role", roleName(r)}});
  }
  ASSERT_TRUE(start("P", "Paused"));
  EXPECT_EQ(session.phase(), Phase::Paused);
  EXPECT_EQ(view.pauses, 1);
  EXPECT_TRUE(view.trials.empty());
  EXPECT_FALSE(session.answerPause("two"));
  EXPECT_TRUE(session.answerPause("one"));
  EXPECT_EQ(view.trials.at(0).counter, "02 of 03");
  playTrial();
  session.nextTrial();
  EXPECT_EQ(session.phase(), Phase::Paused);
  EXPECT_EQ(view.pauses, 2);
}

// The game-over total counts the trials recorded before the resume too: the
// four stages' total costs in each trial's last recorded week.
TEST_F(GameSessionTest, GameOverTotalCountsTheTrialsRecordedBeforeTheResume) {
  addTrials("Demo", 2, 2);
  addParticipant("P", "Demo");
  const char* roles[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};
  for (int week = 1; week <= 2; ++week) {
    for (int r = 0; r < 4; ++r) {
      db.insert("datRole", {{"Subject", "P"},
                            {"Setting", "Demo"},
                            {"Trial", 1},
                            {"Training", 0},
                            {"Week", week},
                            {"Role", roles[r]},
                            {"TotalCost", week * 10 * (r + 1)}});
    }
  }
  ASSERT_TRUE(start("P", "Demo"));
  playTrial();
  session.nextTrial();
  ASSERT_EQ(session.phase(), Phase::GameOver);
  const int32_t trial2 = toInt32(state().plan.current().totalCost);
  EXPECT_EQ(state().costSum, 200 + trial2);
  EXPECT_EQ(prompter.last().prompt, "Total cost sum over all 2 completed trial(s) is " +
                                        decimal(200 + trial2) + "\r\nAlert your moderator.");
}

TEST_F(GameSessionTest, TrainingIsAnnouncedWithItsLimits) {
  startTraining({});
  EXPECT_TRUE(session.inTraining());
  EXPECT_EQ(view.training, std::vector<bool>{true});
  EXPECT_EQ(prompter.count(PromptKind::TrainingIntro), 1);
  EXPECT_EQ(prompter.last().prompt,
            "Keep your Inventory/Backorders below 50\r\nand your Cost below 100");
  EXPECT_EQ(prompter.last().title, "Training Constraints");
  EXPECT_EQ(session.recordedTrial(), -1);
}

TEST_F(GameSessionTest, TrainingHandsOverToTheExperimentAfterItsLastTrial) {
  startTraining({{"Runs", 1}, {"Weeks", 2}});
  playTrial();
  session.nextTrial();
  EXPECT_FALSE(session.inTraining());
  EXPECT_EQ(prompter.count(PromptKind::TrainingComplete), 1);
  EXPECT_EQ(view.training, (std::vector<bool>{true, false}));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(session.recordedTrial(), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=-1 AND Training<>0"), 1);
}

// A participant stopped in the first experiment trial trains again on
// return, recorded below 0 like any training trial.
TEST_F(GameSessionTest, TrainingAfterAResumeIsRecordedBelowZero) {
  addTrials("Train", 2, 4);
  addTraining("Train", {{"Runs", 1}, {"Weeks", 2}});
  addParticipant("T", "Train");
  for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
    db.insert("datRole", {{"Subject", "T"},
                          {"Setting", "Train"},
                          {"Trial", 1},
                          {"Training", 0},
                          {"Week", 1},
                          {"Role", role}});
  }
  ASSERT_TRUE(start("T", "Train"));
  ASSERT_TRUE(session.inTraining());
  playTrial();
  session.nextTrial();
  EXPECT_FALSE(session.inTraining());
  EXPECT_EQ(db.count("datTrial", "Training<>0"), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=-1 AND Training<>0"), 1);
  EXPECT_EQ(db.count("datRole", "Trial=-1"), 8);
  EXPECT_EQ(db.count("datRole", "Trial>=0 AND Training<>0"), 0);
}

// The limits themselves are the Training unit's; here: the failure is said,
// then the trial is recorded and played again under the next number.
TEST_F(GameSessionTest, FailedTrainingTrialIsRecordedAndPlayedAgainUnderTheNextNumber) {
  startTraining({{"CostLimit", 10}});  // the Retailer's stock costs 6 a week
  int recordsAtFailure = -1;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind == PromptKind::TrainingFailed) recordsAtFailure = db.count("datTrial");
  };
  playWeek();
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  playWeek();
  EXPECT_EQ(session.phase(), Phase::RestartPending);
  EXPECT_EQ(prompter.last().prompt, "Training failed.  Cost ran above 10.  Restarting Trial");
  EXPECT_EQ(recordsAtFailure, 0);
  EXPECT_EQ(db.count("datTrial", "Trial=-1"), 1);
  EXPECT_TRUE(session.runPendingRestart());
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(session.recordedTrial(), -2);
  EXPECT_EQ(state().chain.currentWeek, 1);
}

TEST_F(GameSessionTest, RestartWaitsWhileAQuestionIsOpen) {
  startTraining({{"CostLimit", 7}});  // the stock costs 6 a week: broken in week 2
  playWeek();
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
  startTraining({{"CostLimit", 7}});
  for (int restart = 0; restart < 40; ++restart) {
    playWeek();
    playWeek();
    ASSERT_TRUE(session.runPendingRestart());
  }
  EXPECT_EQ(session.recordedTrial(), -41);
  EXPECT_EQ(view.restartsPending, 40);
  EXPECT_EQ(db.count("datTrial"), 40);
}

TEST_F(GameSessionTest, SkipPasswordRecordsTheTrainingTrialAndBeginsTheExperiment) {
  startTraining({{"Runs", 3}, {"Password", "Skip"}});
  playWeek();
  EXPECT_FALSE(session.skipTraining("skip"));
  EXPECT_EQ(prompter.last().prompt, "Incorrect Password");
  EXPECT_TRUE(session.inTraining());
  EXPECT_TRUE(session.skipTraining("Skip"));
  EXPECT_FALSE(session.inTraining());
  EXPECT_EQ(prompter.count(PromptKind::TrainingComplete), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=-1 AND Training<>0 AND Weeks=6"), 1);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(session.recordedTrial(), 1);
  EXPECT_EQ(state().chain.currentWeek, 1);
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
  startDemo(2, 3);
  const Workstation here = thisWorkstation();
  EXPECT_EQ(db.count("datPlaying", "Subject='P' AND Host='" + here.host +
                                       "' AND Process=" + std::to_string(here.process)),
            1);
  db.exec("UPDATE datPlaying SET LastWeek=0;");
  playWeek();
  EXPECT_EQ(db.count("datPlaying", "LastWeek >= strftime('%s', 'now') - 60"), 1);
  session.endSession();
  EXPECT_EQ(db.count("datPlaying"), 0);
}

// The file's stores, counting the reads of the setting's tblBlock rows and of
// its display configurations.
class BlockCountingStores final : public Stores, private PlanStore {
 public:
  explicit BlockCountingStores(Stores& inner) : m_inner(inner) {}
  PlanStore& plan() override { return *this; }
  ParticipantStore& participants() override { return m_inner.participants(); }
  ResultStore& results() override { return m_inner.results(); }
  std::string location() const override { return m_inner.location(); }
  void setLocation(const std::string& location) override { m_inner.setLocation(location); }
  int blockReads = 0;
  int displayReads = 0;

 private:
  PlanStore& inner() { return m_inner.plan(); }
  Rows players() override { return inner().players(); }
  Rows blockRows(const std::string& setting) override {
    ++blockReads;
    return inner().blockRows(setting);
  }
  Rows trainingRows(const std::string& setting) override { return inner().trainingRows(setting); }
  Rows pauseRows(const std::string& setting) override { return inner().pauseRows(setting); }
  std::optional<Row> predicter(const std::string& name) override { return inner().predicter(name); }
  std::optional<Row> displayConfiguration(const std::string& name) override {
    ++displayReads;
    return inner().displayConfiguration(name);
  }
  std::optional<Row> displayOption(const std::string& name) override {
    return inner().displayOption(name);
  }
  std::string settingLanguage(const std::string& setting) override {
    return inner().settingLanguage(setting);
  }
  std::optional<Row> settingRow(const std::string& setting) override {
    return inner().settingRow(setting);
  }
  std::vector<std::string> settings() override { return inner().settings(); }
  std::set<std::string> plannedSettings() override { return inner().plannedSettings(); }
  int16_t blockTrialCount(const std::string& setting) override {
    return inner().blockTrialCount(setting);
  }

  Stores& m_inner;
};

// The login checks the plan and the start loads it: one reading serves both.
TEST_F(GameSessionTest, LoginAndStartReadTheSettingsBlockRowsOnce) {
  addTrials("Demo", 2, 3);
  addParticipant("P", "Demo");
  BlockCountingStores counting(db.stores);
  DatabaseAccess countedAccess(counting, prompter, random);
  GameSession counted{GameServices{prompter, ticks, random, SystemWallClock::instance(),
                                   countedAccess, appFolder.string()}};
  counted.openDatabase("quarn.mdb");
  ASSERT_EQ(counted.logIn({"P", "Demo", ""}), LoginResult::LoggedIn);
  ASSERT_TRUE(counted.startGame());
  EXPECT_EQ(counting.blockReads, 1);
  EXPECT_EQ(counted.state().plan.trialCount(), 2);
}

// The display configuration checked at the login serves every trial's start.
TEST_F(GameSessionTest, SessionReadsItsDisplayConfigurationOnce) {
  addTrials("Demo", 2, 2);
  addParticipant("P", "Demo");
  BlockCountingStores counting(db.stores);
  DatabaseAccess countedAccess(counting, prompter, random);
  GameSession counted{GameServices{prompter, ticks, random, SystemWallClock::instance(),
                                   countedAccess, appFolder.string()}};
  counted.setView(&view);
  counted.openDatabase("quarn.mdb");
  ASSERT_EQ(counted.logIn({"P", "Demo", ""}), LoginResult::LoggedIn);
  ASSERT_TRUE(counted.startGame());
  while (counted.phase() == Phase::WeekOpen) {
    counted.submitOrder(4);
    counted.animationFinished();
  }
  counted.nextTrial();
  ASSERT_EQ(view.trials.size(), 2U);
  EXPECT_EQ(counting.displayReads, 1);
}

// A login turned back lets go of the plan it read: the moderator may mend
// the plan before the next login, which plays it as it is then.
TEST_F(GameSessionTest, NextLoginReadsThePlanAsItIsThen) {
  addTrials("Demo", 1, 3);
  addParticipant("P", "Demo");
  for (int16_t r = 0; r < kRoleCount; ++r) {
    db.insert(
        "datRole",
        {{"Subject", "P"}, {"Setting", "Demo"}, {"Trial", 0}, {"Week", 1}, {"Role", roleName(r)}});
  }
  prompter.byKind[PromptKind::Resume] = Answer::No;
  ASSERT_EQ(logIn("P", "Demo"), LoginResult::RetrySubject);
  db.exec("UPDATE tblBlock SET numweeks=5;");
  prompter.byKind[PromptKind::Resume] = Answer::Yes;
  ASSERT_EQ(session.logIn({"P", "Demo", ""}), LoginResult::LoggedIn);
  ASSERT_TRUE(session.startGame());
  EXPECT_EQ(state().plan.current().weeks, 5);
  EXPECT_EQ(view.weeks.at(0).counter, "01 of 05");
}

// Whichever way the session goes on after another workstation took the
// participant over, it says so, ends with status 1 and writes nothing more:
// no week, no line, no trial record.
TEST_F(GameSessionTest, SessionTakenOverElsewhereWritesNothingMore) {
  const struct {
    const char* path;
    std::function<void(GameSession&)> move;
    const char* unrecorded;
  } cases[] = {
      {"order", [](GameSession& s) { s.submitOrder(4); }, "; trial 1, week 2 was not recorded."},
      {"closing", [](GameSession& s) { s.requestExit(); },
       "; the record of trial 1 was not stored."},
      {"timer", [](GameSession& s) { s.keepAlive(); }, "."},
  };
  addTrials("Demo", 2, 3);
  addParticipant("P", "Demo");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    db.exec("DELETE FROM datRole; DELETE FROM datTrial; DELETE FROM datPlaying;");
    std::filesystem::remove(appFolder / "data" / "P.txt");
    GameSession game = freshSession();
    game.openDatabase("quarn.mdb");
    ASSERT_EQ(game.logIn({"P", "Demo", ""}), LoginResult::LoggedIn);
    ASSERT_TRUE(game.startGame());
    game.submitOrder(4);
    game.animationFinished();
    db.exec("UPDATE datPlaying SET Host='lab-9', Process=77, Since=0;");
    int code = 0;
    try {
      c.move(game);
    } catch (const ApplicationEnd& end) {
      code = end.code();
    }
    EXPECT_EQ(code, 1);
    EXPECT_EQ(prompter.last().kind, PromptKind::TakenOverElsewhere);
    EXPECT_EQ(prompter.last().prompt,
              "P has been taken over by workstation lab-9 (process 77) at " + localTimeText(0) +
                  ".\r\nThis session ends here" + c.unrecorded);
    EXPECT_EQ(db.count("datRole"), 4);
    EXPECT_EQ(db.count("datTrial"), 0);
    EXPECT_EQ(textLines("P").size(), 1u);
    EXPECT_EQ(db.count("datPlaying", "Host='lab-9'"), 1);
  }
}

// The mark tells the live view what the participant does: the state, since
// when, the trial, the week of how many, the stage and the cost so far.
TEST_F(GameSessionTest, MarkTellsWhatTheParticipantDoes) {
  addTrials("Demo", 2, 2);
  addParticipant("P", "Demo");
  const auto mark = [&] {
    const auto rows = db.rows(
        "SELECT State || ' ' || Trial || ' ' || Week || '/' || Weeks || ' ' || Role || ' ' || "
        "ifnull(Cost, '-') AS m FROM datPlaying");
    return rows.empty() ? std::string("none") : std::get<std::string>(rows[0].at("m"));
  };
  const struct {
    const char* step;
    std::function<void()> move;
    const char* expected;
  } steps[] = {
      {"login", [&] { ASSERT_EQ(logIn("P", "Demo"), LoginResult::LoggedIn); }, "login 0 0/0  -"},
      {"first week", [&] { session.startGame(); }, "order 1 1/2 Retailer 0"},
      {"order", [&] { session.submitOrder(4); }, "shipment 1 1/2 Retailer 6"},
      {"second week", [&] { session.animationFinished(); }, "order 1 2/2 Retailer 6"},
      {"trial end", [&] { playWeek(); }, "trial-end 1 2/2 Retailer 12"},
      {"game over",
       [&] {
         session.nextTrial();
         playTrial();
         session.nextTrial();
       },
       "finished 2 2/2 Retailer 12"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    step.move();
    EXPECT_EQ(mark(), step.expected);
  }
}

// The timer's refresh keeps the time the state began while the participant
// thinks, and moves the mark's last sign of life.
TEST_F(GameSessionTest, KeepAliveRefreshesTheMarkKeepingTheStateStart) {
  startDemo(2, 3);
  const auto since = db.rows("SELECT StateSince FROM datPlaying")[0].at("StateSince");
  db.exec("UPDATE datPlaying SET LastWeek=5;");
  session.keepAlive();
  EXPECT_EQ(db.count("datPlaying", "LastWeek >= strftime('%s', 'now') - 60 AND State='order'"), 1);
  EXPECT_EQ(db.rows("SELECT StateSince FROM datPlaying")[0].at("StateSince"), since);
}

// A participant reading the trial's end message (or sitting in a pause) is
// no frozen workstation: the timer refreshes the mark under the question.
TEST_F(GameSessionTest, KeepAliveUnderAQuestionStillRefreshesTheMark) {
  startDemo(2, 1);
  db.exec("UPDATE datPlaying SET LastWeek=5;");
  int refreshed = 0;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind != PromptKind::TrialEnded) return;
    session.keepAlive();
    refreshed = db.count("datPlaying", "LastWeek > 5 AND State='trial-end'");
  };
  playWeek();
  EXPECT_EQ(refreshed, 1);
}

// The moderator's password ends training from an open week: while the
// participant reads "Training Complete", the mark says so, not that the
// participant chooses an order, also after the timer's refresh.
TEST_F(GameSessionTest, MarkSaysTrainingIsOverWhileItsMessageIsRead) {
  startTraining({{"Password", "Skip"}});
  std::string shown;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind != PromptKind::TrainingComplete) return;
    session.keepAlive();
    shown = std::get<std::string>(db.rows("SELECT State FROM datPlaying")[0].at("State"));
  };
  ASSERT_TRUE(session.skipTraining("Skip"));
  EXPECT_EQ(shown, "training-end");
}

// A setting "Demo" of one trial of `weeks` whose weeks have a clock of
// `seconds`, ordering by `rule` when it runs out; P plays it.
class WeekClockSessionTest : public GameSessionTest {
 protected:
  void startClocked(int seconds, const std::string& rule = "", int weeks = 6) {
    addTrials("Demo", 1, weeks);
    db.insert("tblSetting", {{"Setting", "Demo"}, {"WeekSeconds", seconds}, {"ClockRule", rule}});
    addParticipant("P", "Demo");
    ASSERT_TRUE(start("P", "Demo"));
  }
  // Lets the open week's time run out and its animation end.
  void letTheClockOrder() {
    ticks.ticks += 3'600'000;
    ASSERT_TRUE(session.runClock());
    session.animationFinished();
  }
};

TEST_F(WeekClockSessionTest, CountsDownTheOpenWeekOnTheTickCounter) {
  startClocked(30);
  for (const uint32_t at : {500u, 1500u, 1999u, 29'999u}) {
    ticks.ticks = at;
    EXPECT_FALSE(session.runClock());
  }
  EXPECT_EQ(view.clocks, (std::vector<std::optional<int>>{30, 29, 1}));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(db.count("datRole"), 0);
}

// Week 1 has no order before it: the last order is 0 there. The clock's
// weeks carry User 8 (a week an analysis may leave out), the typed ones 6.
TEST_F(WeekClockSessionTest, OrdersTheLastOrderWhenTheTimeRunsOutAndRecordsItAsTheClocks) {
  startClocked(30);
  ticks.ticks = 30'000;
  EXPECT_TRUE(session.runClock());
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(view.clocks.back(), std::nullopt);
  EXPECT_EQ(view.clockTexts,
            std::vector<std::string>{"The time for this week ran out: 0 was ordered for you."});
  session.animationFinished();
  playWeek(7);
  letTheClockOrder();
  EXPECT_EQ(view.clockTexts.back(), "The time for this week ran out: 7 was ordered for you.");
  const std::string retailer = R"(Role = 'Retailer' AND )";
  EXPECT_EQ(db.count("datRole", retailer + R"(Week = 1 AND User = 8 AND "Order" = 0
                                             AND TransactionTime = 30000)"),
            1);
  EXPECT_EQ(db.count("datRole", retailer + R"(Week = 2 AND User = 6 AND "Order" = 7)"), 1);
  EXPECT_EQ(db.count("datRole", retailer + R"(Week = 3 AND User = 8 AND "Order" = 7)"), 1);
  EXPECT_EQ(db.count("datRole", "User = 8"), 2);
}

// A participant who never orders plays the trial as a simulated participant
// of the rule's player does: each week that player orders at the
// participant's stage as the week closes.
TEST_F(WeekClockSessionTest, OrdersAsTheSimulatedPlayerTheRuleNames) {
  startClocked(10, "bot", 8);
  while (session.phase() == Phase::WeekOpen) letTheClockOrder();
  ASSERT_EQ(session.phase(), Phase::TrialOver);

  TrialPlan trial = state().plan.current();
  const int16_t stage = trial.participantRole;
  trial.rolePlayers[static_cast<size_t>(stage)] = 0;  // Bot
  Chain chain;
  ChainContext simulated{trial, state().plan.players, chain, ticks, random, {}};
  startTrialChain(simulated, (appFolder / "Input").string());
  playToEnd(simulated, [&] { return narrow16(playerOrder(simulated, stage), "Order"); });
  for (size_t r = 0; r < kRoleCount; ++r) {
    EXPECT_EQ(state().chain.roles[r].totalCost, chain.roles[r].totalCost) << roleName(r);
  }
  EXPECT_GT(db.count("datRole", R"(Role = 'Retailer' AND "Order" <> 0)"), 0);
  EXPECT_EQ(db.count("datRole", "User = 8"), 8);
}

// An order typed in time is the week's as without a clock, and the clock
// stops: its time running out later orders nothing more.
TEST_F(WeekClockSessionTest, OrderTypedInTimeStopsTheClock) {
  startClocked(30);
  ticks.ticks = 12'000;
  session.runClock();
  ASSERT_TRUE(session.submitOrder(5));
  EXPECT_EQ(view.clocks.back(), std::nullopt);
  EXPECT_FALSE(session.clockRuns());
  ticks.ticks = 60'000;
  EXPECT_FALSE(session.runClock());
  EXPECT_TRUE(view.clockTexts.empty());
  EXPECT_EQ(db.count("datRole"), 4);
  EXPECT_EQ(db.count("datRole", R"(User = 6 AND "Order" = 5 AND TransactionTime = 12000)"), 1);
}

// A question open holds the game: the clock orders only once it is
// answered.
TEST_F(WeekClockSessionTest, WaitsWhileAQuestionIsOpen) {
  startClocked(30);
  bool orderedUnderTheQuestion = true;
  prompter.whileOpen = [&](const ScriptedPrompter::Shown&) {
    ticks.ticks = 31'000;
    orderedUnderTheQuestion = session.runClock();
  };
  EXPECT_FALSE(session.submitOrder(10'000));  // refused with a message: above the trial's limit
  EXPECT_FALSE(orderedUnderTheQuestion);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_TRUE(session.runClock());
}

}  // namespace
}  // namespace quarn::testing
