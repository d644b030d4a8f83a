#include "plan/modSetup.h"

#include <sstream>

#include "plan/DisplayConfiguration.h"
#include "plan/PlanCheck.h"
#include "tests/plan/PlanFixture.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// Blank Input and Predicter stay as they are; Null truth values read false.
TEST_F(PlanTest, BlocksExpandRunsInRandomGroupThenIndexOrderAndConvert) {
  WriteInput("series.txt", "5,6,7\n");
  Block({{"RandomGroup", 2}, {"Index", 5}, {"Runs", 3}, {"MaxNoise", 1}});
  Block({{"RandomGroup", 0}, {"Index", 1}, {"MaxNoise", 4}});
  Block({{"RandomGroup", 1}, {"Index", 2}, {"Runs", 0}, {"MaxNoise", 9}});
  Block({{"RandomGroup", 1}, {"Index", 1}, {"MaxNoise", 3}});
  Block({{"RandomGroup", 2}, {"Index", 1}, {"MaxNoise", 2}});
  Block({{"Setting", "Other"}, {"MaxNoise", 7}});
  Block({{"Index", 2},
         {"Input", "   "},
         {"Predicter", " "},
         {"DatabaseOutput", TestValue()},
         {"EnableProfit", TestValue()},
         {"Wholesaler", "Subject"},
         {"Retailer", "BOT"},
         {"InitInventory", 12.5}});
  Block({{"Index", 3}, {"Input", "series.txt"}, {"DatabaseOutput", 3}, {"Retailer", "Bot"}});
  LoadPlayers(db, plan);
  LoadBlocks(db, toolkit, identity, plan, file.Folder());
  ASSERT_EQ(plan.TrialCount, 8);
  std::vector<int> noise;
  for (const TrialPlan& t : plan.TrialPlans) noise.push_back(t.MaxNoise);
  EXPECT_EQ(noise, (std::vector<int>{2, 1, 1, 1, 3, 4, 0, 0}));
  const TrialPlan& a = plan.TrialPlans[6];
  EXPECT_EQ(a.Input + "|" + a.Predicter, "| ");
  EXPECT_FALSE(a.DatabaseOutput || a.EnableProfit);
  EXPECT_EQ(a.SubjectRole, 2);
  EXPECT_EQ(a.RolePlayer, (std::array<int16_t, 4>{0, 0, -1, 0}));
  EXPECT_EQ(a.InitInventory, 12);
  EXPECT_TRUE(a.WeeklyDemand.empty());
  const TrialPlan& b = plan.TrialPlans[7];
  EXPECT_EQ(b.Input + "|" + b.Predicter + "|" + std::to_string(b.SubjectRole), "series.txt||-1");
  EXPECT_TRUE(b.DatabaseOutput);
  EXPECT_TRUE(toolkit.shown.empty());
}

class PlanCheckTest : public PlanTest {
 protected:
  // Loads the whole plan and returns the refusal shown, title first.
  std::pair<std::string, std::string> Refusal() {
    TrainingState training;
    PauseState pauses;
    ExperimentContext c{db, toolkit, identity, plan, training, pauses, file.Folder(), {}};
    EXPECT_THROW(LoadExperiment(c), ApplicationEnd);
    if (toolkit.shown.empty()) return {};
    return {toolkit.Last().title, toolkit.Last().prompt};
  }
};

// Player names match ignoring case but not blanks; only "Subject" names the
// participant, once per trial; a refusal names the trial's index.
TEST_F(PlanCheckTest, BlockValuesTheChainCannotUseAreRefused) {
  WriteInput("bad.txt", "4,x\n");
  const std::string trial3 = "Setting Demo, trial 3: ";
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Delay", 4}}, trial3 + "Delay 4 is outside 1 to 3"},
      {{{"numweeks", 0}}, trial3 + "numweeks 0 is below 1"},
      {{{"JumpWeek", 13}}, trial3 + "JumpWeek 13 is outside 1 to 12"},
      {{{"numweeks", 40000}}, trial3 + "numweeks 40000 does not fit in 16 bits"},
      {{{"Runs", -1}}, trial3 + "Runs -1 is below 0"},
      {{{"Input", "missing.txt"}}, trial3 + "Input missing.txt: Demand file"},
      {{{"Input", "bad.txt"}}, trial3 + "Input bad.txt: Demand file"},
      {{{"Distributor", "Nobody"}, {"Retailer", "nobody"}},
       "Player strategy Nobody invalid on Trial 3"},
      {{{"Factory", "Bot "}}, "Player strategy Bot  invalid on Trial 3"},
      {{{"Retailer", "subject"}}, "Player strategy subject invalid on Trial 3"},
      {{{"Factory", "Subject"}}, "Subject is playing multiple roles"},
  };
  for (const auto& [columns, complaint] : cases) {
    file.Exec("DELETE FROM tblBlock");
    toolkit.shown.clear();
    Block({{"Runs", 3}});
    Block(columns);
    const auto [title, text] = Refusal();
    EXPECT_EQ(title, "Error: tblBlock") << complaint;
    EXPECT_EQ(text.rfind(complaint, 0), 0u) << text;
    if (complaint.find("bad.txt") != std::string::npos) {
      EXPECT_NE(text.find("not a number"), std::string::npos);
    }
  }
}

TEST_F(PlanCheckTest, SettingsWithoutTrialsAreRefused) {
  identity.SettingName = "Empty";
  EXPECT_EQ(Refusal().second, "Setting Empty: tblBlock has no rows for this setting");

  identity.SettingName = "Demo";
  Block({{"Runs", 0}});
  EXPECT_EQ(Refusal().second, "Setting Demo: the rows of tblBlock make no trials");

  Block({{"Runs", 20000}});
  Block({{"Runs", 20000}});
  EXPECT_EQ(Refusal().second,
            "Setting Demo: the rows of tblBlock make 40000 trials, more than 32767");
}

TEST_F(PlanCheckTest, TrainingRowsAreCheckedBeforeTrainingIsAnnounced) {
  Block();
  const std::vector<std::pair<Columns, std::pair<std::string, std::string>>> cases = {
      {{{"Runs", 0}}, {"Error: tblTraining", "Setting Demo, trial 1: Runs 0 is below 1"}},
      {{{"Retailer", "Bot"}},
       {"Error: tblTraining",
        "Setting Demo, trial 1: no role column of the training row names Subject"}},
      {{{"Factory", "Nobody"}}, {"Error: tblBlock", "Player strategy Nobody invalid on Trial 1"}},
  };
  for (const auto& [columns, expected] : cases) {
    file.Exec("DELETE FROM tblTraining");
    toolkit.shown.clear();
    Training(columns);
    EXPECT_EQ(Refusal(), expected);
    EXPECT_EQ(toolkit.shown.size(), 1u);  // no training message before the refusal
  }
}

// Every fault of a row, also behind a refused player name.
TEST_F(PlanTest, CheckCommandListsTheFaultsOfEverySettingAndFailsOnAny) {
  std::ostringstream out;
  auto Run = [&out](std::vector<std::string> args) {
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    const int code = admin::CmdCheck(args);
    std::cout.rdbuf(saved);
    return code;
  };
  Block();
  Block({{"Setting", "Other"}, {"numweeks", 0}, {"JumpWeek", 1}, {"Runs", 2}});
  Block({{"Setting", "Other"}, {"Factory", "Nobody"}, {"Delay", 5}});
  Training({{"Setting", "Other"}, {"Runs", 0}});
  Training({{"Setting", "TrainOnly"}});
  EXPECT_EQ(Run({file.Folder()}), 1);
  EXPECT_EQ(out.str(),
            "tblBlock: Setting Other, trial 0: numweeks 0 is below 1\n"
            "tblBlock: Setting Other, trial 2: Player strategy Nobody invalid on Trial 2\n"
            "tblBlock: Setting Other, trial 2: Delay 5 is outside 1 to 3\n"
            "tblTraining: Setting Other, trial 3: Runs 0 is below 1\n"
            "tblBlock: Setting TrainOnly: tblBlock has no rows for this setting\n"
            "5 faults in 3 settings\n");
  out.str("");
  EXPECT_EQ(Run({file.Folder() + "/", "Demo"}), 0);
  EXPECT_EQ(out.str(), "0 faults in 1 setting\n");
}

TEST_F(PlanTest, DisplayConfigurationFoundAndNotFound) {
  Row("tblDisplayOption", {{"Option", "All"}, {"RecentOrder", 1}, {"Inventory", 1}, {"Cost", 1}});
  Row("tblDisplayOption", {{"Option", "Partial"}, {"Inventory", TestValue()}, {"Cost", 0}});
  Row("tblDisplay", {{"Configuration", "Blind"},
                     {"BottlesF", 0},
                     {"TrucksFD", 1},
                     {"TrucksDW", TestValue()},
                     {"TrucksWR", 1},
                     {"TotalCost", 0},
                     {"Distributor", "All"},
                     {"Wholesaler", "Partial"},
                     {"Retailer", "Unknown"}});
  const DisplayConfiguration c = ReadDisplayConfiguration(db, "Blind");
  EXPECT_TRUE(c.found);
  EXPECT_EQ(std::vector<bool>({c.BottlesF, c.TrucksFD, c.TrucksDW, c.TrucksWR, c.TotalCost}),
            std::vector<bool>({false, true, false, true, false}));  // Null reads as false
  EXPECT_TRUE(c.roles[1].found && c.roles[1].RecentOrder && c.roles[1].Cost);
  EXPECT_FALSE(c.roles[2].Inventory || c.roles[2].Cost || !c.roles[2].BackOrder);
  EXPECT_EQ(c.roles[3].option, "Unknown");
  EXPECT_FALSE(c.roles[3].found);
  EXPECT_FALSE(ReadDisplayConfiguration(db, "Missing").found);
}

}  // namespace
}  // namespace quarn::testing
