#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "record/modRecord.h"
#include "sim/TrialStart.h"
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

// The real engine, with Update and Close made to fail on chosen calls.
class FaultyEngine final : public DatabaseEngine {
 public:
  explicit FaultyEngine(DatabaseEngine& inner) : inner_(inner) {}
  std::unique_ptr<Recordset> Open(const std::string& path, const std::string& source,
                                  bool readOnly) override {
    if (openFails > 0 && openFails--) throw QuarnError(kErrDatabase + 5, "database is locked");
    ++opens;
    return std::make_unique<FaultySet>(*this, inner_.Open(path, source, readOnly));
  }
  int opens = 0;
  // One entry per Update call: '.' stores the row, 'k' fails as a key
  // collision would, 'x' as a passing I/O fault would, 'l' as a fault that
  // rolled the open's rows back.
  std::deque<char> updateFails;
  int closeFails = 0;  // the next Close calls that fail with a lock
  int openFails = 0;   // the next opens that fail with a lock

 private:
  struct FaultySet final : Recordset {
    FaultySet(FaultyEngine& e, std::unique_ptr<Recordset> in) : e(e), in(std::move(in)) {}
    bool Eof() const override { return in->Eof(); }
    void MoveFirst() override { in->MoveFirst(); }
    void MoveNext() override { in->MoveNext(); }
    void MoveLast() override { in->MoveLast(); }
    int32_t RecordCount() const override { return in->RecordCount(); }
    Field Get(const std::string& c) const override { return in->Get(c); }
    void AddNew() override { in->AddNew(); }
    void Set(const std::string& c, FieldValue v) override { in->Set(c, std::move(v)); }
    FieldValue Edited(const std::string& c) const override { return in->Edited(c); }
    void Update() override {
      const char fault = e.updateFails.empty() ? '.' : e.updateFails.front();
      if (!e.updateFails.empty()) e.updateFails.pop_front();
      if (fault == 'k') throw QuarnError(kErrDuplicateKey, "The changes were not successful");
      if (fault == 'x') throw QuarnError(kErrDatabase + 10, "disk I/O error");
      if (fault == 'l') throw QuarnError(kErrWriteLost, "disk I/O error; no row was stored");
      in->Update();
    }
    void Close() override {
      if (e.closeFails > 0 && e.closeFails--) throw QuarnError(3005, "database is locked");
      in->Close();
    }
    FaultyEngine& e;
    std::unique_ptr<Recordset> in;
  };
  DatabaseEngine& inner_;
};

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
      : engine(*testDb.engine), db(engine, toolkit, random), game({toolkit, ticks, random, db}) {
    db.DatabasePath = testDb.Path();
    toolkit.appFolder = (fs::path(testDb.Folder()) / "app").string();
    game.clock = &clock;
    game.identity = {"P17", "Beer"};
    game.plan.players = {{.name = "Echo", .addsDemand = true},
                         {.name = "Catch-up", .addsDemand = true, .addsBackorder = true}};
  }

  // Steady at 4 a week, 8 from week 3 on.
  static TrialPlan Trial(int16_t weeks, int16_t delay, int16_t subjectRole) {
    TrialPlan t = testing::SteadyTrial(weeks, kNoParticipant, delay);
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
    startTrialChain(c, testDb.Folder());
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
  FaultyEngine engine;
  HookedPrompter toolkit;
  ManualTickCounter ticks;
  testing::FixedRandom random;
  Database db;
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
  EXPECT_EQ(testDb.Count("datRole", "Week=1 AND Role='Retailer' AND \"Order\"=7"), 1);
  EXPECT_EQ(testDb.Count("datRole",
                         "Subject='P17' AND Setting='Beer' AND Trial=1 AND Training=0 AND "
                         "User=(CASE Role WHEN 'Retailer' THEN 6 ELSE 0 END) AND PNoise IS NULL "
                         "AND Delay3 IS NULL AND TransactionTime=250+Week AND Date='2024-03-05' "
                         "AND TimeOfDay='14:07:09'"),
            12);

  // The trial row carries the participant's own cost, not the chain's.
  WriteTrialRecord(game);
  const int32_t endCost = game.chain.roles[kRetailer].totalCost;
  ASSERT_NE(game.plan.current().totalCost, endCost);
  EXPECT_EQ(testDb.Count("datTrial",
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
  EXPECT_EQ(testDb.Count("datRole", "Trial=-3 AND Training=1"), 12);
  EXPECT_EQ(testDb.Count("datTrial", "Trial=-3 AND Training=1"), 1);
  // In week 2 the pipeline holds 4, 7, 4: the row takes slot 1.
  ASSERT_EQ(recorded[1].roles[kWholesaler].orderSlots, (std::vector<int32_t>{4, 7, 4}));
  EXPECT_EQ(testDb.Count("datRole", "Week=2 AND Role='Wholesaler' AND \"Order\"=7"), 1);
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
  EXPECT_EQ(testDb.Count("datTrial"), 2);
  EXPECT_EQ(testDb.Count("datTrial", "Trial IN (1, 2)"), 2);
}

// Output writes with failures injected into the record set.
struct FaultCase {
  int16_t weeks;
  bool training;
  std::string updates;  // per Update call, as FaultyEngine::updateFails
  int closeFails;
  Answer answer;
  int box;   // the error the one box names, 0 for none
  int rows;  // all matching `where`
  std::string where;
  int opens;
};

void PlayWithFaults(const FaultCase& k) {
  SCOPED_TRACE(k.updates + " " + k.where);
  Recorder r;
  r.UsePlan({Recorder::Trial(k.weeks, 1, kRetailer)});
  r.game.training.active = k.training;
  r.game.training.recordedTrial = -1;
  r.engine.updateFails.assign(k.updates.begin(), k.updates.end());
  r.engine.closeFails = k.closeFails;
  r.toolkit.answers = {k.answer};
  if (k.answer == Answer::Abort) {
    EXPECT_THROW(r.PlayTrial(), ApplicationEnd);
  } else {
    r.PlayTrial();
    EXPECT_EQ(r.TextLines().size(), static_cast<size_t>(k.weeks));
  }
  // Abort is followed by the message of what was lost.
  ASSERT_EQ(r.toolkit.shown.size(), (k.box ? 1u : 0u) + (k.answer == Answer::Abort ? 1u : 0u));
  if (k.box) {
    const auto& box = r.toolkit.shown[0];
    EXPECT_EQ(box.prompt.substr(0, box.prompt.find(':')), std::to_string(k.box));
    EXPECT_EQ(box.title, "Problems on weekly output to database");
    EXPECT_EQ(box.style, PromptStyle::AbortRetryIgnore);
  }
  EXPECT_EQ(r.testDb.Count("datRole"), k.rows);
  EXPECT_EQ(r.testDb.Count("datRole", k.where), k.rows);
  EXPECT_EQ(r.engine.opens, k.opens);
}

const auto R = Answer::Retry, I = Answer::Ignore, A = Answer::Abort;

// Every row of one open may fail five times silently; the sixth failure asks.
// A key collision moves the row's Trial at each retry (in training the
// number is lowered for the rest of the week); Retry stores the row under
// the Trial it has reached, Ignore loses the whole week, Abort ends. A
// failure that lost the open's rows asks at once, and Retry writes the open
// again.
TEST(RecordFaults, KeyCollisionsMoveTheRowsTrialThenTheModeratorDecides) {
  const std::string moved =
      "Trial=CASE Role WHEN 'Factory' THEN 3 WHEN 'Wholesaler' THEN 4 ELSE 1 END";
  const std::string lowered = "Trial=CASE Role WHEN 'Factory' THEN -1 ELSE -2 END";
  const FaultCase cases[] = {
      {1, false, "kk..kkkk", 0, R, 3022, 4, moved, 1},
      {2, false, "kkk....kkk", 0, R, 0, 8, "1=1", 2},
      {2, false, ".kkkkkk", 0, I, 3022, 4, "Week=2", 2},
      {1, false, "..kkkkkk", 0, A, 3022, 0, "1=1", 1},
      {1, true, ".k", 0, R, 0, 4, lowered, 1},
      {1, false, "..l", 0, R, kErrWriteLost, 4, "Trial=1", 2},
  };
  for (const FaultCase& k : cases) PlayWithFaults(k);
}

// A lock or an I/O fault is no reason to file a row under another trial: the
// same row is retried as it is, with the same budget and question.
TEST(RecordFaults, OtherFailuresRetryTheSameRowUnderItsOwnTrial) {
  const FaultCase cases[] = {
      {1, false, "xx..xxx", 0, R, 0, 4, "Trial=1", 1},
      {1, false, "xxxxxx", 0, R, 3010, 4, "Trial=1", 1},
      {1, true, ".x", 0, R, 0, 4, "Trial=-1 AND Training=1", 1},
      {1, false, "", 2, R, 0, 4, "Trial=1", 1},
      {1, false, "", 6, A, 3005, 0, "1=1", 1},
  };
  for (const FaultCase& k : cases) PlayWithFaults(k);

  Recorder r;  // the trial row shares the writer
  r.UsePlan({Recorder::Trial(1, 1, kRetailer)});
  r.PlayTrial();
  r.engine.closeFails = 6;
  r.toolkit.answers = {Answer::Abort};
  EXPECT_THROW(WriteTrialRecord(r.game), ApplicationEnd);
  EXPECT_EQ(r.testDb.Count("datTrial"), 0);
}

// The key on datRole tells a row that is already in the file: it is filed
// under the next trial, the week's other rows under their own.
TEST_F(RecordTest, RowAlreadyInTheFileMovesToTheNextTrial) {
  UsePlan({Trial(1, 1, kRetailer)});
  testDb.Insert(
      "datRole",
      {{"Subject", "P17"}, {"Setting", "Beer"}, {"Trial", 1}, {"Week", 1}, {"Role", "Wholesaler"}});
  PlayTrial();
  EXPECT_TRUE(toolkit.shown.empty());
  EXPECT_EQ(testDb.Count("datRole", "Trial=CASE Role WHEN 'Wholesaler' THEN 2 ELSE 1 END"), 4);
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
      {0, "xxxxxx", 0, false, A, false, "Trial 1, week 1 of P17 was not stored in the database."},
      {0, "", 6, false, A, true, "The record of trial 1 of P17 was not stored in the database."},
      {0, "", 0, true, A, false, "Trial 1, week 1 of P17 was not written to the text file "},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.missing);
    Recorder r;
    r.UsePlan({Recorder::Trial(1, 1, kRetailer)});
    if (k.trialRecord) r.PlayTrial();
    if (k.blockTextFile) fs::create_directories(fs::path(WeekLinePath(r.game)));
    r.engine.openFails = k.openFails;
    r.engine.updateFails.assign(k.updates.begin(), k.updates.end());
    r.engine.closeFails = k.closeFails;
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
    const std::string& said = r.toolkit.Last().prompt;
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
  EXPECT_EQ(toolkit.Last().title, "Problems on weekly output to text file");
  EXPECT_NE(toolkit.Last().prompt.find(file.string() + "\r\nIs a directory"), std::string::npos);
  EXPECT_EQ(TextLines(), std::vector<std::string>{WeekLine(game)});
  EXPECT_EQ(testDb.Count("datRole"), 4);
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
  game.predicter.PredictNoise = -3;
  game.plan.currentTrial = -1;  // nothing played yet: adds nothing
  FakeWindow window;
  window.onStart = [&] {
    const int opens = engine.opens;
    PlayTrial();
    WriteTrialRecord(game);
    EXPECT_EQ(engine.opens == opens, game.plan.currentTrial == 2);
  };
  for (int i = 0; i < 4; ++i) NextTrial(game, window);
  double sum = 0;
  for (const TrialPlan& t : game.plan.trials) {
    sum += t.totalCost;
    EXPECT_EQ(testDb.Count("datTrial", "EndCost=" + std::to_string(t.totalCost)),
              t.recordToDatabase ? 1 : 0);
  }
  EXPECT_EQ(testDb.Count("datRole", "User=0 AND PNoise=-3 AND Trial=1"), 8);
  EXPECT_EQ(testDb.Count("datRole", "User=0 AND PNoise IS NULL AND Trial=2"), 12);
  EXPECT_EQ(testDb.Count("datRole"), 20);
  const auto lines = TextLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 30), "P17,Beer,1,1,2,1,251,Ahead,-3,");
  EXPECT_EQ(lines[2].substr(0, 29), "P17,Beer,2,1,3,2,251,NULL,-3,");
  EXPECT_EQ(window.starts, 3);
  EXPECT_EQ(game.CostSum, sum);
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.Last().prompt, "Total cost sum over all 3 completed trial(s) is " +
                                       std::to_string(game.CostSum) + "\r\nAlert your moderator.");
  EXPECT_EQ(toolkit.Last().title, "All 3 Trial(s) Completed");
  EXPECT_EQ(window.orderCaption, "Game Over");
  EXPECT_TRUE(window.closing);
}

}  // namespace
}  // namespace quarn
