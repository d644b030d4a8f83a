#include "record/modRecord.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "sim/TrialStart.h"
#include "tests/support/FaultyStores.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Trials.h"

namespace quarn {
namespace {

namespace fs = std::filesystem;
using testing::FixedWallClock;
using testing::kRetailer;
using testing::kWholesaler;
using testing::ManualTickCounter;

// Message boxes may change the world before they are answered.
struct HookedPrompter final : testing::ScriptedPrompter {
  std::function<void()> onBox;

 protected:
  Answer present(const Prompt& prompt) override {
    if (onBox) onBox();
    return ScriptedPrompter::present(prompt);
  }
};

struct FakeWindow final : TrialWindow {
  void StartTrial() override {
    ++starts;
    if (onStart) onStart();
  }
  void SetOrderCaption(const std::string& c) override { orderCaption = c; }
  void SetPlayerCaption(const std::string&) override {}
  void ShowClosingScreen() override { closing = true; }
  bool closing = false;
  void ApplyDisplayConfiguration(const std::string&) override {}
  int starts = 0;
  std::function<void()> onStart;
  std::string orderCaption = "Make Order";
};

struct Recorder {
  Recorder()
      : faulty(testDb.stores), db(faulty, toolkit, random), game({toolkit, ticks, random, db}) {
    toolkit.appFolder = (fs::path(testDb.folder()) / "app").string();
    game.clock = &clock;
    game.identity = {"P17", "Beer"};
    game.plan.players = {{.name = "Echo", .addsDemand = true},
                         {.name = "Catch-up", .addsDemand = true, .addsBackorder = true}};
  }

  // Steady at 4 a week, 8 from week 3 on.
  static TrialPlan Trial(int16_t weeks, int16_t delay, int16_t subjectRole) {
    TrialPlan t = testing::steadyTrial(weeks, kNoParticipant, delay);
    t.jumpWeek = 3;
    t.transitCostRate = 0.25;
    t.rolePlayers = {0, 1, 0, 1};
    t.participantRole = subjectRole;
    if (subjectRole >= 0) t.rolePlayers[static_cast<size_t>(subjectRole)] = kParticipantPlayer;
    t.recordToDatabase = true;
    return t;
  }
  void UsePlan(std::vector<TrialPlan> trials) { game.plan.trials = std::move(trials); }

  // Plays the current trial as the weekly turn does, keeping the chain as
  // each week was recorded.
  void PlayTrial(int16_t order = 7) {
    ChainContext c = MakeChainContext(game);
    c.weekClosed = [&, record = c.weekClosed] {
      recorded.push_back(game.chain);
      record();
    };
    startTrialChain(c, testDb.folder());
    for (uint32_t w = 1; w <= static_cast<uint32_t>(game.plan.current().weeks); ++w) {
      game.times = {1000 * w, 1000 * w + 250 + w};
      ++game.chain.currentWeek;
      game.chain.participantOrder = order;
      closeWeek(c);
    }
  }

  std::vector<std::string> TextLines() const {
    std::ifstream in(fs::path(toolkit.appFolder) / "data" / "P17.txt", std::ios::binary);
    const std::string all(std::istreambuf_iterator<char>(in), {});
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2) {
      lines.push_back(all.substr(at, end - at));
    }
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), static_cast<long>(lines.size()));
    return lines;
  }

  testing::TestDatabase testDb;
  testing::FaultyStores faulty;
  HookedPrompter toolkit;
  ManualTickCounter ticks;
  testing::FixedRandom random;
  DatabaseAccess db;
  FixedWallClock clock{{2024, 3, 5, 14, 7, 9}};
  Game game;
  std::vector<Chain> recorded;
};
class RecordTest : public ::testing::Test, public Recorder {};

// The stage's block as the text writes it.
std::string Block(const RoleState& s) {
  std::string b = s.roleName + "," + s.playerName;
  for (int64_t v : {s.demand, s.orderSlots[0], s.satisfied, s.deltaInventory, s.inventory})
    b += "," + std::to_string(v);
  for (int32_t v : s.delaySlots) b += "," + std::to_string(v);
  return b + "," + std::to_string(s.weeklyCost) + "," + std::to_string(s.totalCost);
}

TEST_F(RecordTest, ParticipantAtRetailerRecordsEveryWeekAndTheTrial) {
  UsePlan({Trial(3, 2, kRetailer)});
  PlayTrial(7);

  // Week 1 of a steady chain, by hand: every stage holds 12, gets and ships
  // 4 and pays 12 x 0.5 + 8 x 0.25 = 8. The data folder did not exist. The
  // rows equal the text lines (the demo session test compares them).
  const std::vector<std::string> lines = TextLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "P17,Beer,1,1,3,2,251,NULL,0,Factory,Echo,4,4,4,0,12,4,4,8,8,"
            "Distributor,Catch-up,4,4,4,0,12,4,4,8,8,Wholesaler,Echo,4,4,4,0,12,4,4,8,8,"
            "Retailer,Subject,4,4,4,0,12,4,4,8,8");
  const auto& s = recorded[2].roles;
  EXPECT_EQ(std::count(lines[2].begin(), lines[2].end(), ','), 52);
  EXPECT_EQ(lines[2], "P17,Beer,1,3,3,2,253,NULL,0," + Block(s[0]) + "," + Block(s[1]) + "," +
                          Block(s[2]) + "," + Block(s[3]));
  EXPECT_EQ(testDb.count("datRole", "Week=1 AND Role='Retailer' AND \"Order\"=7"), 1);
  EXPECT_EQ(testDb.count("datRole",
                         "Subject='P17' AND Setting='Beer' AND Trial=1 AND Training=0 AND "
                         "User=(CASE Role WHEN 'Retailer' THEN 6 ELSE 0 END) AND PNoise IS NULL "
                         "AND Delay3 IS NULL AND TransactionTime=250+Week AND Date='2024-03-05' "
                         "AND TimeOfDay='14:07:09'"),
            12);

  // The trial row carries the participant's own cost, not the chain's.
  WriteTrialRecord(game);
  const int32_t endCost = game.chain.roles[kRetailer].totalCost;
  ASSERT_NE(game.plan.current().totalCost, endCost);
  EXPECT_EQ(testDb.count("datTrial",
                         "Subject='P17' AND Setting='Beer' AND Trial=1 AND Training=0 AND Weeks=3 "
                         "AND Delay=2 AND Predicter='' AND InventoryCost=0.5 AND BackCost=1.0 AND "
                         "TransitCost=0.25 AND Factory='Echo' AND Distributor='Catch-up' AND "
                         "Wholesaler='Echo' AND Retailer='Subject' AND Date='2024-03-05' AND "
                         "Time='14:07:09' AND EndCost=" +
                             std::to_string(endCost)),
            1);
}

TEST_F(RecordTest, TrainingRecordsCarryTheTrainingNumberAndFlag) {
  TrialPlan training = Trial(3, 2, kWholesaler);
  training.orderDelay = 2;
  UsePlan({Trial(1, 1, kWholesaler), training});
  game.plan.currentTrial = 1;
  game.training.active = true;
  game.training.recordedTrial = -3;
  PlayTrial(7);
  WriteTrialRecord(game);
  EXPECT_EQ(testDb.count("datRole", "Trial=-3 AND Training=1"), 12);
  EXPECT_EQ(testDb.count("datTrial", "Trial=-3 AND Training=1"), 1);
  // In week 2 the pipeline holds 4, 7, 4: the row takes slot 1.
  ASSERT_EQ(recorded[1].roles[kWholesaler].orderSlots, (std::vector<int32_t>{4, 7, 4}));
  EXPECT_EQ(testDb.count("datRole", "Week=2 AND Role='Wholesaler' AND \"Order\"=7"), 1);
  EXPECT_EQ(TextLines()[1].substr(0, 12), "P17,Beer,-3,");
}

// Its end, the exit question and the skip password may all come to record
// one trial; the first one does.
TEST_F(RecordTest, TrialIsRecordedOnceHoweverOftenItsRecordIsWritten) {
  UsePlan({Trial(2, 1, kRetailer), Trial(2, 1, kRetailer)});
  PlayTrial();
  WriteTrialRecord(game);
  WriteTrialRecord(game);
  game.plan.currentTrial = 1;
  PlayTrial();
  WriteTrialRecord(game);
  EXPECT_EQ(testDb.count("datTrial"), 2);
  EXPECT_EQ(testDb.count("datTrial", "Trial IN (1, 2)"), 2);
}

// The key on datRole tells a row that is already in the file: it is filed
// under the next trial, the week's other rows under their own.
TEST_F(RecordTest, RowAlreadyInTheFileMovesToTheNextTrial) {
  UsePlan({Trial(1, 1, kRetailer)});
  testDb.insert(
      "datRole",
      {{"Subject", "P17"}, {"Setting", "Beer"}, {"Trial", 1}, {"Week", 1}, {"Role", "Wholesaler"}});
  PlayTrial();
  EXPECT_TRUE(toolkit.shown.empty());
  EXPECT_EQ(testDb.count("datRole", "Trial=CASE Role WHEN 'Wholesaler' THEN 2 ELSE 1 END"), 4);
}

// Giving up on a failed write (No to "Retry? (No to quit)", or Abort) ends
// the application with status 1, saying which week or trial is missing.
TEST(RecordFaults, QuittingOverAFailedWriteSaysWhatIsMissing) {
  const struct {
    int openFails;
    std::string updates;
    int closeFails;
    bool blockTextFile;
    Answer answer;
    bool trialRecord;
    std::string missing;
  } cases[] = {
      {6, "", 0, false, Answer::No, false,
       "Trial 1, week 1 of P17 was not stored in the database."},
      {0, "", 6, false, Answer::Abort, true,
       "The record of trial 1 of P17 was not stored in the database."},
      {0, "", 0, true, Answer::Abort, false,
       "Trial 1, week 1 of P17 was not written to the text file "},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.missing);
    Recorder r;
    r.UsePlan({Recorder::Trial(1, 1, kRetailer)});
    if (k.trialRecord) r.PlayTrial();
    if (k.blockTextFile) fs::create_directories(fs::path(WeekLinePath(r.game)));
    r.faulty.openFails = k.openFails;
    r.faulty.insertFaults.assign(k.updates.begin(), k.updates.end());
    r.faulty.commitFails = k.closeFails;
    r.toolkit.answers = {k.answer};
    int code = 0;
    try {
      if (k.trialRecord) {
        WriteTrialRecord(r.game);
      } else {
        r.PlayTrial();
      }
    } catch (const ApplicationEnd& end) {
      code = end.code();
    }
    EXPECT_EQ(code, 1);
    const std::string& said = r.toolkit.last().prompt;
    EXPECT_EQ(said.substr(0, k.missing.size()), k.missing);
    EXPECT_EQ(said.substr(said.size() - 24), ".  The application ends.");
  }
}

TEST_F(RecordTest, FailedTextWriteAsksAndRetryWritesTheSameLine) {
  UsePlan({Trial(1, 1, kRetailer)});
  const fs::path file = fs::path(toolkit.appFolder) / "data" / "P17.txt";
  fs::create_directories(file);  // a folder where the file belongs
  toolkit.onBox = [&] { fs::remove(file); };
  toolkit.answers = {Answer::Retry};
  PlayTrial();
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.last().title, "Problems on weekly output to text file");
  EXPECT_NE(toolkit.last().prompt.find(file.string() + "\r\nIs a directory"), std::string::npos);
  EXPECT_EQ(TextLines(), std::vector<std::string>{WeekLine(game)});
  EXPECT_EQ(testDb.count("datRole"), 4);
}

// Trials without a participant: no User on the rows, the chain's sum as
// EndCost. The predicter's noise is stored only where the trial has a
// predicter; a trial without database output opens no database. The game
// ends with the sum of the trials' costs.
TEST_F(RecordTest, ThreeTrialsEndWithTheCostSumAndGameOver) {
  TrialPlan forecast = Trial(2, 1, kNoParticipant), quiet = Trial(1, 1, kNoParticipant);
  forecast.predicter = "Ahead";
  quiet.recordToDatabase = false;
  UsePlan({forecast, Trial(3, 2, kNoParticipant), quiet});
  game.predicter.noise = -3;
  game.plan.currentTrial = -1;  // nothing played yet: adds nothing
  FakeWindow window;
  window.onStart = [&] {
    const int opens = faulty.opens;
    PlayTrial();
    WriteTrialRecord(game);
    EXPECT_EQ(faulty.opens == opens, game.plan.currentTrial == 2);
  };
  for (int i = 0; i < 4; ++i) NextTrial(game, window);
  double sum = 0;
  for (const TrialPlan& t : game.plan.trials) {
    sum += t.totalCost;
    EXPECT_EQ(testDb.count("datTrial", "EndCost=" + std::to_string(t.totalCost)),
              t.recordToDatabase ? 1 : 0);
  }
  EXPECT_EQ(testDb.count("datRole", "User=0 AND PNoise=-3 AND Trial=1"), 8);
  EXPECT_EQ(testDb.count("datRole", "User=0 AND PNoise IS NULL AND Trial=2"), 12);
  EXPECT_EQ(testDb.count("datRole"), 20);
  const auto lines = TextLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 30), "P17,Beer,1,1,2,1,251,Ahead,-3,");
  EXPECT_EQ(lines[2].substr(0, 29), "P17,Beer,2,1,3,2,251,NULL,-3,");
  EXPECT_EQ(window.starts, 3);
  EXPECT_EQ(game.CostSum, sum);
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.last().prompt, "Total cost sum over all 3 completed trial(s) is " +
                                       std::to_string(game.CostSum) + "\r\nAlert your moderator.");
  EXPECT_EQ(toolkit.last().title, "All 3 Trial(s) Completed");
  EXPECT_EQ(window.orderCaption, "Game Over");
  EXPECT_TRUE(window.closing);
}

}  // namespace
}  // namespace quarn
