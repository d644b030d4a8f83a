#include "db/SqlCipherResultStore.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

WeekRow aWeekRow() {
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.trial = 2;
  row.week = 7;
  row.role = "Retailer";
  row.order = 5;
  row.deltaInventory = -1;
  row.inventory = 11;
  row.delaySlots = {4, 6};
  row.demand = 8;
  row.satisfied = 8;
  row.weeklyCost = 6;
  row.totalCost = 40;
  row.transactionTime = 1250;
  row.date = "2024-03-05";
  row.timeOfDay = "14:07:09";
  return row;
}

// Columns the row does not fill are Null or 0, as the table's defaults make
// them: User and Training 0, PNoise and the slots beyond the delay Null.
TEST(SqlCipherResultStore, WeekRowFillsItsColumns) {
  TestDatabase db;
  auto writer = db.stores.results().openWeekRows();
  writer->insert(aWeekRow());
  WeekRow participant = aWeekRow();
  participant.role = "Factory";
  participant.participant = true;
  participant.training = true;
  participant.predicterNoise = -2;
  writer->insert(participant);
  writer->commit();
  EXPECT_EQ(db.count("datRole",
                     "Role='Retailer' AND User=0 AND Training=0 AND PNoise IS NULL AND [Order]=5 "
                     "AND DeltaInventory=-1 AND Inventory=11 AND Delay1=4 AND Delay2=6 AND Delay3 "
                     "IS NULL AND Demand=8 AND Satisfied=8 AND WeeklyCost=6 AND TotalCost=40 AND "
                     "TransactionTime=1250 AND Date='2024-03-05' AND TimeOfDay='14:07:09'"),
            1);
  EXPECT_EQ(db.count("datRole", "Role='Factory' AND User=6 AND Training=1 AND PNoise=-2"), 1);
}

TEST(SqlCipherResultStore, RowsAreStoredOnlyByCommit) {
  TestDatabase db;
  db.stores.results().openWeekRows()->insert(aWeekRow());
  EXPECT_EQ(db.count("datRole"), 0);
}

TrialRow aTrialRow() {
  TrialRow row;
  row.subject = "P1";
  row.setting = "A";
  row.trial = 2;
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

TEST(SqlCipherResultStore, RecordedRowsReadBackTheRowsWritten) {
  TestDatabase db;
  WeekRow participant = aWeekRow();
  participant.role = "Factory";
  participant.participant = true;
  participant.predicterNoise = -2;
  participant.delaySlots = {1, 2, 3};
  WeekRow earlier = aWeekRow();
  earlier.week = 6;
  store(db.stores.results().openWeekRows(), {aWeekRow(), participant, earlier});
  store(db.stores.results().openTrialRows(), {aTrialRow()});

  const RecordedRows rows = db.stores.results().recordedRows({"P1", "A"});
  ASSERT_EQ(rows.trials.size(), 1u);
  EXPECT_EQ(rows.trials[0], aTrialRow());
  ASSERT_EQ(rows.weeks.size(), 3u);
  EXPECT_EQ(rows.weeks[0], earlier);  // by trial and week
  EXPECT_TRUE(rows.weeks[1] == aWeekRow() || rows.weeks[2] == aWeekRow());
  EXPECT_TRUE(rows.weeks[1] == participant || rows.weeks[2] == participant);
}

TEST(SqlCipherResultStore, RecordedRowsReadNullsAsZeroAndEmpty) {
  TestDatabase db;
  db.insert("datRole", {{"Subject", "P1"},
                        {"Setting", "A"},
                        {"Trial", 1},
                        {"Week", 1},
                        {"Role", "Retailer"},
                        {"Delay1", 4},
                        {"Delay3", 9}});
  db.insert("datTrial", {{"Subject", "P1"}, {"Setting", "A"}, {"Trial", 1}});
  const RecordedRows rows = db.stores.results().recordedRows({"P1", "A"});
  ASSERT_EQ(rows.weeks.size(), 1u);
  const WeekRow& w = rows.weeks[0];
  EXPECT_EQ(std::vector<int32_t>({w.order, w.inventory, w.demand, w.totalCost}),
            std::vector<int32_t>({0, 0, 0, 0}));
  EXPECT_FALSE(w.predicterNoise);
  EXPECT_EQ(w.delaySlots, std::vector<int32_t>({4}));  // the slots end at the first Null
  EXPECT_EQ(w.date, "");
  ASSERT_EQ(rows.trials.size(), 1u);
  EXPECT_EQ(rows.trials[0].weeks, 0);
  EXPECT_EQ(rows.trials[0].players[0], "");
}

TEST(SqlCipherResultStore, RecordedSessionsFilterBySettingAndSubjectAndLeaveOutTraining) {
  TestDatabase db;
  std::vector<WeekRow> rows;
  for (const auto& [subject, setting, training] :
       std::vector<std::tuple<std::string, std::string, bool>>{
           {"S1", "A", false}, {"S1", "T", true}, {"S1", "B'x", false}, {"S2", "A", false}}) {
    WeekRow row = aWeekRow();
    row.subject = subject;
    row.setting = setting;
    row.training = training;
    rows.push_back(row);
  }
  store(db.stores.results().openWeekRows(), rows);
  struct Case {
    std::string setting, subject, sessions;
  };
  for (const Case& c : std::vector<Case>{{"", "", "S1/A S1/B'x S2/A"},
                                         {"A", "", "S1/A S2/A"},
                                         {"A", "S1", "S1/A"},
                                         {"B'x", "", "S1/B'x"},
                                         {"", "S2", "S2/A"},
                                         {"T", "", ""},
                                         {"a", "", ""}}) {
    std::string found;
    for (const RecordedSession& s : db.stores.results().recordedSessions(c.setting, c.subject)) {
      found += (found.empty() ? "" : " ") + s.subject + "/" + s.setting;
    }
    EXPECT_EQ(found, c.sessions) << "setting '" << c.setting << "', subject '" << c.subject << "'";
  }
}

}  // namespace
}  // namespace quarn
