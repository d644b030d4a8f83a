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
  ASSERT_EQ(plan.trialCount(), 8);
  std::vector<int> noise;
  for (const TrialPlan& t : plan.trials) noise.push_back(t.maxNoise);
  EXPECT_EQ(noise, (std::vector<int>{2, 1, 1, 1, 3, 4, 0, 0}));
  const TrialPlan& a = plan.trials[6];
  EXPECT_EQ(a.inputFile + "|" + a.predicter, "| ");
  EXPECT_FALSE(a.recordToDatabase || a.enableProfit);
  EXPECT_EQ(a.participantRole, 2);
  EXPECT_EQ(a.rolePlayers, (std::array<int16_t, 4>{0, 0, -1, 0}));
  EXPECT_EQ(a.initialInventory, 12);
  EXPECT_TRUE(a.weeklyDemand.empty());
  const TrialPlan& b = plan.trials[7];
  EXPECT_EQ(b.inputFile + "|" + b.predicter + "|" + std::to_string(b.participantRole),
            "series.txt||-1");
  EXPECT_TRUE(b.recordToDatabase);
  EXPECT_TRUE(toolkit.shown.empty());
}

class PlanCheckTest : public PlanTest {
 protected:
  // Loads the whole plan and returns the refusal shown, title first; a value
  // that cannot be converted at all is an error ("Error 94") instead.
  std::pair<std::string, std::string> Refusal() {
    TrainingState training;
    PauseState pauses;
    ExperimentContext c{db, toolkit, identity, plan, training, pauses, file.Folder(), {}};
    try {
      LoadExperiment(c);
      ADD_FAILURE() << "the plan was accepted";
    } catch (const ApplicationEnd&) {
    } catch (const QuarnError& e) {
      return {"Error " + std::to_string(e.number()), e.description()};
    }
    if (toolkit.shown.empty()) return {};
    return {toolkit.Last().title, toolkit.Last().prompt};
  }
};

// Player names match ignoring case but not blanks; only "Subject" names the
// participant, once per trial; a refusal names the row and its trials.
TEST_F(PlanCheckTest, BlockValuesThePlayCannotUseAreRefusedWithTheirRow) {
  WriteInput("bad.txt", "4,x\n");
  WriteInput("huge.txt", "4,2147483647\n");
  const std::string row = "Setting Demo, tblBlock row RandomGroup 0, Index 2 (trial 3): ";
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Delay", 4}}, row + "Delay 4 is outside 1 to 3"},
      {{{"numweeks", 0}}, row + "numweeks 0 is below 1"},
      {{{"JumpWeek", 13}}, row + "JumpWeek 13 is outside 1 to 12"},
      {{{"numweeks", 40000}}, row + "numweeks 40000 does not fit in 16 bits"},
      {{{"numweeks", 32767}, {"JumpWeek", 1}},
       row + "numweeks 32767 is above 32766, the most weeks the week counter can play"},
      {{{"MaxNoise", 16384}},
       row + "MaxNoise 16384 is above 16383, the largest noise range the orders can hold"},
      {{{"MaxNoise", TestValue()}}, row + "MaxNoise is empty (Null)"},
      // Cells written with the sqlcipher shell: kept as text, or as a REAL infinity.
      {{{"CostInventory", "SQL 'inf'"}}, row + "CostInventory 'inf' is not a finite number"},
      {{{"CostBackOrder", "SQL 1e999"}}, row + "CostBackOrder 'inf' is not a finite number"},
      {{{"MaxOrder", "SQL 'nan'"}}, row + "MaxOrder 'nan' is not a number"},
      {{{"InitInventory", "SQL '0x10'"}}, row + "InitInventory '0x10' is not a number"},
      {{{"Runs", -1}}, "Setting Demo, tblBlock row RandomGroup 0, Index 2: Runs -1 is below 0"},
      {{{"Input", "missing.txt"}}, row + "Input missing.txt: Demand file"},
      {{{"Input", "bad.txt"}}, row + "Input bad.txt: Demand file"},
      {{{"Input", "../data/x"}}, row + "Input ../data/x: Demand file"},
      {{{"Input", "huge.txt"}}, row + "the Retailer's total cost can reach 4294967268 in week 4"},
      {{{"CostInventory", 1e300}}, row + "the Factory's inventory cost can reach"},
      {{{"InitInventory", 2000000000}}, row + "the Factory's total cost can reach 3000000002"},
      {{{"FirstOrder", 2000000000}}, row + "the goods on their way to the Factory can add up"},
      {{{"InitialDemand", 1000000000}}, row + "the week 1 demand 1000000000 times 3"},
      {{{"Distributor", "Nobody"}, {"Retailer", "nobody"}},
       "Player strategy Nobody invalid on Trial 3"},
      {{{"Factory", "Bot "}}, "Player strategy Bot  invalid on Trial 3"},
      {{{"Retailer", "subject"}}, "Player strategy subject invalid on Trial 3"},
      {{{"Factory", "Subject"}}, "Subject is playing multiple roles"},
  };
  for (const auto& [columns, complaint] : cases) {
    file.Exec("DELETE FROM tblBlock");
    blockIndex = 0;
    toolkit.shown.clear();
    Block({{"Runs", 3}});
    Columns typed;
    for (const auto& [column, value] : columns) {
      const auto* text = std::get_if<std::string>(&value.value);
      if (text && text->rfind("SQL ", 0) == 0) continue;
      typed.emplace(column, value);
    }
    Block(typed);
    for (const auto& [column, value] : columns) {
      const auto* text = std::get_if<std::string>(&value.value);
      if (text && text->rfind("SQL ", 0) == 0) {
        file.Exec("UPDATE tblBlock SET " + column + "=" + text->substr(4) + " WHERE [Index]=2");
      }
    }
    const auto [title, text] = Refusal();
    EXPECT_EQ(title.rfind("Error", 0), 0u) << complaint;
    EXPECT_EQ(text.rfind(complaint, 0), 0u) << text;
    if (complaint.find("bad.txt") != std::string::npos) {
      EXPECT_NE(text.find("line 1, number 2 is not a number"), std::string::npos) << text;
    }
  }
}

// The check and the start-up refuse the same rows; a value that cannot be
// converted at all ends the start-up with an error that names the row.
TEST_F(PlanCheckTest, UnconvertibleValuesEndTheStartUpWithTheirRowAndColumn) {
  Block();
  file.Exec("UPDATE tblBlock SET MaxOrder='0x10'");
  TrainingState training;
  PauseState pauses;
  ExperimentContext c{db, toolkit, identity, plan, training, pauses, file.Folder(), {}};
  try {
    LoadExperiment(c);
    ADD_FAILURE() << "accepted";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.number(), kErrTypeMismatch);
    EXPECT_EQ(e.description(),
              "Setting Demo, tblBlock row RandomGroup 0, Index 1 (trial 0): MaxOrder '0x10' is not "
              "a number");
  }
}

// The rows a trial names are checked when it names them: a forecast beyond
// its widths, an empty column, a pause without a password.
TEST_F(PlanCheckTest, PredicterAndPauseRowsThePlayCannotUseAreRefused) {
  const std::string trial = "Setting Demo, tblBlock row RandomGroup 0, Index 1 (trial 0)";
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Extent", -5}, {"Excess", 8}},
       trial + ", tblPredicter row Ahead: Extent -5 is below 0: the forecast would show weeks "
               "before week 1"},
      {{{"Extent", 2}, {"Excess", 99999}},
       trial + ", tblPredicter row Ahead: Excess 99999 does not fit the forecast's 16 bits "
               "(-32768 to 32767)"},
      {{{"Extent", TestValue()}, {"Excess", 8}},
       trial + ", tblPredicter row Ahead: Extent is empty (Null)"},
      {{}, "Setting Demo, tblPause row Trial 1: Password is empty (Null)"},
  };
  for (const auto& [predicter, complaint] : cases) {
    file.Exec("DELETE FROM tblBlock; DELETE FROM tblPredicter; DELETE FROM tblPause;");
    blockIndex = 0;
    toolkit.shown.clear();
    if (predicter.empty()) {
      Block();
      Row("tblPause", {{"Setting", "Demo"}, {"Trial", 1}, {"Password", TestValue()}});
    } else {
      Block({{"Predicter", "Ahead"}});
      Columns row = predicter;
      row.emplace("Predicter", "Ahead");
      Row("tblPredicter", row);
    }
    EXPECT_EQ(Refusal().second, complaint);
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
      {{{"Runs", 0}}, {"Error: tblTraining", "Setting Demo, tblTraining: Runs 0 is below 1"}},
      {{{"Retailer", "Bot"}},
       {"Error: tblTraining",
        "Setting Demo, tblTraining: no role column of the training row names Subject"}},
      {{{"InventoryBounds", 10}},
       {"Error: tblTraining",
        "Setting Demo, tblTraining: every training trial fails at week 1, before anything is "
        "ordered: the Retailer's inventory is 12 (InitInventory 12 + InitDelayAmount 4 - week 1 "
        "demand 4), above InventoryBounds 10"}},
      {{{"CostLimit", -1}},
       {"Error: tblTraining",
        "Setting Demo, tblTraining: every training trial fails at week 1, before anything is "
        "ordered: CostLimit -1 is below the cost of 0 the participant has then"}},
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

// Every fault of every table, also behind a refused player name; warnings
// are listed among them and counted, but do not fail the check.
TEST_F(PlanTest, CheckCommandListsTheFaultsOfEveryTableAndFailsOnAny) {
  std::ostringstream out;
  auto Run = [&out](std::vector<std::string> args) {
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    const int code = admin::CmdCheck(args);
    std::cout.rdbuf(saved);
    return code;
  };
  Row("tblPlayer", {{"Name", "Nully"}, {"Alpha", TestValue()}});
  Block();
  Block({{"Setting", "Other"}, {"numweeks", 0}, {"JumpWeek", 1}, {"Runs", 2}});
  Block({{"Setting", "Other"}, {"Factory", "Nobody"}, {"Delay", 5}});
  Training({{"Setting", "Other"}, {"Runs", 0}});
  Row("tblPause", {{"Setting", "Other"}, {"Trial", 1}, {"Password", TestValue()}});
  Training({{"Setting", "TrainOnly"}});
  Block({{"Setting", "Warned"},
         {"MinOrder", 5},
         {"MaxOrder", 1},
         {"CostTransit", -1.0},
         {"Predicter", "Missing"},
         {"DisplayOption", "Nowhere"}});
  Training({{"Setting", "Warned"}, {"Password", ""}, {"InventoryBounds", 0}});
  Row("tblPause", {{"Setting", "Warned"}, {"Trial", 2}, {"Password", "p"}});
  EXPECT_EQ(Run({file.Folder()}), 1);
  EXPECT_EQ(
      out.str(),
      "tblPlayer row Nully: Alpha is empty (Null)\n"
      "Setting Other, tblBlock row RandomGroup 0, Index 2 (trials 0 to 1): numweeks 0 is "
      "below 1\n"
      "Setting Other, tblBlock row RandomGroup 0, Index 3 (trial 2): Player strategy Nobody "
      "invalid on Trial 2\n"
      "Setting Other, tblBlock row RandomGroup 0, Index 3 (trial 2): Delay 5 is outside 1 to "
      "3\n"
      "Setting Other, tblTraining: Runs 0 is below 1\n"
      "Setting Other, tblPause row Trial 1: Password is empty (Null)\n"
      "Setting TrainOnly: tblBlock has no rows for this setting\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): MaxOrder 1 is "
      "below MinOrder 5: a Sterman player's order is then always one of the two\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): CostTransit -1 "
      "is negative: the stages earn by it\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): Predicter "
      "Missing names no tblPredicter row: the trial shows no forecast\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): DisplayOption "
      "Nowhere names no tblDisplay row: the trial keeps the display of the trial before\n"
      "warning: Setting Warned, tblTraining: only CostLimit is set: training limits are "
      "checked only when both are, so none is\n"
      "warning: Setting Warned, tblTraining: Password is empty: anyone can skip the training "
      "with e and Enter\n"
      "warning: Setting Warned, tblPause row Trial 2: the pause after trial 2 never comes: "
      "the setting has trials 1 to 1, and it holds up every pause after it\n"
      "7 faults, 7 warnings in 4 settings\n");
  out.str("");
  EXPECT_EQ(Run({file.Folder() + "/", "Demo"}), 1);  // the player's fault counts for every setting
  file.Exec("DELETE FROM tblPlayer WHERE Name='Nully'");
  out.str("");
  EXPECT_EQ(Run({file.Folder() + "/", "Warned"}), 0);
  EXPECT_EQ(out.str().substr(out.str().rfind('\n', out.str().size() - 2) + 1),
            "0 faults, 7 warnings in 1 setting\n");
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
  EXPECT_EQ(std::vector<bool>({c.factoryProduction, c.trucksToDistributor, c.trucksToWholesaler,
                               c.trucksToRetailer, c.totalCost}),
            std::vector<bool>({false, true, false, true, false}));  // Null reads as false
  EXPECT_TRUE(c.roles[1].found && c.roles[1].recentOrder && c.roles[1].cost);
  EXPECT_FALSE(c.roles[2].inventory || c.roles[2].cost || !c.roles[2].backorder);
  EXPECT_EQ(c.roles[3].option, "Unknown");
  EXPECT_FALSE(c.roles[3].found);
  EXPECT_FALSE(ReadDisplayConfiguration(db, "Missing").found);
}

}  // namespace
}  // namespace quarn::testing
