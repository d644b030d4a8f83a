#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "session/SqlCipher.h"
#include "tests/support/TestDatabase.h"
#include "tools/Commands.h"

namespace quarn {
namespace {

using testing::TestDatabase;

std::string Export(const TestDatabase& db, const std::string& table) {
  std::ostringstream out;
  ExportCsv(db.Path(), table, out);
  return out.str();
}

TEST(Create, RefusesToOverwriteAndHoldsEveryTable) {
  TestDatabase db;
  EXPECT_THROW(CreateDatabase(db.Path()), QuarnError);
  EXPECT_EQ(db.Count("tblPlayer"), 0) << "the existing file is untouched";
  for (const char* table :
       {"tblBlock", "tblPlayer", "tblTraining", "tblDisplay", "tblDisplayOption", "tblPause",
        "tblPredicter", "datUser", "datRole", "datTrial"}) {
    EXPECT_EQ(db.Count(table), 0) << table;
  }
}

TEST(Csv, ExportAndImportRoundTrip) {
  TestDatabase source;
  source.Insert("tblPlayer",
                {{"Name", "say \"hi\", then\r\nleave"}, {"Alpha", 0.1}, {"IfZero", -3}});
  source.Insert("tblPlayer", {{"Name", ""}, {"Alpha", testing::TestValue{}}, {"Sterman", true}});
  source.Insert("tblPlayer", {{"Name", " padded "}, {"Beta", 1e-300}});
  const std::string csv = Export(source, "tblPlayer");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "Name,Sterman,Demand,BackOrder,Delta,IfZero,Alpha,Beta,Epsilon,Theta");

  TestDatabase target;
  std::istringstream in(csv);
  EXPECT_EQ(ImportCsv(target.Path(), "tblPlayer", in), 3);
  EXPECT_EQ(Export(target, "tblPlayer"), csv);
  auto rows = target.Rows("tblPlayer");
  EXPECT_EQ(std::get<std::string>(rows[1]["Name"]), "");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(rows[1]["Alpha"]));
}

TEST(Csv, ImportTakesDefaultsForColumnsLeftOut) {
  TestDatabase db;
  std::istringstream in("Setting,Delay\nA,2\n\"B\",3\n");
  EXPECT_EQ(ImportCsv(db.Path(), "tblBlock", in), 2);
  EXPECT_EQ(db.Count("tblBlock", "Runs=1 AND DatabaseOutput=1 AND Input=''"), 2);
}

TEST(Csv, RefusalsNameTheLineAndStoreNothing) {
  struct Case {
    std::string csv;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"Name,Colour\nA,red\n", "line 1: unknown column 'Colour'"},
      {"Name,Alpha\nA,0.5\nB,high\n", "line 3: "},
      {"Name,Alpha\nA,0.5\n\"B,0.5\n", "line 3: a quoted field is not closed"},
      {"Name,Alpha\nA,0.5\n\"multi\nline\",1\nC\n", "line 5: 1 fields where the header has 2"},
      {"Name,Alpha\nA,0.5\nB\"x,1\n", "line 3: a quote inside an unquoted field"},
      {"Name,Name\n", "line 1: column 'Name' twice"},
  };
  for (const Case& c : cases) {
    TestDatabase db;
    std::istringstream in(c.csv);
    try {
      ImportCsv(db.Path(), "tblPlayer", in);
      ADD_FAILURE() << "accepted: " << c.csv;
    } catch (const QuarnError& e) {
      EXPECT_EQ(e.Description().rfind(c.line, 0), 0u) << e.Description();
    }
    EXPECT_EQ(db.Count("tblPlayer"), 0) << c.csv;
  }

  TestDatabase db;
  std::istringstream in("Name\nA\n");
  EXPECT_THROW(ImportCsv(db.Path(), "tblNothing", in), QuarnError);
}

// The demo passes the plan check; its Simulated setting has no participant.
TEST(AdminDemo, BuildsBothSettingsAndRefusesToOverwrite) {
  TestDatabase scratch;
  const std::string dataDir = scratch.Folder() + "/app/data";
  ASSERT_EQ(admin::CmdDemo({dataDir}), 0);
  std::ostringstream checked;
  std::streambuf* saved = std::cout.rdbuf(checked.rdbuf());
  const int faults = admin::CmdCheck({dataDir});
  std::cout.rdbuf(saved);
  EXPECT_EQ(faults, 0) << checked.str();
  const std::string path = dataDir + "/quarn.mdb";
  auto engine = MakeSqlCipherEngine();
  auto count = [&](const std::string& sql) {
    return engine->Open(path, "SELECT count(*) AS n FROM " + sql, true)->Get("n").AsInt32();
  };
  EXPECT_EQ(count("tblBlock WHERE Setting='Simulated' AND 'Subject' IN "
                  "(Factory, Distributor, Wholesaler, Retailer)"),
            0);
  EXPECT_GE(count("tblBlock WHERE Setting='Simulated'"), 1);
  auto input = engine->Open(path, "SELECT Input FROM tblBlock WHERE Input<>''", true);
  EXPECT_TRUE(
      std::filesystem::exists(scratch.Folder() + "/app/Input/" + input->Get("Input").AsText()));

  EXPECT_THROW(admin::CmdDemo({dataDir}), QuarnError);
  EXPECT_EQ(count("tblPlayer"), 4) << "the existing file is untouched";
}

}  // namespace
}  // namespace quarn
