#include "db/DatabaseAdmin.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "db/sqlcipher/SqlCipherTables.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

std::unique_ptr<DatabaseTables> tablesOf(const TestDatabase& db) {
  return std::make_unique<SqlCipherTables>(db.path());
}

std::string exportOf(const TestDatabase& db, const std::string& table) {
  std::ostringstream out;
  exportCsv(*tablesOf(db), table, out);
  return out.str();
}

TEST(CreateDatabase, RefusesToOverwriteAFile) {
  TestDatabase db;
  db.insert("tblPlayer", {{"Name", "UniqueMarkerName"}});
  EXPECT_THROW(createDatabase(db.path()), QuarnError);
  EXPECT_EQ(db.count("tblPlayer"), 1) << "the existing file is untouched";
}

// The file holds every table and cannot be read without the password.
TEST(CreateDatabase, HoldsEveryTableEncrypted) {
  TestDatabase db;
  db.insert("tblPlayer", {{"Name", "UniqueMarkerName"}});
  for (const char* table : {"tblBlock", "tblTraining", "tblDisplay", "tblDisplayOption", "tblPause",
                            "tblPredicter", "datUser", "datRole", "datTrial"}) {
    EXPECT_EQ(db.count(table), 0) << table;
  }
  std::ifstream in(db.path(), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (const char* plain : {"SQLite format 3", "UniqueMarkerName", "tblPlayer"}) {
    EXPECT_EQ(bytes.find(plain), std::string::npos) << plain;
  }
}

TEST(Csv, ExportThenImportGivesTheSameTable) {
  TestDatabase source;
  source.insert("tblPlayer", {{"Name", "say \"hi\""}, {"Alpha", 0.1}, {"IfZero", -3}});
  source.insert("tblPlayer", {{"Name", ""}, {"Alpha", testing::TestValue{}}, {"Sterman", true}});
  source.insert("tblPlayer", {{"Name", " padded "}, {"Beta", 1e-300}});
  source.insert("tblDisplay", {{"Configuration", "say \"hi\", then\r\nleave"}});
  const std::string csv = exportOf(source, "tblPlayer");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "Name,Sterman,Demand,BackOrder,Delta,IfZero,Alpha,Beta,Epsilon,Theta");

  TestDatabase target;
  for (const char* table : {"tblPlayer", "tblDisplay"}) {
    std::istringstream in(exportOf(source, table));
    EXPECT_GT(importCsv(*tablesOf(target), table, in), 0);
    EXPECT_EQ(exportOf(target, table), exportOf(source, table));
  }
  EXPECT_EQ(target.count("tblPlayer", "Name='' AND Alpha IS NULL"), 1);
}

// Defaults for the columns left out; a spreadsheet's byte-order mark is skipped.
TEST(Csv, ImportTakesTheDefaultsOfColumnsLeftOut) {
  TestDatabase target;
  std::istringstream partial("\xEF\xBB\xBFSetting,Delay\nA,2\n\"B\",3\n");
  EXPECT_EQ(importCsv(*tablesOf(target), "tblBlock", partial), 2);
  EXPECT_EQ(target.count("tblBlock", "Runs=1 AND DatabaseOutput=1 AND Input=''"), 2);
}

TEST(Csv, ImportRefusalsNameTheLineAndStoreNothing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Name,Colour\nA,red\n", "line 1: unknown column 'Colour'"},
      {"Name,Alpha\nA,0.5\nB,high\n", "line 3: "},
      {"Name,Alpha\nA,0.5\n\"B\",1\nC\n", "line 4: 1 fields where the header has 2"},
      {"Name,IfZero\nA,2.5\n",
       "line 2: Data type conversion error (IfZero: '2.5' is not a whole number)"},
      {"Name\nA\n\xe9t\xe9\n", "line 3: column Name: byte 1 of the value is not UTF-8 text"},
      {"Name\n\"a,b\"\n", "line 2: column Name: the name 'a,b' holds a comma"},
  };
  for (const auto& [csv, line] : cases) {
    TestDatabase db;
    std::istringstream in(csv);
    try {
      importCsv(*tablesOf(db), "tblPlayer", in);
      ADD_FAILURE() << "accepted: " << csv;
    } catch (const QuarnError& e) {
      EXPECT_EQ(e.description().rfind(line, 0), 0u) << e.description();
    }
    EXPECT_EQ(db.count("tblPlayer"), 0) << csv;
  }
}

TEST(Csv, ImportRefusesATableTheFileLacks) {
  TestDatabase db;
  std::istringstream in("Name\nA\n");
  EXPECT_THROW(importCsv(*tablesOf(db), "tblNothing", in), QuarnError);
}

}  // namespace
}  // namespace quarn
