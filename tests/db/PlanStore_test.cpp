#include "db/PlanStore.h"

#include <gtest/gtest.h>

#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

template <class Engine>
class PlanStoreTest : public ::testing::Test {
 protected:
  Engine db;
};
TYPED_TEST_SUITE(PlanStoreTest, Engines, EngineNames);

std::vector<int> delaysOf(const Rows& rows) {
  std::vector<int> delays;
  for (const Row& row : rows) delays.push_back(row.cell("Delay").toInt16());
  return delays;
}

// Rows of the same group and index keep the order they were inserted in.
TYPED_TEST(PlanStoreTest, BlockRowsComeByRandomGroupDescendingThenIndexThenInsertion) {
  const int rows[][3] = {{0, 1, 1}, {2, 5, 2}, {1, 1, 3}, {2, 4, 4}, {2, 4, 5}, {0, 1, 6}};
  for (const auto& [group, index, delay] : rows) {
    this->db.insert("tblBlock",
                    {{"Setting", "A"}, {"RandomGroup", group}, {"Index", index}, {"Delay", delay}});
  }
  this->db.insert("tblBlock", {{"Setting", "a"}, {"Delay", 9}});
  EXPECT_EQ(delaysOf(this->db.stores().plan().blockRows("A")),
            (std::vector<int>{4, 5, 2, 3, 1, 6}));
}

TYPED_TEST(PlanStoreTest, TrainingRowsAndPlayersComeInInsertionOrder) {
  for (int delay : {3, 1, 2}) this->db.insert("tblTraining", {{"Setting", "A"}, {"Delay", delay}});
  for (const char* name : {"Zed", "Amy", "Max"}) this->db.insert("tblPlayer", {{"Name", name}});
  EXPECT_EQ(delaysOf(this->db.stores().plan().trainingRows("A")), (std::vector<int>{3, 1, 2}));
  std::vector<std::string> names;
  for (const Row& row : this->db.stores().plan().players()) {
    names.push_back(row.cell("Name").toText());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Zed", "Amy", "Max"}));
}

// An optional column left empty (Null) reads as its default, as one left
// out of the insert does; a required one stays empty.
TYPED_TEST(PlanStoreTest, OptionalColumnLeftEmptyReadsAsItsDefault) {
  this->db.insert("tblBlock", {{"Setting", "A"},
                               {"DatabaseOutput", TestValue()},
                               {"PricePerUnit", TestValue()},
                               {"Input", TestValue()},
                               {"Delay", TestValue()}});
  this->db.insert("tblPlayer", {{"Name", "Lazy"}, {"Alpha", TestValue()}});
  this->db.insert("tblDisplayOption", {{"Option", "Some"}, {"Cost", TestValue()}});
  PlanStore& plan = this->db.stores().plan();
  const Row block = plan.blockRows("A").front();
  EXPECT_EQ(block.cell("DatabaseOutput").toInt16(), 1);
  EXPECT_EQ(block.cell("PricePerUnit").toInt16(), 0);
  EXPECT_EQ(block.cell("Input").toText(), "");
  EXPECT_TRUE(block.cell("Delay").isNull());
  EXPECT_EQ(plan.players().front().cell("Alpha").toDouble(), 0.0);
  EXPECT_TRUE(plan.displayOption("Some")->cell("Cost").toBool());
}

TYPED_TEST(PlanStoreTest, PausesComeByTrial) {
  for (int trial : {4, 2, 3}) this->db.insert("tblPause", {{"Setting", "A"}, {"Trial", trial}});
  std::vector<int> trials;
  for (const Row& row : this->db.stores().plan().pauseRows("A")) {
    trials.push_back(row.cell("Trial").toInt16());
  }
  EXPECT_EQ(trials, (std::vector<int>{2, 3, 4}));
}

TYPED_TEST(PlanStoreTest, NamedRowsAreFoundByTheirNameExactly) {
  this->db.insert("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", 2}});
  this->db.insert("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", 3}});
  this->db.insert("tblDisplay", {{"Configuration", "All"}});
  this->db.insert("tblDisplayOption", {{"Option", "Every'thing"}});
  PlanStore& plan = this->db.stores().plan();
  EXPECT_EQ(plan.predicter("Ahead")->cell("Extent").toInt16(), 2) << "the first row counts";
  EXPECT_FALSE(plan.predicter("ahead"));
  EXPECT_TRUE(plan.displayConfiguration("All"));
  EXPECT_TRUE(plan.displayOption("Every'thing"));
  EXPECT_FALSE(plan.displayOption(""));
}

// Sorted byte by byte on both engines, whatever the server's collation.
TYPED_TEST(PlanStoreTest, SettingsAreListedOnceInByteOrder) {
  for (const char* setting : {"b", "B", "A", "B"}) {
    this->db.insert("tblBlock", {{"Setting", setting}});
  }
  this->db.insert("tblTraining", {{"Setting", "T"}});
  this->db.insert("tblPause", {{"Setting", "P"}, {"Trial", 1}});
  EXPECT_EQ(this->db.stores().plan().settings(), (std::vector<std::string>{"A", "B", "b"}));
  EXPECT_EQ(this->db.stores().plan().plannedSettings(),
            (std::set<std::string>{"A", "B", "P", "T", "b"}));
}

TYPED_TEST(PlanStoreTest, BlockTrialCountSumsTheRuns) {
  this->db.insert("tblBlock", {{"Setting", "A"}, {"Runs", 3}});
  this->db.insert("tblBlock", {{"Setting", "A"}, {"Runs", 2}});
  this->db.insert("tblBlock", {{"Setting", "B"}, {"Runs", 7}});
  EXPECT_EQ(this->db.stores().plan().blockTrialCount("A"), 5);
}

}  // namespace
}  // namespace quarn::testing
