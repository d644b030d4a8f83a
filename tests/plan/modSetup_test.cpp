#include "plan/modSetup.h"

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

class SetupTest : public PlanTest {
 protected:
  void Load() {
    LoadPlayers(db, plan);
    LoadBlocks(db, toolkit, identity, plan, file.Folder());
  }
  // Loads and expects a refusal; returns its text.
  std::string Refused() {
    EXPECT_THROW(Load(), ApplicationEnd);
    EXPECT_FALSE(toolkit.shown.empty());
    if (toolkit.shown.empty()) return "";
    EXPECT_EQ(toolkit.Last().title, "Error: tblBlock");
    return toolkit.Last().prompt;
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

TEST_F(SetupTest, PlayerNamesMatchIgnoringCaseOnly) {
  plan.PlayerTable = {{"Alpha"}, {"ALPHA"}, {"Beta"}};
  plan.PlayerCount = 3;
  plan.TrialPlans.resize(4);
  EXPECT_EQ(GetPlayerIndex(plan, toolkit, 0, "alpha", 0), 0);
  EXPECT_EQ(GetPlayerIndex(plan, toolkit, 0, "BETA", 1), 2);
  EXPECT_THROW(GetPlayerIndex(plan, toolkit, 3, "Beta ", 2), ApplicationEnd);
  EXPECT_EQ(toolkit.Last().prompt, "Player strategy Beta  invalid on Trial 3");
  EXPECT_EQ(toolkit.Last().title, "Error: tblBlock");
  EXPECT_THROW(GetPlayerIndex(plan, toolkit, 1, "subject", 3), ApplicationEnd);
  EXPECT_EQ(toolkit.Last().prompt, "Player strategy subject invalid on Trial 1");
}

TEST_F(SetupTest, SubjectTakesOneRolePerTrial) {
  plan.TrialPlans.resize(2);
  EXPECT_EQ(GetPlayerIndex(plan, toolkit, 0, "Subject", 3), -1);
  EXPECT_EQ(GetPlayerIndex(plan, toolkit, 1, "Subject", 3), -1);
  EXPECT_EQ(plan.TrialPlans[1].SubjectRole, 3);
  EXPECT_THROW(GetPlayerIndex(plan, toolkit, 0, "Subject", 0), ApplicationEnd);
  EXPECT_EQ(toolkit.Last().prompt, "Subject is playing multiple roles");
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
  EXPECT_EQ(a.Input, "");
  EXPECT_EQ(a.Predicter, " ");
  EXPECT_FALSE(a.DatabaseOutput);
  EXPECT_FALSE(a.EnableProfit);
  EXPECT_EQ(a.SubjectRole, 2);
  EXPECT_EQ(a.RolePlayer, (std::array<int16_t, 4>{0, 0, -1, 0}));
  EXPECT_EQ(a.OrderDelay, 1);
  EXPECT_EQ(a.InitInventory, 12);
  EXPECT_DOUBLE_EQ(a.CostTransit, 0.75);
  EXPECT_TRUE(a.WeeklyDemand.empty());
  const TrialPlan& b = plan.TrialPlans[1];
  EXPECT_EQ(b.Input, "series.txt");
  EXPECT_EQ(b.Predicter, "");
  EXPECT_TRUE(b.DatabaseOutput);
  EXPECT_EQ(b.SubjectRole, -1);
  EXPECT_TRUE(toolkit.shown.empty());
}

TEST_F(SetupTest, RoleColumnRefusalsNameTheTrialIndex) {
  Block({{"Runs", 3}});
  Block({{"Distributor", "Nobody"}, {"Retailer", "nobody"}});
  EXPECT_EQ(Refused(), "Player strategy Nobody invalid on Trial 3");
}

TEST_F(SetupTest, ParticipantInTwoRolesIsRefused) {
  Block({{"Factory", "Subject"}});
  EXPECT_EQ(Refused(), "Subject is playing multiple roles");
}

TEST_F(SetupTest, NullRoleColumnIsAnError) {
  Block({{"Factory", TestValue()}});
  try {
    Load();
    FAIL() << "loaded";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.Number(), kErrInvalidUseOfNull);
    EXPECT_NE(e.Description().find("Factory"), std::string::npos) << e.Description();
  }
}

}  // namespace
}  // namespace quarn::testing
