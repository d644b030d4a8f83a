#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TestDatabase.h"
#include "tools/Commands.h"

namespace quarn {
namespace {

TEST(AdminDemo, BuildsBothSettingsAndRefusesToOverwrite) {
  testing::TestDatabase scratch;
  const std::string dataDir = scratch.Folder() + "/app/data";
  ASSERT_EQ(admin::CmdDemo({dataDir}), 0);
  const std::string path = dataDir + "/quarn.mdb";
  auto engine = MakeSqlCipherEngine();
  auto count = [&](const std::string& sql) {
    return engine->Open(path, "SELECT count(*) AS n FROM " + sql, true)->Get("n").AsInt32();
  };

  auto delays = engine->Open(path,
                             "SELECT * FROM tblBlock WHERE [tblBlock.Setting]='Demo' ORDER BY "
                             "[tblBlock.RandomGroup] DESC,  [tblBlock.Index];",
                             true);
  std::vector<int> seen;
  int subjects = 0;
  for (; !delays->Eof(); delays->MoveNext()) {
    seen.push_back(delays->Get("Delay").AsInt16());
    for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
      const std::string player = delays->Get(role).AsText();
      if (player == "Subject") {
        ++subjects;
      } else {
        EXPECT_EQ(count("tblPlayer WHERE Name='" + SqlQuote(player) + "'"), 1) << player;
      }
    }
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 2}));
  EXPECT_EQ(subjects, 4);
  EXPECT_EQ(count("tblBlock WHERE Setting='Simulated' AND 'Subject' IN "
                  "(Factory, Distributor, Wholesaler, Retailer)"),
            0);
  EXPECT_GT(count("tblBlock WHERE Setting='Simulated'"), 0);
  EXPECT_EQ(count("tblTraining WHERE Setting='Demo' AND Runs=2 AND Password<>''"), 1);
  EXPECT_EQ(count("tblPause WHERE Setting='Demo' AND Trial=2 AND Password<>''"), 1);
  EXPECT_EQ(count("tblPlayer WHERE Sterman=1 AND Alpha=0.26 AND Beta=0.34 AND Theta=0.36"), 1);
  EXPECT_EQ(count("tblBlock b JOIN tblPredicter p ON p.Predicter=b.Predicter"), 1);
  EXPECT_EQ(count("tblBlock b JOIN tblDisplay d ON d.Configuration=b.DisplayOption "
                  "JOIN tblDisplayOption o ON o.Option=d.Factory WHERE o.Cost=0"),
            1);

  auto input = engine->Open(path, "SELECT Input FROM tblBlock WHERE Input<>''", true);
  const std::string demandFile = scratch.Folder() + "/app/Input/" + input->Get("Input").AsText();
  EXPECT_TRUE(std::filesystem::exists(demandFile)) << demandFile;

  EXPECT_THROW(admin::CmdDemo({dataDir}), QuarnError);
  EXPECT_EQ(count("tblPlayer"), 4) << "the existing file is untouched";
}

}  // namespace
}  // namespace quarn
