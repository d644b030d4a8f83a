#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "record/modRecord.h"
#include "sim/modInit.h"
#include "tests/support/ScriptedToolkit.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Trials.h"

namespace quarn {
namespace {

namespace fs = std::filesystem;
using testing::TestRow;
using Trials = std::map<std::string, int64_t>;

const std::array<std::string, kRoleCount> kRoleNames = {"Factory", "Distributor", "Wholesaler",
                                                        "Retailer"};

// The real engine, with Update and Close made to fail on chosen calls.
class FaultyEngine final : public DatabaseEngine {
 public:
  explicit FaultyEngine(DatabaseEngine& inner) : inner_(inner) {}
  std::unique_ptr<Recordset> Open(const std::string& path, const std::string& source,
                                  bool readOnly) override {
    ++opens;
    return std::make_unique<FaultySet>(*this, inner_.Open(path, source, readOnly));
  }
  int opens = 0;
  std::deque<bool> updateFails;  // one entry per Update call
  int closeFails = 0;

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
      const bool fail = !e.updateFails.empty() && e.updateFails.front();
      if (!e.updateFails.empty()) e.updateFails.pop_front();
      if (fail) throw QuarnError(3022, "The changes were not successful");
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
struct HookedToolkit final : testing::ScriptedToolkit {
  MsgResult MsgBox(const std::string& prompt, MsgStyle style, const std::string& title) override {
    if (onBox) onBox();
    return ScriptedToolkit::MsgBox(prompt, style, title);
  }
  std::function<void()> onBox;
};

struct FakeWindow final : TrialWindow {
  void StartTrial() override {
    ++starts;
    if (onStart) onStart();
  }
  void SetOrderCaption(const std::string& c) override { orderCaption = c; }
  void SetPlayerCaption(const std::string& c) override { playerCaption = c; }
  void ApplyDisplayConfiguration(const std::string&) override {}
  int starts = 0;
  std::function<void()> onStart;
  std::string orderCaption = "Make Order", playerCaption = "Training";
};

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}
int64_t Int(const FieldValue& v) {
  return std::get<int64_t>(v);
}
std::string Text(const FieldValue& v) {
  return std::get<std::string>(v);
}
bool IsNull(const FieldValue& v) {
  return std::holds_alternative<std::monostate>(v);
}

struct Recorder {
  Recorder()
      : engine(*testDb.engine), db(engine, toolkit, random), game({toolkit, ticks, random, db}) {
    db.DatabasePath = testDb.Path();
    toolkit.appFolder = (fs::path(testDb.Folder()) / "app").string();
    game.clock = &clock;
    game.identity = {"P17", "Beer"};
    game.plan.PlayerTable = {{.Name = "Echo", .Demand = true},
                             {.Name = "Catch-up", .Demand = true, .BackOrder = true}};
  }

  // Steady at 4 a week, 8 from week 3 on.
  static TrialPlan Trial(int16_t weeks, int16_t delay, int16_t subjectRole) {
    TrialPlan t = testing::SteadyTrial(weeks, kNoSubject, delay);
    t.JumpWeek = 3;
    t.CostTransit = 0.25;
    t.RolePlayer = {0, 1, 0, 1};
    t.SubjectRole = subjectRole;
    if (subjectRole >= 0) t.RolePlayer[static_cast<size_t>(subjectRole)] = kSubjectPlayer;
    t.DatabaseOutput = true;
    return t;
  }
  void UsePlan(std::vector<TrialPlan> trials) {
    game.plan.TrialPlans = std::move(trials);
    game.plan.TrialCount = static_cast<int16_t>(game.plan.TrialPlans.size());
  }

  // Plays the current trial as the weekly turn does, keeping the chain as
  // each week was recorded.
  void PlayTrial(int16_t order = 7) {
    ChainContext c = MakeChainContext(game);
    c.WeekClosed = [&, record = c.WeekClosed] {
      recorded.push_back(game.chain);
      record();
    };
    StartTrialChain(c, kRoleNames, testDb.Folder());
    for (uint32_t w = 1; w <= static_cast<uint32_t>(CurrentPlan(game.plan).numweeks); ++w) {
      game.times = {1000 * w, 1000 * w + 250 + w};
      ++game.chain.CurrentWeek;
      SetSubjectOrder(game.chain, order);
      CloseWeek(c);
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
  std::vector<TestRow> RoleRows(const std::string& where = "1=1") {
    return testDb.Rows("SELECT * FROM datRole WHERE " + where + " ORDER BY Week, Trial, Role");
  }
  Trials TrialByRole() {
    Trials trials;
    for (const auto& row : RoleRows()) trials[Text(row.at("Role"))] = Int(row.at("Trial"));
    return trials;
  }

  testing::TestDatabase testDb;
  FaultyEngine engine;
  HookedToolkit toolkit;
  ManualTickCounter ticks;
  testing::FixedRandom random;
  Database db;
  FixedWallClock clock{{2024, 3, 5, 14, 7, 9}};
  Game game;
  std::vector<Chain> recorded;
};
class RecordTest : public ::testing::Test, public Recorder {};

// The stage's figures as the text writes them, with the order of slot `orderSlot`.
std::string Figures(const RoleState& s, size_t orderSlot) {
  std::string b;
  for (int64_t v : {s.Demand, s.OrderSlots[orderSlot], s.Satisfied, s.DeltaInventory, s.Inventory})
    b += "," + std::to_string(v);
  for (int32_t v : s.DelaySlots) b += "," + std::to_string(v);
  return b + "," + std::to_string(s.WeeklyCost) + "," + std::to_string(s.TotalCost);
}
std::string Block(const RoleState& s, size_t orderSlot) {
  return s.RoleName + "," + s.PlayerName + Figures(s, orderSlot);
}

TEST_F(RecordTest, ParticipantAtRetailerRecordsEveryWeekAndTheTrial) {
  UsePlan({Trial(3, 2, kRetailer)});
  PlayTrial(7);

  // Week 1 of a steady chain, by hand: every stage holds 12, gets and ships
  // 4 and pays 12 x 0.5 + 8 x 0.25 = 8. The data folder did not exist.
  const std::vector<std::string> lines = TextLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "P17,Beer,1,1,3,2,251,NULL,0,Factory,Echo,4,4,4,0,12,4,4,8,8,"
            "Distributor,Catch-up,4,4,4,0,12,4,4,8,8,Wholesaler,Echo,4,4,4,0,12,4,4,8,8,"
            "Retailer,Subject,4,4,4,0,12,4,4,8,8");
  for (size_t w = 1; w < 3; ++w) {
    const auto& s = recorded[w].Roles;
    EXPECT_EQ(Split(lines[w]).size(), 53u);
    EXPECT_EQ(lines[w], "P17,Beer,1," + std::to_string(w + 1) + ",3,2," + std::to_string(251 + w) +
                            ",NULL,0," + Block(s[0], 0) + "," + Block(s[1], 0) + "," +
                            Block(s[2], 0) + "," + Block(s[3], 0));
  }

  // Rows by week, then Distributor, Factory, Retailer, Wholesaler; their
  // figures as the text writes them, the order from slot 1.
  const auto rows = RoleRows();
  ASSERT_EQ(rows.size(), 12u);
  const int16_t byName[] = {kDistributor, kFactory, kRetailer, kWholesaler};
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string figures = Text(rows[i].at("Role"));
    for (const char* c : {"Demand", "Order", "Satisfied", "DeltaInventory", "Inventory", "Delay1",
                          "Delay2", "WeeklyCost", "TotalCost"}) {
      figures += "," + std::to_string(Int(rows[i].at(c)));
    }
    const RoleState& s = recorded[i / 4].Roles[static_cast<size_t>(byName[i % 4])];
    EXPECT_EQ(figures, s.RoleName + Figures(s, 1));
  }
  EXPECT_EQ(Int(rows[2].at("Order")), 7);  // the participant's order of week 1
  EXPECT_EQ(testDb.Count("datRole",
                         "Subject='P17' AND Setting='Beer' AND Trial=1 AND Training=0 AND "
                         "User=(CASE Role WHEN 'Retailer' THEN 6 ELSE 0 END) AND PNoise IS NULL "
                         "AND Delay3 IS NULL AND TransactionTime=250+Week AND Date='2024-03-05' "
                         "AND TimeOfDay='14:07:09'"),
            12);

  // The trial row carries the participant's own cost, not the chain's.
  WriteTrialRecord(game);
  const int32_t endCost = game.chain.Roles[kRetailer].TotalCost;
  ASSERT_NE(CurrentPlan(game.plan).TotalCost, endCost);
  EXPECT_EQ(testDb.Count("datTrial",
                         "Subject='P17' AND Setting='Beer' AND Trial=1 AND Training=0 AND Weeks=3 "
                         "AND Delay=2 AND Predicter='' AND InventoryCost=0.5 AND BackCost=1.0 AND "
                         "TransitCost=0.25 AND Factory='Echo' AND Distributor='Catch-up' AND "
                         "Wholesaler='Echo' AND Retailer='Subject' AND Date='2024-03-05' AND "
                         "Time='14:07:09' AND EndCost=" +
                             std::to_string(endCost)),
            1);

  // Past the last trial, the last plan is recorded.
  game.plan.CurrentTrial = 1;
  WriteTrialRecord(game);
  EXPECT_EQ(testDb.Count("datTrial", "Trial=2 AND Weeks=3"), 1);
}

TEST_F(RecordTest, WithoutParticipantStagesGoInIndexOrderAndEndCostIsTheChainsSum) {
  UsePlan({Trial(2, 1, kNoSubject)});
  PlayTrial();
  for (const auto& row : RoleRows()) EXPECT_EQ(Int(row.at("User")), 0);
  const auto& s = recorded[1].Roles;
  EXPECT_EQ(TextLines()[1], "P17,Beer,1,2,2,1,252,NULL,0," + Block(s[0], 0) + "," + Block(s[1], 0) +
                                "," + Block(s[2], 0) + "," + Block(s[3], 0));
  WriteTrialRecord(game);
  double sum = 0;
  for (const RoleState& r : game.chain.Roles) sum += r.TotalCost;
  EXPECT_EQ(testDb.Rows("datTrial")[0].at("EndCost"), FieldValue{sum});
}

TEST_F(RecordTest, PredicterNoiseIsStoredOnlyForTrialsWithAPredicter) {
  TrialPlan forecast = Trial(1, 1, kFactory);
  forecast.Predicter = "Ahead";
  UsePlan({forecast, Trial(1, 1, kFactory)});
  game.predicter.PredictNoise = -3;
  PlayTrial();
  game.plan.CurrentTrial = 1;
  PlayTrial();
  for (const auto& row : RoleRows("Trial=1")) EXPECT_EQ(Int(row.at("PNoise")), -3);
  for (const auto& row : RoleRows("Trial=2")) EXPECT_TRUE(IsNull(row.at("PNoise")));
  const auto lines = TextLines();
  EXPECT_EQ(Split(lines[0])[7] + Split(lines[0])[8], "Ahead-3");
  EXPECT_EQ(Split(lines[1])[7] + Split(lines[1])[8], "NULL-3");
}

TEST_F(RecordTest, TrainingRecordsCarryTheTrainingNumberAndFlag) {
  TrialPlan training = Trial(3, 2, kWholesaler);
  training.OrderDelay = 2;
  UsePlan({Trial(1, 1, kWholesaler), training});
  game.plan.CurrentTrial = 1;
  game.training.TrainingMode = true;
  game.training.TrainingTrialNo = -3;
  PlayTrial(7);
  WriteTrialRecord(game);
  for (const auto& row : RoleRows()) {
    EXPECT_EQ(Int(row.at("Trial")), -3);
    EXPECT_EQ(Int(row.at("Training")), 1);
  }
  EXPECT_EQ(Int(testDb.Rows("datTrial")[0].at("Trial")), -3);
  EXPECT_EQ(Int(testDb.Rows("datTrial")[0].at("Training")), 1);
  // In week 2 the pipeline holds 4, 7, 4: row and text both take slot 1.
  const RoleState& subject = recorded[1].Roles[kWholesaler];
  ASSERT_EQ(subject.OrderSlots, (std::vector<int32_t>{4, 7, 4}));
  EXPECT_EQ(Int(RoleRows("Week=2 AND Role='Wholesaler'")[0].at("Order")), 7);
  const std::string line = TextLines()[1];
  EXPECT_EQ(line.substr(0, 12), "P17,Beer,-3,");
  EXPECT_EQ(line.substr(line.rfind(",Wholesaler,") + 1), Block(subject, 1));
}

TEST_F(RecordTest, WithoutDatabaseOutputOnlyTheTextIsWritten) {
  TrialPlan quiet = Trial(2, 1, kRetailer);
  quiet.DatabaseOutput = false;
  UsePlan({quiet});
  PlayTrial();
  WriteTrialRecord(game);
  EXPECT_EQ(engine.opens, 0);
  EXPECT_EQ(TextLines().size(), 2u);
}

TEST_F(RecordTest, ExistingKeysMoveTheRowToTheNextTrialWithoutAsking) {
  UsePlan({Trial(1, 1, kRetailer)});
  testDb.Insert(
      "datRole",
      {{"Subject", "P17"}, {"Setting", "Beer"}, {"Trial", 1}, {"Week", 1}, {"Role", "Wholesaler"}});
  testDb.Insert("datTrial", {{"Subject", "P17"}, {"Setting", "Beer"}, {"Trial", 1}});
  PlayTrial();
  WriteTrialRecord(game);
  EXPECT_TRUE(toolkit.shown.empty());
  EXPECT_EQ(testDb.Count("datRole", "Inventory IS NOT NULL AND Trial=2"), 1);
  EXPECT_EQ(testDb.Count("datRole", "Inventory IS NOT NULL AND Trial=1"), 3);
  EXPECT_EQ(testDb.Count("datTrial", "Trial=2 AND Weeks=1"), 1);
}

// Every row of one open may fail five times silently; the sixth failure asks.
// Retry stores the row under the Trial it has reached (in training, the
// number is lowered for the rest of the week), Ignore loses the whole week,
// Abort ends. A failed commit asks too, and Retry writes the open again.
TEST(RecordFaults, RetriesAreSharedPerOpenThenTheModeratorDecides) {
  const auto R = MsgResult::Retry, I = MsgResult::Ignore, A = MsgResult::Abort;
  const std::string moved =
      "Trial=CASE Role WHEN 'Factory' THEN 3 WHEN 'Wholesaler' THEN 4 ELSE 1 END";
  const std::string lowered = "Trial=CASE Role WHEN 'Factory' THEN -1 ELSE -2 END";
  const struct {
    int16_t weeks;
    bool training;
    std::string updates;  // x: that Update call fails
    int closeFails;
    MsgResult answer;
    int box;   // the error the one box names, 0 for none
    int rows;  // all matching `where`
    std::string where;
    int opens;
  } cases[] = {
      {1, false, "xx..xxxx", 0, R, 3022, 4, moved, 1},
      {2, false, "xxx....xxx", 0, R, 0, 8, "1=1", 2},
      {2, false, ".xxxxxx", 0, I, 3022, 4, "Week=2", 2},
      {1, false, "..xxxxxx", 0, A, 3022, 0, "1=1", 1},
      {1, true, ".x", 0, R, 0, 4, lowered, 1},
      {1, false, "", 1, R, 3005, 4, "1=1", 2},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.updates + " " + k.where);
    Recorder r;
    r.UsePlan({Recorder::Trial(k.weeks, 1, kRetailer)});
    r.game.training.TrainingMode = k.training;
    r.game.training.TrainingTrialNo = -1;
    for (char u : k.updates) r.engine.updateFails.push_back(u == 'x');
    r.engine.closeFails = k.closeFails;
    r.toolkit.answers = {k.answer};
    if (k.answer == MsgResult::Abort) {
      EXPECT_THROW(r.PlayTrial(), ApplicationEnd);
    } else {
      r.PlayTrial();
      EXPECT_EQ(r.TextLines().size(), static_cast<size_t>(k.weeks));
    }
    ASSERT_EQ(r.toolkit.shown.size(), k.box ? 1u : 0u);
    if (k.box) {
      EXPECT_EQ(r.toolkit.Last().prompt, k.box == 3022 ? "3022: The changes were not successful"
                                                       : "3005: database is locked");
      EXPECT_EQ(r.toolkit.Last().title, "Problems on weekly output to database");
      EXPECT_EQ(r.toolkit.Last().style, MsgStyle::AbortRetryIgnore);
    }
    EXPECT_EQ(r.testDb.Count("datRole"), k.rows);
    EXPECT_EQ(r.testDb.Count("datRole", k.where), k.rows);
    EXPECT_EQ(r.engine.opens, k.opens);
    if (k.training) {
      EXPECT_EQ(r.game.training.TrainingTrialNo, -2);
    }
  }
  Recorder r;  // the trial row shares the writer
  r.UsePlan({Recorder::Trial(1, 1, kRetailer)});
  r.PlayTrial();
  r.engine.closeFails = 1;
  r.toolkit.answers = {MsgResult::Ignore};
  WriteTrialRecord(r.game);
  EXPECT_EQ(r.testDb.Count("datTrial"), 0);
  r.engine.updateFails = std::deque<bool>(6, true);
  r.toolkit.answers = {MsgResult::Abort};
  EXPECT_THROW(WriteTrialRecord(r.game), ApplicationEnd);
}

TEST_F(RecordTest, FailedTextWriteAsksAndRetryWritesTheSameLine) {
  UsePlan({Trial(1, 1, kRetailer)});
  const fs::path file = fs::path(toolkit.appFolder) / "data" / "P17.txt";
  fs::create_directories(file);  // a folder where the file belongs
  toolkit.onBox = [&] { fs::remove(file); };
  toolkit.answers = {MsgResult::Retry};
  PlayTrial();
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.Last().title, "Problems on weekly output to text file");
  EXPECT_EQ(toolkit.Last().style, MsgStyle::AbortRetryIgnore);
  EXPECT_NE(toolkit.Last().prompt.find(file.string() + "\r\nIs a directory"), std::string::npos);
  EXPECT_EQ(TextLines().size(), 1u);
  EXPECT_EQ(testDb.Count("datRole"), 4);

  toolkit.onBox = nullptr;
  fs::remove(file);
  fs::create_directories(file);
  toolkit.answers = {MsgResult::Ignore, MsgResult::Abort};
  WriteWeekLine(game);
  EXPECT_THROW(WriteWeekLine(game), ApplicationEnd);

  game.identity.SubjectID = "../P17";
  EXPECT_EQ(WeekLinePath(game), (fs::path(toolkit.appFolder) / "data" / ".._P17.txt").string());
}

TEST_F(RecordTest, ThreeTrialsEndWithTheCostSumAndGameOver) {
  UsePlan({Trial(2, 1, kNoSubject), Trial(3, 2, kNoSubject), Trial(1, 1, kNoSubject)});
  game.plan.CurrentTrial = -1;  // nothing played yet: adds nothing
  FakeWindow window;
  window.onStart = [&] { PlayTrial(); };
  for (int i = 0; i < 4; ++i) NextTrial(game, window);
  double sum = 0;
  for (const TrialPlan& t : game.plan.TrialPlans) sum += t.TotalCost;
  EXPECT_EQ(window.starts, 3);
  EXPECT_EQ(game.CostSum, sum);
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.Last().prompt, "Total cost sum over all 3 completed trial(s) is " +
                                       std::to_string(game.CostSum) + "\r\nAlert your moderator.");
  EXPECT_EQ(toolkit.Last().title, "All 3 Trial(s) Completed");
  EXPECT_EQ(window.orderCaption, "Game Over");
}

TEST_F(RecordTest, TrainingRepeatsOrAdvancesUnderLowerNumbersThenHandsOver) {
  UsePlan({Trial(1, 1, kRetailer), Trial(1, 1, kRetailer), Trial(1, 1, kRetailer),
           Trial(1, 1, kRetailer)});
  game.plan.TrialCount = 2;  // two training trials behind two experiment trials
  game.plan.TrialPlans[2].TotalCost = game.plan.TrialPlans[3].TotalCost = 100;
  game.plan.CurrentTrial = 2;
  TrainingState& training = game.training;
  training.TrainingMode = true;
  training.PlanCount = 4;
  training.ResumeTrial = 0;
  training.TrainingTrialNo = -1;
  FakeWindow window;

  NextTrial(game, window);  // failed: the same trial again
  EXPECT_EQ(game.plan.CurrentTrial, 2);
  EXPECT_EQ(game.training.TrainingTrialNo, -2);
  EXPECT_TRUE(game.training.TrainingPassed);
  NextTrial(game, window);  // passed: the next one
  EXPECT_EQ(game.plan.CurrentTrial, 3);
  EXPECT_EQ(game.training.TrainingTrialNo, -3);
  EXPECT_EQ(window.starts, 2);

  NextTrial(game, window);  // the last one: back to the experiment
  EXPECT_EQ(toolkit.Last().title, "Training Complete");
  EXPECT_EQ(window.playerCaption, "");
  EXPECT_FALSE(game.training.TrainingMode);
  EXPECT_EQ(game.plan.CurrentTrial, 1);
  EXPECT_EQ(window.starts, 3);
  EXPECT_EQ(game.CostSum, 0);  // no training cost is ever added
}

}  // namespace
}  // namespace quarn
