#include "db/DatabaseCopy.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>

#include "db/DbError.h"
#include "db/Schema.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

std::string csvOf(EngineDatabase& db, const std::string& table) {
  std::ostringstream out;
  exportCsv(db.tables(), table, out);
  return out.str();
}

// Rows of every kind of value: Null, text with quotes and letters beyond
// ASCII, whole numbers and fractions.
void fillExperiment(EngineDatabase& db) {
  db.insert("tblPlayer", {{"Name", "Sterman"}, {"Sterman", 1}, {"Alpha", 0.26}});
  db.insert("tblPlayer", {{"Name", "Follower"}, {"Demand", 1}});
  db.insert("tblBlock", {{"Setting", "A"}, {"Runs", 2}, {"Delay", 1}, {"CostInventory", 0.5}});
  db.insert("tblPause", {{"Setting", "A"}, {"Trial", 1}, {"Password", "it's \"on\""}});
  db.insert("datUser", {{"Subject", "Zo\xC3\xAB"}, {"Setting", "A"}, {"Age", TestValue()}});
  db.insert("datUser", {{"Subject", "P2"}, {"Setting", "A"}, {"Age", 23}});
  for (int week = 1; week <= 3; ++week) {
    db.insert("datRole", {{"Subject", "Zo\xC3\xAB"},
                          {"Setting", "A"},
                          {"Trial", 1},
                          {"Week", week},
                          {"Role", "Retailer"},
                          {"TotalCost", 10 * week}});
  }
  db.insert("datTrial",
            {{"Subject", "Zo\xC3\xAB"}, {"Setting", "A"}, {"Trial", 1}, {"EndCost", 2.5}});
  db.insert("datPlaying",
            {{"Subject", "P2"}, {"Host", "lab-1"}, {"Process", 42}, {"Since", 1}, {"LastWeek", 2}});
  // A team of two: its members, an order each has typed, who played where.
  for (int member = 1; member <= 2; ++member) {
    const std::string subject = member == 1 ? "Zo\xC3\xAB" : "P2";
    db.insert("datTeamMember",
              {{"Setting", "A"}, {"Team", "Blue"}, {"Member", member}, {"Subject", subject}});
    db.insert("datTeamOrder", {{"Setting", "A"},
                               {"Team", "Blue"},
                               {"Trial", 1},
                               {"Week", 1},
                               {"Member", member},
                               {"Order", 4 + member},
                               {"Subject", subject}});
    db.insert("datTeam", {{"Setting", "A"},
                          {"Team", "Blue"},
                          {"Trial", 1},
                          {"Member", member},
                          {"Role", member == 1 ? "Retailer" : "Factory"},
                          {"Subject", subject}});
  }
}

// A table the schema gains is copied too (the copy lists them in its own
// order); the version is the target's own.
TEST(DatabaseCopy, CopiesEveryTableOfTheSchemaButItsVersion) {
  std::set<std::string> described,
      copied(std::begin(kExperimentTables), std::end(kExperimentTables));
  for (const TableDescription& table : currentSchema().tables) {
    if (table.name != kVersionTable) described.insert(table.name);
  }
  EXPECT_EQ(copied, described);
}

TEST(DatabaseCopy, FileToServerAndBackKeepsEveryRowInOrder) {
  FileDatabase file;
  ServerDatabase server;
  FileDatabase back;
  fillExperiment(file);
  copyDatabase(file.tables(), server.tables());
  copyDatabase(server.tables(), back.tables());
  for (const char* table : kExperimentTables) {
    EXPECT_EQ(csvOf(back, table), csvOf(file, table)) << table;
    EXPECT_EQ(csvOf(server, table), csvOf(file, table)) << table;
  }
}

// Nothing is written when a single row is refused, and the refusal names
// what the target holds.
TEST(DatabaseCopy, RefusesRowsWhoseKeyTheTargetHoldsAndCopiesNothing) {
  FileDatabase file;
  ServerDatabase server;
  fillExperiment(file);
  server.insert("datUser", {{"Subject", "P2"}, {"Setting", "B"}});
  try {
    copyDatabase(file.tables(), server.tables());
    FAIL() << "the copy went through";
  } catch (const DbError& refusal) {
    EXPECT_EQ(refusal.number(), kErrDuplicateKey);
    EXPECT_NE(refusal.description().find("datUser: 1 row with a key the target holds (P2)"),
              std::string::npos)
        << refusal.description();
  }
  EXPECT_EQ(server.count("datUser"), 1);
  for (const char* table : {"tblPlayer", "tblBlock", "datRole", "datTrial", "datPlaying"}) {
    EXPECT_EQ(server.count(table), 0) << table;
  }
}

// A plan that the target already holds row for row stays as it is, so that
// the results of a second session can be copied over to the same server.
TEST(DatabaseCopy, PlanTheTargetHoldsAlikeIsLeftAsItIs) {
  FileDatabase first;
  ServerDatabase server;
  first.insert("tblPlayer", {{"Name", "Sterman"}});
  first.insert("datUser", {{"Subject", "P1"}});
  copyDatabase(first.tables(), server.tables());
  FileDatabase second;
  second.insert("tblPlayer", {{"Name", "Sterman"}});
  second.insert("datUser", {{"Subject", "P2"}});
  const std::vector<CopiedTable> copied = copyDatabase(second.tables(), server.tables());
  EXPECT_TRUE(copied.front().alreadyThere);
  EXPECT_EQ(server.count("tblPlayer"), 1);
  EXPECT_EQ(server.count("datUser"), 2);
}

TEST(DatabaseCopy, RefusesAPlanThatDiffersFromTheTargets) {
  FileDatabase file;
  ServerDatabase server;
  file.insert("tblPlayer", {{"Name", "Sterman"}});
  server.insert("tblPlayer", {{"Name", "Follower"}});
  EXPECT_EQ(errorOf([&] { copyDatabase(file.tables(), server.tables()); }), kErrDuplicateKey);
  EXPECT_EQ(server.count("tblPlayer"), 1);
}

}  // namespace
}  // namespace quarn::testing
