#include "game/WeekRecorder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "game/TextExport.h"
#include "sim/RecordedStage.h"
#include "sim/TrialStart.h"
#include "tests/game/GameFixture.h"
#include "tests/support/FaultyStores.h"
#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

// The records of trials played straight through the chain, as the game's
// weeks close them.
class WeekRecorderTest : public ::testing::Test {
 protected:
  WeekRecorderTest() {
    state.identity = {"P17", "Study"};
    state.plan.players = {{.name = "Echo", .addsDemand = true},
                          {.name = "Catch-up", .addsDemand = true, .addsBackorder = true}};
  }

  // Steady at 4 a week, 8 from week 3 on.
  static TrialPlan trial(int16_t weeks, int16_t delay, int16_t participant) {
    TrialPlan t = steadyTrial(weeks, kNoParticipant, delay);
    t.jumpWeek = 3;
    t.transitCostRate = 0.25;
    t.rolePlayers = {0, 1, 0, 1};
    t.participantRole = participant;
    if (participant >= 0) t.rolePlayers[static_cast<size_t>(participant)] = kParticipantPlayer;
    t.recordToDatabase = true;
    return t;
  }

  // Plays the current trial as the weekly turn does, keeping the chain as
  // each week was recorded.
  void playTrial(int16_t order = 7) {
    ChainContext c{state.plan.current(), state.plan.players, state.chain, ticks, random, [&] {
                     recorded.push_back(state.chain);
                     recorder.weekClosed();
                   }};
    startTrialChain(c, testDb.folder());
    for (uint32_t w = 1; w <= static_cast<uint32_t>(state.plan.current().weeks); ++w) {
      state.times = {1000 * w, 1000 * w + 250 + w};
      ++state.chain.currentWeek;
      state.chain.participantOrder = order;
      closeWeek(c);
    }
  }

  std::vector<std::string> textLines() const {
    return textFileLines(textFilePath(appFolder, "P17"));
  }

  // Runs `action` and returns the status the application ended with, 0 when
  // it did not end.
  static int endCodeOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ApplicationEnd& end) {
      return end.code();
    }
    return 0;
  }

  TestDatabase testDb;
  FaultyStores faulty{testDb.stores};
  ScriptedPrompter prompter;
  ManualTickCounter ticks;
  FixedRandom random;
  FixedWallClock clock{{2024, 3, 5, 14, 7, 9}};
  DatabaseAccess db{faulty, prompter, random};
  std::string appFolder = (fs::path(testDb.folder()) / "app").string();
  GameServices services{prompter, ticks, random, clock, db, appFolder};
  GameState state;
  WeekRecorder recorder{services, state};
  std::vector<Chain> recorded;
};

// The stage's block as the text line writes it.
std::string block(const RoleState& s) {
  std::string b = s.roleName + "," + s.playerName;
  for (int64_t v : {s.demand, s.orderSlots[0], s.satisfied, s.deltaInventory, s.inventory}) {
    b += "," + std::to_string(v);
  }
  for (int32_t v : s.delaySlots) b += "," + std::to_string(v);
  return b + "," + std::to_string(s.weeklyCost) + "," + std::to_string(s.totalCost);
}

// Week 1 of a steady chain, by hand: every stage holds 12, gets and ships 4
// and pays 12 x 0.5 + 8 x 0.25 = 8. The data folder did not exist.
TEST_F(WeekRecorderTest, WritesEveryWeeksLineToTheTextFile) {
  state.plan.trials = {trial(3, 2, kRetailer)};
  playTrial();
  const std::vector<std::string> lines = textLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "P17,Study,1,1,3,2,251,NULL,0,Factory,Echo,4,4,4,0,12,4,4,8,8,"
            "Distributor,Catch-up,4,4,4,0,12,4,4,8,8,Wholesaler,Echo,4,4,4,0,12,4,4,8,8,"
            "Retailer,Subject,4,4,4,0,12,4,4,8,8");
  const auto& s = recorded[2].roles;
  EXPECT_EQ(lines[2], "P17,Study,1,3,3,2,253,NULL,0," + block(s[0]) + "," + block(s[1]) + "," +
                          block(s[2]) + "," + block(s[3]));
}

TEST_F(WeekRecorderTest, StoresEveryWeeksFourRows) {
  state.plan.trials = {trial(3, 2, kRetailer)};
  playTrial(7);
  EXPECT_EQ(testDb.count("datRole", "Week=1 AND Role='Retailer' AND \"Order\"=7"), 1);
  EXPECT_EQ(testDb.count("datRole",
                         "Subject='P17' AND Setting='Study' AND Trial=1 AND Training=0 AND "
                         "User=(CASE Role WHEN 'Retailer' THEN 6 ELSE 0 END) AND PNoise IS NULL "
                         "AND Delay3 IS NULL AND TransactionTime=250+Week AND Date='2024-03-05' "
                         "AND TimeOfDay='14:07:09'"),
            12);
}

// A figure of the stage's week that the recorder does not take from the
// chain stays 0 in every row. The Retailer orders nothing, so that it runs
// into a backorder while the players upstream order.
TEST_F(WeekRecorderTest, StoresEveryFigureOfTheStagesWeek) {
  state.plan.trials = {trial(5, 2, kRetailer)};
  playTrial(0);
  for (const StageFigure& figure : kStageFigures) {
    EXPECT_GT(testDb.count("datRole", std::string("\"") + figure.column + "\" <> 0"), 0)
        << figure.column;
  }
}

// The participant's own cost, not the chain's.
TEST_F(WeekRecorderTest, TrialRecordCarriesTheParticipantsCost) {
  state.plan.trials = {trial(3, 2, kRetailer)};
  playTrial();
  recorder.writeTrialRecord();
  const int32_t endCost = state.chain.roles[kRetailer].totalCost;
  ASSERT_NE(state.plan.current().totalCost, endCost);
  EXPECT_EQ(testDb.count("datTrial",
                         "Subject='P17' AND Setting='Study' AND Trial=1 AND Training=0 AND Weeks=3 "
                         "AND Delay=2 AND Predicter='' AND InventoryCost=0.5 AND BackCost=1.0 AND "
                         "TransitCost=0.25 AND Factory='Echo' AND Distributor='Catch-up' AND "
                         "Wholesaler='Echo' AND Retailer='Subject' AND Date='2024-03-05' AND "
                         "Time='14:07:09' AND EndCost=" +
                             std::to_string(endCost)),
            1);
}

TEST_F(WeekRecorderTest, TrialWithoutAParticipantRecordsTheChainsCost) {
  state.plan.trials = {trial(2, 1, kNoParticipant)};
  playTrial();
  recorder.writeTrialRecord();
  EXPECT_EQ(testDb.count("datRole", "User=0"), 8);
  EXPECT_EQ(testDb.count("datTrial", "EndCost=" + std::to_string(state.plan.current().totalCost)),
            1);
}

TEST_F(WeekRecorderTest, ForecastNoiseIsStoredOnlyWhereTheTrialHasAPredicter) {
  TrialPlan forecast = trial(1, 1, kNoParticipant);
  forecast.predicter = "Ahead";
  state.plan.trials = {forecast, trial(1, 1, kNoParticipant)};
  state.predicter.noise = -3;
  playTrial();
  state.plan.currentTrial = 1;
  playTrial();
  EXPECT_EQ(testDb.count("datRole", "PNoise=-3 AND Trial=1"), 4);
  EXPECT_EQ(testDb.count("datRole", "PNoise IS NULL AND Trial=2"), 4);
  EXPECT_EQ(textLines()[0].substr(0, 31), "P17,Study,1,1,1,1,251,Ahead,-3,");
}

TEST_F(WeekRecorderTest, TrialWithoutDatabaseOutputOpensNoDatabase) {
  TrialPlan quiet = trial(2, 1, kRetailer);
  quiet.recordToDatabase = false;
  state.plan.trials = {quiet};
  playTrial();
  recorder.writeTrialRecord();
  EXPECT_EQ(faulty.opens, 0);
  EXPECT_EQ(textLines().size(), 2u);
}

TEST_F(WeekRecorderTest, TrainingRecordsCarryTheTrainingNumberAndFlag) {
  TrialPlan training = trial(3, 2, kWholesaler);
  training.orderDelay = 2;
  state.plan.trials = {trial(1, 1, kWholesaler), training};
  state.plan.currentTrial = 1;
  state.training.active = true;
  state.training.recordedTrial = -3;
  playTrial(7);
  recorder.writeTrialRecord();
  EXPECT_EQ(testDb.count("datRole", "Trial=-3 AND Training=1"), 12);
  EXPECT_EQ(testDb.count("datTrial", "Trial=-3 AND Training=1"), 1);
  // In week 2 the pipeline holds 4, 7, 4: the row takes slot 1.
  ASSERT_EQ(recorded[1].roles[kWholesaler].orderSlots, (std::vector<int32_t>{4, 7, 4}));
  EXPECT_EQ(testDb.count("datRole", "Week=2 AND Role='Wholesaler' AND \"Order\"=7"), 1);
  EXPECT_EQ(textLines()[1].substr(0, 13), "P17,Study,-3,");
}

// Its end, the exit question and the skip password may all come to record
// one trial; the first one does.
TEST_F(WeekRecorderTest, TrialIsRecordedOnceHoweverOftenItsRecordIsWritten) {
  state.plan.trials = {trial(2, 1, kRetailer), trial(2, 1, kRetailer)};
  playTrial();
  recorder.writeTrialRecord();
  recorder.writeTrialRecord();
  state.plan.currentTrial = 1;
  playTrial();
  recorder.writeTrialRecord();
  EXPECT_EQ(testDb.count("datTrial"), 2);
  EXPECT_EQ(testDb.count("datTrial", "Trial IN (1, 2)"), 2);
}

// The week's other rows stay under their own trial.
TEST_F(WeekRecorderTest, RowAlreadyInTheFileMovesToTheNextTrial) {
  state.plan.trials = {trial(1, 1, kRetailer)};
  testDb.insert("datRole", {{"Subject", "P17"},
                            {"Setting", "Study"},
                            {"Trial", 1},
                            {"Week", 1},
                            {"Role", "Wholesaler"}});
  playTrial();
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(testDb.count("datRole", "Trial=CASE Role WHEN 'Wholesaler' THEN 2 ELSE 1 END"), 4);
}

TEST_F(WeekRecorderTest, QuittingOverAFailedWeekWriteSaysWhichWeekIsMissing) {
  state.plan.trials = {trial(1, 1, kRetailer)};
  db.setOutageLimit(std::chrono::milliseconds(300));
  faulty.openFails = 30;
  prompter.answers = {Answer::No};
  EXPECT_EQ(endCodeOf([&] { playTrial(); }), 1);
  EXPECT_EQ(
      prompter.last().prompt.rfind("Trial 1, week 1 of P17 was not stored in the database.", 0), 0u)
      << prompter.last().prompt;
}

TEST_F(WeekRecorderTest, QuittingOverAFailedTrialWriteSaysWhichTrialIsMissing) {
  state.plan.trials = {trial(1, 1, kRetailer)};
  playTrial();
  db.setOutageLimit(std::chrono::milliseconds(300));
  faulty.commitFails = 30;
  prompter.answers = {Answer::No};
  EXPECT_EQ(endCodeOf([&] { recorder.writeTrialRecord(); }), 1);
  EXPECT_EQ(prompter.last().prompt.rfind(
                "The record of trial 1 of P17 was not stored in the database.", 0),
            0u)
      << prompter.last().prompt;
}

TEST_F(WeekRecorderTest, AbortOverAFailedTextWriteSaysWhichWeekIsMissing) {
  state.plan.trials = {trial(1, 1, kRetailer)};
  fs::create_directories(textFilePath(appFolder, "P17"));  // a folder where the file belongs
  prompter.answers = {Answer::Abort};
  EXPECT_EQ(endCodeOf([&] { playTrial(); }), 1);
  const std::string& said = prompter.last().prompt;
  EXPECT_EQ(said.rfind("Trial 1, week 1 of P17 was not written to the text file ", 0), 0u) << said;
  EXPECT_EQ(said.substr(said.size() - 24), ".  The application ends.");
  EXPECT_EQ(testDb.count("datRole"), 0);
}

TEST_F(WeekRecorderTest, FailedTextWriteAsksAndRetryWritesTheSameLine) {
  state.plan.trials = {trial(1, 1, kRetailer)};
  const std::string file = textFilePath(appFolder, "P17");
  fs::create_directories(file);
  prompter.whileOpen = [&](const ScriptedPrompter::Shown&) { fs::remove(file); };
  prompter.answers = {Answer::Retry};
  playTrial();
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().title, "Problems on weekly output to text file");
  EXPECT_NE(prompter.last().prompt.find(file + "\r\nIs a directory"), std::string::npos);
  EXPECT_EQ(textLines(), std::vector<std::string>{weekLine(state, 1)});
  EXPECT_EQ(testDb.count("datRole"), 4);
}

// A week played again after its line was written but not its rows (the
// workstation stopped in between) replaces the line it left, also when other
// lines came after it (training played again first); it is replaced once,
// and any other line stays.
TEST_F(WeekRecorderTest, WeekLineWrittenAgainReplacesTheLineLeftOfThatWeek) {
  const std::string file = textFilePath(appFolder, "P17");
  struct Case {
    std::vector<std::string> next;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {{"P17,Study,1,2,9"}, {"P17,Study,1,1,5", "P17,Study,1,2,9"}},
      {{"P17,Study,-1,1,3", "P17,Study,1,2,9"},
       {"P17,Study,1,1,5", "P17,Study,-1,1,3", "P17,Study,1,2,9"}},
      {{"P17,Study,1,2,9", "P17,Study,1,2,8"},
       {"P17,Study,1,1,5", "P17,Study,1,2,9", "P17,Study,1,2,8"}},
      {{"P17,Other,1,2,5"}, {"P17,Study,1,1,5", "P17,Study,1,2,7", "P17,Other,1,2,5"}},
  };
  for (const Case& c : cases) {
    fs::remove(file);
    for (const char* line : {"P17,Study,1,1,5\r\n", "P17,Study,1,2,7\r\n"}) {
      ASSERT_EQ(appendToFile(file, line), "");
    }
    std::optional<FileLine> left = lastLineOf(file);
    ASSERT_TRUE(left.has_value());
    for (const std::string& next : c.next) ASSERT_EQ(appendWeekLine(file, next + "\r\n", left), "");
    EXPECT_EQ(textLines(), c.lines) << c.next.front();
  }
}

}  // namespace
}  // namespace quarn::testing
