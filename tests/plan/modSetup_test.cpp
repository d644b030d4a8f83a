#include "plan/modSetup.h"

#include <sstream>

#include "plan/DisplayConfiguration.h"
#include "plan/PlanCheck.h"
#include "tests/plan/PlanFixture.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

class SetupTest : public PlanTest {
 protected:
  void Load() {
    LoadPlayers(db, plan);
    LoadBlocks(db, toolkit, identity, plan, file.Folder());
  }
};

TEST_F(SetupTest, PlayersLoadInTableOrderWithNullSwitchesFalse) {
  Row("tblPlayer",
      {{"Name", "bot"}, {"Sterman", TestValue()}, {"Demand", 1}, {"IfZero", 2.5}, {"Alpha", 0.25}});
  LoadPlayers(db, plan);
  ASSERT_EQ(plan.PlayerCount, 2);
  EXPECT_EQ(plan.PlayerTable[1].Name, "bot");
  EXPECT_FALSE(plan.PlayerTable[1].Sterman);
  EXPECT_TRUE(plan.PlayerTable[1].Demand);
  EXPECT_EQ(plan.PlayerTable[1].IfZero, 2);  // half to even
  EXPECT_DOUBLE_EQ(plan.PlayerTable[1].Alpha, 0.25);

  file.Exec("DELETE FROM tblPlayer");
  LoadPlayers(db, plan);
  EXPECT_EQ(plan.PlayerCount, 0);
  EXPECT_TRUE(plan.PlayerTable.empty());
}

TEST_F(SetupTest, BlocksExpandRunsInRandomGroupThenIndexOrder) {
  Block({{"RandomGroup", 2}, {"Index", 5}, {"Runs", 3}, {"MaxNoise", 1}});
  Block({{"RandomGroup", 0}, {"Index", 1}, {"MaxNoise", 4}});
  Block({{"RandomGroup", 1}, {"Index", 2}, {"Runs", 0}, {"MaxNoise", 9}});
  Block({{"RandomGroup", 1}, {"Index", 1}, {"MaxNoise", 3}});
  Block({{"RandomGroup", 2}, {"Index", 1}, {"MaxNoise", 2}});
  Block({{"Setting", "Other"}, {"MaxNoise", 7}});
  Load();
  ASSERT_EQ(plan.TrialCount, 6);
  std::vector<int> noise;
  for (const TrialPlan& t : plan.TrialPlans) noise.push_back(t.MaxNoise);
  EXPECT_EQ(noise, (std::vector<int>{2, 1, 1, 1, 3, 4}));
}

TEST_F(SetupTest, ColumnConversions) {
  WriteInput("series.txt", "5,6,7\n");
  Block({{"Input", "   "},
         {"Predicter", " "},
         {"DatabaseOutput", TestValue()},
         {"EnableProfit", TestValue()},
         {"Wholesaler", "Subject"},
         {"Retailer", "BOT"},
         {"InitInventory", 12.5},
         {"CostTransit", 0.75}});
  Block({{"Input", "series.txt"},
         {"Predicter", ""},
         {"DatabaseOutput", 3},
         {"Factory", "Bot"},
         {"Retailer", "Bot"}});
  Load();
  const TrialPlan& a = plan.TrialPlans[0];
  EXPECT_EQ(a.Input + "|" + a.Predicter, "| ");
  EXPECT_FALSE(a.DatabaseOutput || a.EnableProfit);
  EXPECT_EQ(a.SubjectRole, 2);
  EXPECT_EQ(a.RolePlayer, (std::array<int16_t, 4>{0, 0, -1, 0}));
  EXPECT_EQ(a.OrderDelay, 1);
  EXPECT_EQ(a.InitInventory, 12);
  EXPECT_DOUBLE_EQ(a.CostTransit, 0.75);
  EXPECT_TRUE(a.WeeklyDemand.empty());
  const TrialPlan& b = plan.TrialPlans[1];
  EXPECT_EQ(b.Input + "|" + b.Predicter, "series.txt|");
  EXPECT_TRUE(b.DatabaseOutput);
  EXPECT_EQ(b.SubjectRole, -1);
  EXPECT_TRUE(toolkit.shown.empty());
}

// Names match a player ignoring case but not blanks; only "Subject" names
// the participant, once per trial; a refusal names the trial's index.
TEST_F(SetupTest, RoleColumnsAreCheckedAtLoadTime) {
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Distributor", "Nobody"}, {"Retailer", "nobody"}},
       "Player strategy Nobody invalid on Trial 3"},
      {{{"Factory", "Bot "}}, "Player strategy Bot  invalid on Trial 3"},
      {{{"Retailer", "subject"}}, "Player strategy subject invalid on Trial 3"},
      {{{"Factory", "Subject"}}, "Subject is playing multiple roles"},
  };
  for (const auto& [columns, complaint] : cases) {
    file.Exec("DELETE FROM tblBlock");
    Block({{"Runs", 3}});
    Block(columns);
    EXPECT_THROW(Load(), ApplicationEnd);
    ASSERT_FALSE(toolkit.shown.empty());
    EXPECT_EQ(toolkit.Last().title, "Error: tblBlock");
    EXPECT_EQ(toolkit.Last().prompt, complaint);
  }
  file.Exec("DELETE FROM tblBlock");
  Block({{"Factory", TestValue()}});
  try {
    Load();
    FAIL() << "loaded";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.Number(), kErrInvalidUseOfNull);
    EXPECT_NE(e.Description().find("Factory"), std::string::npos) << e.Description();
  }
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

TEST_F(PlanCheckTest, BlockValuesTheChainCannotUseAreRefused) {
  WriteInput("bad.txt", "4,x\n");
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Delay", 0}}, "Delay 0 is outside 1 to 3"},
      {{{"Delay", 4}}, "Delay 4 is outside 1 to 3"},
      {{{"numweeks", 0}}, "numweeks 0 is below 1"},
      {{{"JumpWeek", 13}}, "JumpWeek 13 is outside 1 to 12"},
      {{{"JumpWeek", 0}}, "JumpWeek 0 is outside 1 to 12"},
      {{{"numweeks", 40000}}, "numweeks 40000 does not fit in 16 bits"},
      {{{"InitInventory", 3e9}}, "InitInventory 3000000000 does not fit in 32 bits"},
      {{{"Runs", -1}}, "Runs -1 is below 0"},
      {{{"Input", "missing.txt"}}, "Input missing.txt: Demand file"},
      {{{"Input", "bad.txt"}}, "Input bad.txt: Demand file"},
  };
  for (const auto& [columns, complaint] : cases) {
    file.Exec("DELETE FROM tblBlock");
    toolkit.shown.clear();
    Block({{"Runs", 2}});
    Block(columns);
    const auto [title, text] = Refusal();
    EXPECT_EQ(title, "Error: tblBlock") << complaint;
    EXPECT_EQ(text.rfind("Setting Demo, trial 2: " + complaint, 0), 0u) << text;
  }
  EXPECT_NE(toolkit.Last().prompt.find("not a number"), std::string::npos);
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
      {{{"Weeks", 0}}, {"Error: tblTraining", "Setting Demo, trial 1: Weeks 0 is below 1"}},
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

class CheckCommandTest : public PlanTest {
 protected:
  int Run(std::vector<std::string> args) {
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    const int code = admin::CmdCheck(args);
    std::cout.rdbuf(saved);
    return code;
  }
  std::ostringstream out;
};

// Every fault of a row, also behind a refused player name.
TEST_F(CheckCommandTest, ListsTheFaultsOfEverySettingAndFailsOnAny) {
  Block();
  Block({{"Setting", "Other"}, {"numweeks", 0}, {"JumpWeek", 1}});
  Block({{"Setting", "Other"}, {"Runs", 2}, {"Factory", "Nobody"}, {"Delay", 5}});
  Block({{"Setting", "Other"}, {"DisplayOption", TestValue()}});
  Training({{"Setting", "Other"}, {"Runs", 0}});
  Training({{"Setting", "TrainOnly"}});
  EXPECT_EQ(Run({file.Folder()}), 1);
  const std::string text = out.str();
  EXPECT_EQ(text.substr(0, text.find("DisplayOption: ") + 15),
            "tblBlock: Setting Other, trial 0: numweeks 0 is below 1\n"
            "tblBlock: Setting Other, trial 1: Player strategy Nobody invalid on Trial 1\n"
            "tblBlock: Setting Other, trial 1: Delay 5 is outside 1 to 3\n"
            "tblBlock: Setting Other, trial 3: DisplayOption: ");
  EXPECT_EQ(text.substr(text.find('\n', text.find("DisplayOption: ")) + 1),
            "tblTraining: Setting Other, trial 4: Runs 0 is below 1\n"
            "tblBlock: Setting TrainOnly: tblBlock has no rows for this setting\n"
            "6 faults in 3 settings\n");
  EXPECT_TRUE(toolkit.shown.empty());

  out.str("");
  EXPECT_EQ(Run({file.Folder() + "/", "Demo"}), 0);
  EXPECT_EQ(out.str(), "0 faults in 1 setting\n");
}

class DisplayTest : public PlanTest {
 protected:
  void Option(const char* name, int shown) {
    Row("tblDisplayOption", {{"Option", name},
                             {"RecentOrder", shown},
                             {"BackOrder", shown},
                             {"Inventory", shown},
                             {"Satisfied", shown},
                             {"Demand", shown},
                             {"Cost", shown}});
  }
};

TEST_F(DisplayTest, ConfigurationAndItsFourOptions) {
  Option("None", 0);
  Option("All", 1);
  Row("tblDisplayOption", {{"Option", "Partial"}, {"Inventory", TestValue()}, {"Cost", 0}});
  Row("tblDisplay", {{"Configuration", "Blind"},
                     {"BottlesF", 0},
                     {"TrucksFD", 1},
                     {"TrucksDW", TestValue()},
                     {"TrucksWR", 1},
                     {"TotalCost", 0},
                     {"Factory", "None"},
                     {"Distributor", "All"},
                     {"Wholesaler", "Partial"},
                     {"Retailer", "Unknown"}});
  const DisplayConfiguration c = ReadDisplayConfiguration(db, "Blind");
  EXPECT_TRUE(c.found);
  EXPECT_EQ(std::vector<bool>({c.BottlesF, c.TrucksFD, c.TrucksDW, c.TrucksWR, c.TotalCost}),
            std::vector<bool>({false, true, false, true, false}));  // Null reads as false
  EXPECT_TRUE(c.roles[0].found);
  EXPECT_FALSE(c.roles[0].RecentOrder || c.roles[0].Cost || c.roles[0].Demand);
  EXPECT_TRUE(c.roles[1].RecentOrder && c.roles[1].Cost && c.roles[1].Satisfied);
  EXPECT_FALSE(c.roles[2].Inventory || c.roles[2].Cost);
  EXPECT_TRUE(c.roles[2].BackOrder);
  EXPECT_EQ(c.roles[3].option, "Unknown");
  EXPECT_FALSE(c.roles[3].found);
}

}  // namespace
}  // namespace quarn::testing
