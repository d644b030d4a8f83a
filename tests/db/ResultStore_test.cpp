#include "db/ResultStore.h"

#include <gtest/gtest.h>

#include <tuple>

#include "db/DbError.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

template <class Engine>
class ResultStoreTest : public ::testing::Test {
 protected:
  ResultStore& results() { return db.stores().results(); }
  Engine db;
};
TYPED_TEST_SUITE(ResultStoreTest, WritingEngines, EngineNames);

WeekRow aWeekRow(const char* role = "Retailer", int16_t trial = 2) {
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.trial = trial;
  row.week = 7;
  row.role = role;
  row.stage.order = 5;
  row.stage.deltaInventory = -1;
  row.stage.inventory = 11;
  row.stage.delaySlots = {4, 6};
  row.stage.demand = 8;
  row.stage.satisfied = 8;
  row.stage.weeklyCost = 6;
  row.stage.totalCost = 40;
  row.stage.decisionTime = 1250;
  row.date = "2024-03-05";
  row.timeOfDay = "14:07:09";
  return row;
}

std::optional<DbError> failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const DbError& failure) {
    return failure;
  }
  return std::nullopt;
}

// Columns the row does not fill are Null or 0, as the table's defaults make
// them: User and Training 0, PNoise and the slots beyond the delay Null.
TYPED_TEST(ResultStoreTest, WeekRowFillsItsColumns) {
  auto writer = this->results().openWeekRows();
  writer->insert(aWeekRow());
  WeekRow participant = aWeekRow("Factory");
  participant.participant = true;
  participant.training = true;
  participant.predicterNoise = -2;
  writer->insert(participant);
  writer->commit();
  EXPECT_EQ(this->db.count("datRole", R"("Role" = 'Retailer' AND "User" = 0 AND "Training" = 0
      AND "PNoise" IS NULL AND "Order" = 5 AND "DeltaInventory" = -1 AND "Inventory" = 11
      AND "Delay1" = 4 AND "Delay2" = 6 AND "Delay3" IS NULL AND "Demand" = 8
      AND "Satisfied" = 8 AND "WeeklyCost" = 6 AND "TotalCost" = 40
      AND "TransactionTime" = 1250 AND "Date" = '2024-03-05' AND "TimeOfDay" = '14:07:09')"),
            1);
  EXPECT_EQ(this->db.count("datRole", R"("Role" = 'Factory' AND "User" = 6 AND "Training" = 1
      AND "PNoise" = -2)"),
            1);
}

TYPED_TEST(ResultStoreTest, TrialRowFillsItsColumns) {
  TrialRow row{"P1",         "A",       -1,      true,
               20,           2,         "Ahead", 0.5,
               1.0,          0.25,      3.5,     {"Sterman", "Subject", "Follower", "Sterman"},
               "2024-03-05", "14:07:09"};
  auto writer = this->results().openTrialRows();
  writer->insert(row);
  writer->commit();
  EXPECT_EQ(this->db.count("datTrial", R"("Trial" = -1 AND "Training" = 1 AND "Weeks" = 20
      AND "Delay" = 2 AND "Predicter" = 'Ahead' AND "InventoryCost" = 0.5 AND "BackCost" = 1.0
      AND "TransitCost" = 0.25 AND "EndCost" = 3.5 AND "Factory" = 'Sterman'
      AND "Distributor" = 'Subject' AND "Wholesaler" = 'Follower' AND "Retailer" = 'Sterman'
      AND "Date" = '2024-03-05' AND "Time" = '14:07:09')"),
            1);
}

// A writer dropped without commit stores none of its rows, also after a
// failed row.
TYPED_TEST(ResultStoreTest, WeekIsStoredWholeByCommitOrNotAtAll) {
  this->db.insert(
      "datRole",
      {{"Subject", "P1"}, {"Setting", "A"}, {"Trial", 2}, {"Week", 7}, {"Role", "Retailer"}});
  {
    auto writer = this->results().openWeekRows();
    for (const char* role : {"Factory", "Distributor", "Wholesaler"}) {
      writer->insert(aWeekRow(role));
    }
    EXPECT_EQ(this->db.count("datRole"), 1) << "nothing is seen before the commit";
    EXPECT_TRUE(failureOf([&] { writer->insert(aWeekRow("Retailer")); }));
  }
  EXPECT_EQ(this->db.count("datRole"), 1);
}

// The row whose key is taken is refused as a key collision; the open goes
// on, and the same row with its Trial moved is stored with the others.
TYPED_TEST(ResultStoreTest, TakenKeyIsAKeyCollisionAndTheOpenGoesOn) {
  this->db.insert(
      "datRole",
      {{"Subject", "P1"}, {"Setting", "A"}, {"Trial", 2}, {"Week", 7}, {"Role", "Wholesaler"}});
  auto writer = this->results().openWeekRows();
  writer->insert(aWeekRow("Factory"));
  writer->insert(aWeekRow("Distributor"));
  const auto failure = failureOf([&] { writer->insert(aWeekRow("Wholesaler")); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind(), DbErrorKind::KeyCollision);
  EXPECT_EQ(failure->number(), kErrDuplicateKey);
  writer->insert(aWeekRow("Wholesaler", 3));
  writer->insert(aWeekRow("Retailer"));
  writer->commit();
  EXPECT_EQ(this->db.count("datRole", R"("Trial" = 2 AND "Order" = 5)"), 3);
  EXPECT_EQ(this->db.count("datRole", R"("Trial" = 3 AND "Role" = 'Wholesaler')"), 1);
  EXPECT_EQ(this->db.count("datRole"), 5);
}

TrialRow aTrialRow(int16_t trial = 2) {
  TrialRow row;
  row.subject = "P1";
  row.setting = "A";
  row.trial = trial;
  row.weeks = 20;
  row.delay = 2;
  row.predicter = "Smooth";
  row.inventoryCostRate = 0.5;
  row.backorderCostRate = 1.0;
  row.transitCostRate = 0.25;
  row.endCost = 312.5;
  row.players = {"Sterman", "Subject", "Follower", "Sterman"};
  row.date = "2024-03-05";
  row.time = "14:07:09";
  return row;
}

template <class RowT>
void store(std::unique_ptr<RowWriter<RowT>> writer, const std::vector<RowT>& rows) {
  for (const RowT& row : rows) writer->insert(row);
  writer->commit();
}

// Trials by number; weeks by trial and week, and within a week in the order
// they were written.
TYPED_TEST(ResultStoreTest, RecordedRowsReadBackTheRowsWrittenInOrder) {
  WeekRow participant = aWeekRow("Factory");
  participant.participant = true;
  participant.predicterNoise = -2;
  participant.stage.delaySlots = {1, 2, 3};
  WeekRow earlier = aWeekRow();
  earlier.week = 6;
  WeekRow firstTrial = aWeekRow("Wholesaler", 1);
  store(this->results().openWeekRows(), {aWeekRow(), participant, earlier, firstTrial});
  store(this->results().openTrialRows(), {aTrialRow(2), aTrialRow(1)});

  const RecordedRows rows = this->results().recordedRows({"P1", "A"});
  EXPECT_EQ(rows.trials, std::vector<TrialRow>({aTrialRow(1), aTrialRow(2)}));
  EXPECT_EQ(rows.weeks, std::vector<WeekRow>({firstTrial, earlier, aWeekRow(), participant}));
}

TYPED_TEST(ResultStoreTest, RecordedRowsLeaveOutTrainingAndOtherSessions) {
  WeekRow training = aWeekRow();
  training.trial = -1;
  training.training = true;
  WeekRow otherSetting = aWeekRow();
  otherSetting.setting = "B";
  WeekRow otherSubject = aWeekRow();
  otherSubject.subject = "p1";
  store(this->results().openWeekRows(), {aWeekRow(), training, otherSetting, otherSubject});
  TrialRow trainingTrial = aTrialRow(-1);
  trainingTrial.training = true;
  store(this->results().openTrialRows(), {aTrialRow(), trainingTrial});

  const RecordedRows rows = this->results().recordedRows({"P1", "A"});
  EXPECT_EQ(rows.trials, std::vector<TrialRow>({aTrialRow()}));
  EXPECT_EQ(rows.weeks, std::vector<WeekRow>({aWeekRow()}));
}

TYPED_TEST(ResultStoreTest, RecordedRowsReadNullsAsZeroAndEmpty) {
  this->db.insert("datRole", {{"Subject", "P1"},
                              {"Setting", "A"},
                              {"Trial", 1},
                              {"Week", 1},
                              {"Role", "Retailer"},
                              {"Delay1", 4},
                              {"Delay3", 9}});
  this->db.insert("datTrial", {{"Subject", "P1"}, {"Setting", "A"}, {"Trial", 1}});
  const RecordedRows rows = this->results().recordedRows({"P1", "A"});
  ASSERT_EQ(rows.weeks.size(), 1u);
  const WeekRow& w = rows.weeks[0];
  EXPECT_EQ(
      std::vector<int32_t>({w.stage.order, w.stage.inventory, w.stage.demand, w.stage.totalCost}),
      std::vector<int32_t>({0, 0, 0, 0}));
  EXPECT_FALSE(w.predicterNoise);
  EXPECT_EQ(w.stage.delaySlots, std::vector<int32_t>({4}));  // the slots end at the first Null
  EXPECT_EQ(w.date, "");
  ASSERT_EQ(rows.trials.size(), 1u);
  EXPECT_EQ(rows.trials[0].weeks, 0);
  EXPECT_EQ(rows.trials[0].endCost, 0.0);
  EXPECT_EQ(rows.trials[0].players[0], "");
}

// Listed byte by byte (upper case before lower case) on both engines,
// whatever collation the server's database has.
std::string sessionList(const std::vector<RecordedSession>& sessions) {
  std::string found;
  for (const RecordedSession& s : sessions) {
    found += (found.empty() ? "" : " ") + s.subject + "/" + s.setting;
  }
  return found;
}

TYPED_TEST(ResultStoreTest, SessionsOfExperimentOrTrainingRowsFilterBySettingAndSubject) {
  std::vector<WeekRow> rows;
  for (const auto& [subject, setting, training] :
       std::vector<std::tuple<std::string, std::string, bool>>{{"s3", "A", false},
                                                               {"S1", "A", false},
                                                               {"S1", "T", true},
                                                               {"S1", "B'x", false},
                                                               {"S2", "A", false}}) {
    WeekRow row = aWeekRow();
    row.subject = subject;
    row.setting = setting;
    row.training = training;
    rows.push_back(row);
  }
  store(this->results().openWeekRows(), rows);
  struct Case {
    std::string setting, subject, sessions;
  };
  for (const Case& c : std::vector<Case>{{"", "", "S1/A S1/B'x S2/A s3/A"},
                                         {"A", "", "S1/A S2/A s3/A"},
                                         {"A", "S1", "S1/A"},
                                         {"B'x", "", "S1/B'x"},
                                         {"", "S2", "S2/A"},
                                         {"T", "", ""},
                                         {"a", "", ""}}) {
    EXPECT_EQ(sessionList(this->results().recordedSessions(c.setting, c.subject)), c.sessions)
        << "setting '" << c.setting << "', subject '" << c.subject << "'";
  }
  EXPECT_EQ(sessionList(this->results().trainingSessions("", "")), "S1/T");
  EXPECT_EQ(sessionList(this->results().trainingSessions("A", "S1")), "");
}

}  // namespace
}  // namespace quarn::testing
