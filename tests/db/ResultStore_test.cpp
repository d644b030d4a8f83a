#include "db/ResultStore.h"

#include <gtest/gtest.h>

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
TYPED_TEST_SUITE(ResultStoreTest, Engines, EngineNames);

WeekRow aWeekRow(const char* role = "Retailer", int16_t trial = 2) {
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.trial = trial;
  row.week = 7;
  row.role = role;
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

}  // namespace
}  // namespace quarn::testing
