#include "db/SqlCipherResultStore.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quarn
