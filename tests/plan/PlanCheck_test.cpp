#include "plan/PlanCheck.h"

#include "plan/modSetup.h"
#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

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

TEST_F(PlanCheckTest, CheckSettingListsEveryFault) {
  Block({{"Delay", 0}, {"JumpWeek", 30}});
  Block({{"Runs", 2}, {"Factory", "Nobody"}, {"Delay", 5}});
  Block({{"DisplayOption", TestValue()}});
  Training({{"Runs", 0}});
  LoadPlayers(db, plan);
  const std::vector<SettingFault> faults = CheckSetting(db, plan, "Demo", file.Folder());
  std::vector<std::string> lines;
  for (const SettingFault& f : faults) lines.push_back(DescribeFault(f));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "tblBlock: Setting Demo, trial 0: Delay 0 is outside 1 to 3",
                       "tblBlock: Setting Demo, trial 0: JumpWeek 30 is outside 1 to 12",
                       "tblBlock: Setting Demo, trial 1: Player strategy Nobody invalid on Trial 1",
                       "tblBlock: Setting Demo, trial 1: Delay 5 is outside 1 to 3",
                       "tblBlock: Setting Demo, trial 3: DisplayOption: " +
                           faults[4].text.substr(faults[4].text.find("DisplayOption: ") + 15),
                       "tblTraining: Setting Demo, trial 4: Runs 0 is below 1",
                   }));
  EXPECT_EQ(faults[4].errorNumber, kErrInvalidUseOfNull);
  EXPECT_TRUE(toolkit.shown.empty());
}

}  // namespace
}  // namespace quarn::testing
