#include <gtest/gtest.h>

#include "db/SqlPlanStore.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

std::vector<int> delaysOf(const Rows& rows) {
  std::vector<int> delays;
  for (const Row& row : rows) delays.push_back(row.cell("Delay").toInt16());
  return delays;
}

TEST(SqlCipherPlanStore, BlockRowsComeByRandomGroupDescendingThenIndex) {
  TestDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}, {"RandomGroup", 0}, {"Index", 1}, {"Delay", 1}});
  db.insert("tblBlock", {{"Setting", "A"}, {"RandomGroup", 2}, {"Index", 5}, {"Delay", 2}});
  db.insert("tblBlock", {{"Setting", "A"}, {"RandomGroup", 1}, {"Index", 1}, {"Delay", 3}});
  db.insert("tblBlock", {{"Setting", "A"}, {"RandomGroup", 2}, {"Index", 4}, {"Delay", 4}});
  db.insert("tblBlock", {{"Setting", "a"}, {"Delay", 9}});
  EXPECT_EQ(delaysOf(db.stores.plan().blockRows("A")), (std::vector<int>{4, 2, 3, 1}));
}

TEST(SqlCipherPlanStore, PausesComeByTrial) {
  TestDatabase db;
  for (int trial : {4, 2, 3}) db.insert("tblPause", {{"Setting", "A"}, {"Trial", trial}});
  std::vector<int> trials;
  for (const Row& row : db.stores.plan().pauseRows("A"))
    trials.push_back(row.cell("Trial").toInt16());
  EXPECT_EQ(trials, (std::vector<int>{2, 3, 4}));
}

TEST(SqlCipherPlanStore, NamedRowsAreFoundByTheirNameExactly) {
  TestDatabase db;
  db.insert("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", 2}});
  db.insert("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", 3}});
  db.insert("tblDisplay", {{"Configuration", "All"}});
  db.insert("tblDisplayOption", {{"Option", "Every'thing"}});
  PlanStore& plan = db.stores.plan();
  EXPECT_EQ(plan.predicter("Ahead")->cell("Extent").toInt16(), 2) << "the first row counts";
  EXPECT_FALSE(plan.predicter("ahead"));
  EXPECT_TRUE(plan.displayConfiguration("All"));
  EXPECT_TRUE(plan.displayOption("Every'thing"));
  EXPECT_FALSE(plan.displayOption(""));
}

TEST(SqlCipherPlanStore, SettingsAreListedOnce) {
  TestDatabase db;
  for (const char* setting : {"B", "A", "B"}) db.insert("tblBlock", {{"Setting", setting}});
  db.insert("tblTraining", {{"Setting", "T"}});
  db.insert("tblPause", {{"Setting", "P"}, {"Trial", 1}});
  EXPECT_EQ(db.stores.plan().settings(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(db.stores.plan().plannedSettings(), (std::set<std::string>{"A", "B", "P", "T"}));
}

TEST(SqlCipherPlanStore, BlockTrialCountSumsTheRuns) {
  TestDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}, {"Runs", 3}});
  db.insert("tblBlock", {{"Setting", "A"}, {"Runs", 2}});
  db.insert("tblBlock", {{"Setting", "B"}, {"Runs", 7}});
  EXPECT_EQ(db.stores.plan().blockTrialCount("A"), 5);
}

}  // namespace
}  // namespace quarn
