#include "plan/PlanReaders.h"

#include "sim/PlayerRules.h"
#include "tests/plan/PlanFixture.h"
#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

TEST_F(PlanTest, BlockRowsExpandIntoRunsTrialsInPlayOrder) {
  addBlock({{"RandomGroup", 2}, {"Index", 5}, {"Runs", 3}, {"MaxNoise", 1}});
  addBlock({{"RandomGroup", 0}, {"Index", 1}, {"MaxNoise", 4}});
  addBlock({{"RandomGroup", 1}, {"Index", 2}, {"Runs", 0}, {"MaxNoise", 9}});
  addBlock({{"RandomGroup", 1}, {"Index", 1}, {"MaxNoise", 3}});
  addBlock({{"RandomGroup", 2}, {"Index", 1}, {"MaxNoise", 2}});
  addBlock({{"Setting", "Other"}, {"MaxNoise", 7}});
  const BlockRows rows = blocks();
  EXPECT_TRUE(rows.faults.empty());
  std::vector<int> noise;
  for (const TrialPlan& t : rows.trials) noise.push_back(t.maxNoise);
  EXPECT_EQ(noise, (std::vector<int>{2, 1, 1, 1, 3, 4}));
}

// Blank Input and Predicter stay as they are; Null truth values read as
// their defaults (DatabaseOutput on, EnableProfit off);
// players match apart from letter case; numbers round half to even. The
// demand is built at the trial start, not here.
TEST_F(PlanTest, RowValuesAreReadAsThePlayUsesThem) {
  writeInput("series.txt", "5,6,7\n");
  addBlock({{"Input", "   "},
            {"Predicter", " "},
            {"DatabaseOutput", TestValue()},
            {"EnableProfit", TestValue()},
            {"Wholesaler", "Subject"},
            {"Retailer", "BOT"},
            {"InitInventory", 12.5}});
  addBlock({{"Input", "series.txt"}, {"DatabaseOutput", 3}, {"Retailer", "Bot"}});
  const BlockRows rows = blocks();
  ASSERT_EQ(rows.trials.size(), 2u);
  const TrialPlan& a = rows.trials[0];
  EXPECT_EQ(a.inputFile + "|" + a.predicter, "| ");
  EXPECT_TRUE(a.recordToDatabase);
  EXPECT_FALSE(a.enableProfit);
  EXPECT_EQ(a.participantRole, 2);
  EXPECT_EQ(a.rolePlayers, (std::array<int16_t, 4>{0, 0, kParticipantPlayer, 0}));
  EXPECT_EQ(a.initialInventory, 12);
  EXPECT_EQ(a.orderDelay, 1);
  EXPECT_TRUE(a.weeklyDemand.empty());
  const TrialPlan& b = rows.trials[1];
  EXPECT_EQ(b.inputFile + "|" + b.predicter + "|" + std::to_string(b.participantRole),
            "series.txt||-1");
  EXPECT_TRUE(b.recordToDatabase);
}

// Player names match ignoring case but not blanks; only "Subject" names the
// participant, once per trial; a refusal names the row and its trials.
TEST_F(PlanTest, BlockValuesThePlayCannotUseAreRefusedWithTheirRow) {
  writeInput("bad.txt", "4,x\n");
  writeInput("huge.txt", "4,2147483647\n");
  const std::string row = "Setting Demo, tblBlock row RandomGroup 0, Index 2 (trial 3): ";
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Delay", 4}}, row + "Delay 4 is outside 1 to 3"},
      {{{"numweeks", 0}}, row + "numweeks 0 is below 1"},
      {{{"JumpWeek", 13}}, row + "JumpWeek 13 is outside 1 to 12"},
      {{{"numweeks", 40000}}, row + "numweeks 40000 does not fit in 16 bits"},
      {{{"numweeks", 32767}, {"JumpWeek", 1}},
       row + "numweeks 32767 is above 32766, the most weeks the week counter can play"},
      {{{"MaxNoise", 40000}}, row + "MaxNoise 40000 does not fit in 16 bits"},
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
      {{{"FirstOrder", 2000000000}},
       row + "the Factory's inventory or backorder can reach -3999999980 in week 2, beyond "
             "-2147483648 (InitInventory 12, InitDelayAmount 4, FirstOrder 2000000000, MinOrder "
             "0, MaxOrder 99, MaxNoise 0, numweeks 10, cost rates 0.5, 1, 0, participant orders "
             "0)"},
      {{{"InitialDemand", 1000000000}}, row + "the week 1 demand 1000000000 times 3"},
      {{{"Distributor", "Nobody"}, {"Retailer", "nobody"}},
       "Player strategy Nobody invalid on Trial 3"},
      {{{"Factory", "Bot "}}, "Player strategy Bot  invalid on Trial 3"},
      {{{"Retailer", "subject"}}, "Player strategy subject invalid on Trial 3"},
      {{{"Factory", "Subject"}}, "Subject is playing multiple roles"},
  };
  for (const auto& [columns, complaint] : cases) {
    file.exec("DELETE FROM tblBlock");
    blockIndex = 0;
    addBlock({{"Runs", 3}});
    Columns typed;
    for (const auto& [column, value] : columns) {
      const auto* text = std::get_if<std::string>(&value.value);
      if (text && text->rfind("SQL ", 0) == 0) continue;
      typed.emplace(column, value);
    }
    addBlock(typed);
    for (const auto& [column, value] : columns) {
      const auto* text = std::get_if<std::string>(&value.value);
      if (text && text->rfind("SQL ", 0) == 0) {
        file.exec("UPDATE tblBlock SET " + column + "=" + text->substr(4) + " WHERE [Index]=2");
      }
    }
    const auto [title, text] = refusal(blocks().faults);
    EXPECT_EQ(title.rfind("Error", 0), 0u) << complaint;
    EXPECT_EQ(text.rfind(complaint, 0), 0u) << complaint << "\n" << text;
    if (complaint.find("bad.txt") != std::string::npos) {
      EXPECT_NE(text.find("line 1, number 2 is not a number"), std::string::npos) << text;
    }
  }
}

// A value that cannot be converted at all is an error (its number, not a
// refusal box) that names the row and the column.
TEST_F(PlanTest, UnconvertibleValueIsAnErrorNamingItsRowAndColumn) {
  addBlock();
  file.exec("UPDATE tblBlock SET MaxOrder='0x10'");
  EXPECT_EQ(refusal(blocks().faults),
            std::make_pair(std::string("Error 13"),
                           std::string("Setting Demo, tblBlock row RandomGroup 0, Index 1 (trial "
                                       "0): MaxOrder '0x10' is not a number")));
}

// The rows a trial names are checked when it names them (the bounds
// themselves are PlanBounds' own); the refusal names both rows.
TEST_F(PlanTest, PredicterRowsThePlayCannotUseAreRefused) {
  const std::string place =
      "Setting Demo, tblBlock row RandomGroup 0, Index 1 (trial 0), tblPredicter row Ahead: ";
  const std::vector<std::pair<TestValue, std::string>> cases = {
      {-5, place + "Extent -5 is below 0: the forecast would show weeks before week 1"},
      {TestValue(), place + "Extent is empty (Null)"},
  };
  for (const auto& [extent, complaint] : cases) {
    file.exec("DELETE FROM tblBlock; DELETE FROM tblPredicter;");
    blockIndex = 0;
    addBlock({{"Predicter", "Ahead"}});
    insertRow("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", extent}, {"Excess", 8}});
    EXPECT_EQ(refusal(blocks().faults).second, complaint);
  }
}

TEST_F(PlanTest, SettingWithoutPlayableTrialsIsRefused) {
  const struct {
    const char* setting;
    int runs;  // of each of two rows, or no rows when 0
    std::string complaint;
  } cases[] = {
      {"Empty", -1, "Setting Empty: tblBlock has no rows for this setting"},
      {"Demo", 0, "Setting Demo: the rows of tblBlock make no trials"},
      {"Demo", 20000, "Setting Demo: the rows of tblBlock make 40000 trials, more than 32767"},
      {"De,mo", 1,
       "Setting De,mo: the setting name holds a comma, which would break the lines of the "
       "participants' text files"},
  };
  for (const auto& k : cases) {
    file.exec("DELETE FROM tblBlock");
    for (int row = 0; row < 2 && k.runs >= 0; ++row) {
      addBlock({{"Setting", k.setting}, {"Runs", k.runs}});
    }
    EXPECT_EQ(refusal(blocks(k.setting).faults).second, k.complaint);
  }
}

// Subject1 .. Subject4 name team members; rows may give them different
// stages. Member 1's stage is the trial's participantRole as read.
TEST_F(PlanTest, TeamMembersPlayTheStagesTheirColumnsName) {
  addBlock({{"Factory", "Subject2"}, {"Retailer", "Subject1"}});
  addBlock({{"Factory", "Subject1"}, {"Retailer", "Subject2"}, {"Runs", 2}});
  const BlockRows rows = blocks();
  ASSERT_EQ(firstFault(rows.faults), nullptr) << rows.faults.front().text;
  ASSERT_EQ(rows.trials.size(), 3u);
  const TrialPlan& a = rows.trials[0];
  EXPECT_EQ(a.stageMembers, (std::array<int16_t, 4>{2, 0, 0, 1}));
  EXPECT_EQ(a.rolePlayers, (std::array<int16_t, 4>{kParticipantPlayer, 0, 0, kParticipantPlayer}));
  EXPECT_EQ(a.participantRole, kRetailer);
  EXPECT_EQ(rows.trials[2].stageMembers, (std::array<int16_t, 4>{1, 0, 0, 2}));
  EXPECT_EQ(rows.trials[2].participantRole, kFactory);
}

// A row's team and a setting's rows must agree on who plays; a name that is
// no member (Subject5) is a player name like any other.
TEST_F(PlanTest, TeamRowsThePlayCannotUseAreRefused) {
  const std::string row = "Setting Demo, tblBlock row RandomGroup 0, Index 2 (trial 3): ";
  const std::vector<std::pair<Columns, std::string>> cases = {
      {{{"Factory", "Subject1"}, {"Retailer", "Subject1"}}, "Subject1 is playing multiple roles"},
      {{{"Factory", "Subject1"}},
       row + "Subject and team members (Subject1 .. Subject4) in one row"},
      {{{"Factory", "Subject1"}, {"Wholesaler", "Subject3"}, {"Retailer", "Bot"}},
       row + "the team members are not numbered from 1 without gaps (Subject1, Subject3): "
             "Subject2 is missing"},
      {{{"Factory", "Subject2"}, {"Retailer", "Bot"}},
       row + "the team members are not numbered from 1 without gaps (Subject2): Subject1 is "
             "missing"},
      {{{"Factory", "Subject5"}, {"Retailer", "Bot"}},
       "Player strategy Subject5 invalid on Trial 3"},
      {{{"Factory", "Subject1"}, {"Retailer", "Subject2"}},
       row + "this row is played by a team of 2, Setting Demo, tblBlock row RandomGroup 0, Index "
             "1 (trials 0 to 2) by one participant alone (Subject): the rows of a setting need "
             "the same team"},
  };
  for (const auto& [columns, complaint] : cases) {
    file.exec("DELETE FROM tblBlock");
    blockIndex = 0;
    addBlock({{"Runs", 3}});
    addBlock(columns);
    const auto [title, text] = refusal(blocks().faults);
    EXPECT_EQ(title, "Error: tblBlock") << complaint;
    EXPECT_EQ(text.rfind(complaint, 0), 0u) << complaint << "\n" << text;
  }
}

TEST_F(PlanTest, RowsOfTeamsOfDifferentSizesAreRefused) {
  addBlock({{"Factory", "Subject2"}, {"Retailer", "Subject1"}});
  addBlock({{"Factory", "Subject2"}, {"Distributor", "Subject3"}, {"Retailer", "Subject1"}});
  addBlock({{"Retailer", "Bot"}});  // the simulated players alone: nobody needed
  EXPECT_EQ(refusal(blocks().faults).second,
            "Setting Demo, tblBlock row RandomGroup 0, Index 2 (trial 1): this row is played by "
            "a team of 3, Setting Demo, tblBlock row RandomGroup 0, Index 1 (trial 0) by a team "
            "of 2: the rows of a setting need the same team");
}

// Training rows take weeks from Weeks and the order delay from Delay; only
// the first row of a setting counts.
TEST_F(PlanTest, TrainingRowIsReadAsATrialBehindTheBlocks) {
  addTraining({{"Delay", 3}, {"Retailer", "Bot"}, {"Factory", "Subject"}});
  addTraining({{"Runs", 4}});
  const TrainingRow row = trainingOf(5);
  EXPECT_TRUE(row.found);
  EXPECT_EQ(
      std::vector<int>({row.runs, row.costLimit, row.inventoryBound, static_cast<int>(row.rowCount),
                        row.trial.weeks, row.trial.orderDelay, row.trial.participantRole}),
      std::vector<int>({2, 100, 50, 2, 6, 3, 0}));
  EXPECT_EQ(row.password, "skip");
  EXPECT_TRUE(firstFault(row.faults) == nullptr);
  EXPECT_FALSE(trainingOf(5, "Other").found);
}

TEST_F(PlanTest, TrainingValuesThePlayCannotUseAreRefused) {
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
      {{{"CostLimit", 1}, {"InventoryBounds", 100}},
       {"Error: tblTraining",
        "Setting Demo, tblTraining: every training trial fails at week 1, whatever is ordered: "
        "the Retailer's cost of week 1 is 6 (inventory 12 at CostInventory 0.5, goods in transit "
        "at CostTransit 0), above CostLimit 1"}},
      {{{"InitialDemand", 40}, {"CostLimit", 20}, {"InventoryBounds", 100}},
       {"Error: tblTraining",
        "Setting Demo, tblTraining: every training trial fails at week 1, whatever is ordered: "
        "the Retailer's cost of week 1 is 24 (backorder 24 at CostBackOrder 1, goods in transit "
        "at CostTransit 0), above CostLimit 20"}},
      {{{"Factory", "Nobody"}}, {"Error: tblBlock", "Player strategy Nobody invalid on Trial 1"}},
      // A training team: member 1 at the Factory keeps the limit, member 2 does not.
      {{{"Factory", "Subject1"},
        {"Retailer", "Subject2"},
        {"InitialDemand", 40},
        {"CostLimit", 20},
        {"InventoryBounds", 100}},
       {"Error: tblTraining",
        "Setting Demo, tblTraining: every training trial fails at week 1, whatever is ordered: "
        "the Retailer's cost of week 1 is 24 (backorder 24 at CostBackOrder 1, goods in transit "
        "at CostTransit 0), above CostLimit 20"}},
  };
  for (const auto& [columns, expected] : cases) {
    file.exec("DELETE FROM tblTraining");
    addTraining(columns);
    EXPECT_EQ(refusal(trainingOf(1).faults), expected);
  }
}

// A training row whose first week costs exactly its limit can be passed.
TEST_F(PlanTest, TrainingWhoseFirstWeekCostsItsLimitIsPlayable) {
  addTraining({{"CostLimit", 6}, {"InventoryBounds", 100}});
  EXPECT_EQ(firstFault(trainingOf(1).faults), nullptr);
}

// Files may rely on the rounding of a fraction where a whole number is used
// (halves to even): it is kept, and every such value is named with the value
// it plays as.
TEST_F(PlanTest, FractionsWhereWholeNumbersAreUsedAreWarnedWithWhatTheyPlayAs) {
  writeInput("halves.txt", "4.5,5.5\n6.5\n");
  addBlock({{"Input", "halves.txt"}, {"numweeks", 3}});
  file.exec("UPDATE tblBlock SET Delay=2.5, InitInventory=12.5");
  const BlockRows rows = blocks();
  EXPECT_EQ(firstFault(rows.faults), nullptr);
  std::vector<std::string> warnings;
  for (const PlanFault& f : rows.faults) warnings.push_back(describeFault(f));
  const std::string row = "warning: Setting Demo, tblBlock row RandomGroup 0, Index 1 (trial 0): ";
  const std::string demand = row + "Demand file \"" + file.folder() + "/halves.txt\", ";
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          row + "Delay 2.5 is not a whole number: it plays as 2",
                          row + "InitInventory 12.5 is not a whole number: it plays as 12",
                          demand + "line 1, number 1: 4.5 is not a whole number: it plays as 4",
                          demand + "line 1, number 2: 5.5 is not a whole number: it plays as 6",
                          demand + "line 2, number 1: 6.5 is not a whole number: it plays as 6",
                      }));
  ASSERT_EQ(rows.trials.size(), 1u);
  EXPECT_EQ(rows.trials[0].delay, 2);
}

// Trials whose largest orders could each be played but together could run
// the game's cost sum out of its 32 bits share it: their orders are limited
// (and said), ordinary play stays possible. Where even that cannot hold the
// sum, the plan is refused.
TEST_F(PlanTest, TrialsShareTheGamesCostSumThroughTheirOrderLimits) {
  addBlock({{"Runs", 12}, {"numweeks", 52}, {"CostBackOrder", 50.0}});
  BlockRows rows = blocks();
  ASSERT_EQ(firstFault(rows.faults), nullptr) << refusal(rows.faults).second;
  ASSERT_EQ(rows.trials.size(), 12u);
  const int16_t largest = rows.trials[0].largestOrder;
  EXPECT_LT(largest, kLargestParticipantOrder);
  EXPECT_GE(largest, 80);
  ASSERT_FALSE(rows.faults.empty());
  EXPECT_NE(rows.faults.back().text.find("orders above " + std::to_string(largest) +
                                         " could overflow the game's cost sum over all trials; "
                                         "the game accepts orders up to " +
                                         std::to_string(largest) + " in this trial"),
            std::string::npos)
      << rows.faults.back().text;

  file.exec("UPDATE tblBlock SET CostBackOrder=5000");
  rows = blocks();
  EXPECT_NE(refusal(rows.faults).second.find("the end costs of its 12 trials can add up to"),
            std::string::npos)
      << refusal(rows.faults).second;
}

// Every rule's switch and parameters reach the player as the row gives
// them; a row that leaves them out reads them off and at their defaults.
TEST_F(PlanTest, PlayerRowsGiveEveryRuleItsSwitchAndParameters) {
  Columns given = {{"Name", "All"}, {"IfZero", 3}};
  double value = 0.5;
  for (const PlayerRuleEntry& rule : playerRules()) {
    given[rule.column] = 1;
    for (const RuleParameter& parameter : rule.parameters) given[parameter.column] = value += 0.25;
  }
  insertRow("tblPlayer", given);
  insertRow("tblPlayer", {{"Name", "None"}});
  const PlayerRows rows = readPlayers(tables());
  ASSERT_EQ(firstFault(rows.faults), nullptr) << refusal(rows.faults).second;
  ASSERT_EQ(rows.players.size(), 3u);
  const PlayerStrategy& all = rows.players[1];
  const PlayerStrategy& none = rows.players[2];
  EXPECT_EQ(all.orderIfNegative, 3);
  for (const PlayerRuleEntry& rule : playerRules()) {
    EXPECT_TRUE(follows(all, rule)) << rule.column;
    EXPECT_FALSE(follows(none, rule)) << rule.column;
    for (const RuleParameter& parameter : rule.parameters) {
      EXPECT_EQ(all.*parameter.field, std::get<double>(given[parameter.column].value))
          << parameter.column;
      EXPECT_EQ(none.*parameter.field, parameter.defaultValue) << parameter.column;
    }
  }
}

TEST_F(PlanTest, PlayerTableFaultsNameTheirRow) {
  insertRow("tblPlayer", {{"Name", "Nully"}, {"Alpha", TestValue()}});  // reads its default, 0
  insertRow("tblPlayer", {{"Name", "Huge"}, {"Sterman", 1}, {"Alpha", 1e300}});
  insertRow("tblPlayer", {{"Name", "a,b"}});
  const PlayerRows rows = readPlayers(tables());
  std::vector<std::string> texts;
  for (const PlanFault& f : rows.faults) texts.push_back(f.text.substr(0, f.text.find(':')));
  EXPECT_EQ(texts, (std::vector<std::string>{"tblPlayer row Huge", "tblPlayer row a,b"}));
  EXPECT_EQ(rows.players.size(), 4u);
}

}  // namespace
}  // namespace quarn::testing
