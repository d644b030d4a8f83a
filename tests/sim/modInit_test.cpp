#include "sim/modInit.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(BuildDemand, StepPattern) {
  const struct {
    int16_t jump;
    std::vector<int32_t> demand;
  } cases[] = {
      {3, {4, 4, 8, 8, 0}},
      {1, {8, 8, 8, 8, 0}},
      {6, {4, 4, 4, 4, 4}},  // the first part reaches the spare slot
  };
  for (const auto& k : cases) {
    TrialPlan t = SteadyTrial(4);
    t.JumpWeek = k.jump;
    BuildDemand(t, "unused");
    EXPECT_EQ(t.WeeklyDemand, k.demand) << "JumpWeek " << k.jump;
  }
  TrialPlan t = SteadyTrial(4);
  for (int16_t bad : {0, 7}) {
    t.JumpWeek = bad;
    EXPECT_THROW(BuildDemand(t, "unused"), QuarnError);
  }
}

class DemandFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarn-sim-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // A trial on the file; JumpWeek is out of range, as a file leaves it unused.
  TrialPlan Trial(const std::string& text, int16_t weeks = 4) {
    std::ofstream(folder + "/demand.txt", std::ios::binary) << text;
    TrialPlan t = SteadyTrial(weeks);
    t.InitialDemand = 9;
    t.JumpWeek = 99;
    t.Input = "demand.txt";
    return t;
  }
  std::vector<int32_t> Build(const std::string& text, int16_t weeks = 4) {
    SimGame g(Trial(text, weeks));
    g.Start(folder);
    return g.trial().WeeklyDemand;
  }
  // The error a bad file raises; the trial's series must stay as it was.
  DemandFileError Refusal(const std::string& text, const std::string& input = "demand.txt") {
    TrialPlan t = Trial(text);
    t.Input = input;
    t.WeeklyDemand = {42};
    EXPECT_THROW(CheckDemandFile(t, folder), DemandFileError);
    try {
      BuildDemand(t, folder);
    } catch (const DemandFileError& e) {
      EXPECT_EQ(t.WeeklyDemand, std::vector<int32_t>{42});
      EXPECT_NE(std::string(e.what()).find(folder + "/" + input), std::string::npos) << e.what();
      return e;
    }
    ADD_FAILURE() << "no error for " << text;
    return DemandFileError(0, "");
  }
  static std::string Line(const DemandFileError& e) {
    const std::string text = e.what();
    return text.substr(text.find("line "), 6);
  }

  std::string folder;
};

TEST_F(DemandFile, ShortFilesArePaddedAndLongOnesCutOff) {
  EXPECT_EQ(Build("5\n6\n7\n"), (std::vector<int32_t>{5, 6, 7, 9, 9}));
  EXPECT_EQ(Build("1, 2,3\r\n\r\n4\r\n5,oops"), (std::vector<int32_t>{1, 2, 3, 4, 4}));
  EXPECT_EQ(Build("2.5,3.5,-2.5,1e1"), (std::vector<int32_t>{2, 4, -2, 10, 10}));
  EXPECT_EQ(Build("+3", 1), (std::vector<int32_t>{3, 3}));
}

TEST_F(DemandFile, BadFilesNameTheFileAndLineAndLeaveTheChainAlone) {
  DemandFileError e = Refusal("1,2\n3,abc\n");
  EXPECT_EQ(e.Number(), kErrTypeMismatch);
  EXPECT_EQ(Line(e), "line 2");
  EXPECT_EQ(Line(Refusal("\n\n1,,2\n")), "line 3");
  for (const char* word : {"inf", "nan", "0x10", "5 6", "--4"}) {
    EXPECT_EQ(Refusal(word).Number(), kErrTypeMismatch) << word;
  }
  e = Refusal("1\n3000000000\n");
  EXPECT_EQ(e.Number(), kErrOverflow);
  EXPECT_EQ(Line(e), "line 2");
  EXPECT_EQ(Refusal("").Number(), kErrInvalidPlan);
  EXPECT_EQ(Refusal(" \n\r\n").Number(), kErrInvalidPlan);
  EXPECT_EQ(Refusal("", "missing.txt").Number(), kErrFileNotFound);
  std::filesystem::create_directory(folder + "/sub");
  EXPECT_EQ(Refusal("", "sub").Number(), kErrFileNotFound);

  SimGame g(Trial("x"));
  g.chain.CurrentWeek = 7;
  EXPECT_THROW(g.Start(folder), DemandFileError);
  EXPECT_EQ(g.chain.CurrentWeek, 7);
  EXPECT_TRUE(g.role(kFactory).OrderSlots.empty());
}

// A new trial over a played chain: every stage reset, named, slots resized.
TEST(StartTrialChain, ResetsEveryStageOfAPlayedChain) {
  TrialPlan t = SteadyTrial(20, kWholesaler, 3);
  t.RolePlayer = {1, 0, kSubjectPlayer, 1};
  SimGame g(t, {{.Name = "Alice", .Demand = true}, {.Name = "Bob", .Demand = true}});
  g.Start();
  g.Press(9);
  g.Press(9);
  g.trial().TotalCost = 99;
  g.trial().Delay = 1;
  g.trial().OrderDelay = 2;
  g.Start();
  EXPECT_EQ(g.chain.CurrentWeek, 1);
  EXPECT_EQ(g.trial().TotalCost, 0.0);
  const char* names[] = {"FactoryBob", "DistributorAlice", "WholesalerSubject", "RetailerBob"};
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleState& s = g.role(r);
    EXPECT_EQ(s.RoleName + s.PlayerName, names[r]);
    EXPECT_EQ(std::vector<size_t>({s.DelaySlots.size(), s.OrderSlots.size()}),
              std::vector<size_t>({1, 3}));
    EXPECT_EQ(std::vector<int32_t>({s.Received, s.Inventory, s.TotalCost, s.WeeklyCost}),
              std::vector<int32_t>({4, 12, 0, 0}));
  }
}

TEST(StartTrialChain, RefusesValuesTheArraysCannotHold) {
  const struct {
    void (*spoil)(TrialPlan&);
    const char* named;
  } cases[] = {
      {[](TrialPlan& t) { t.Delay = 0; }, "Delay = 0"},
      {[](TrialPlan& t) { t.Delay = 4; }, "Delay = 4"},
      {[](TrialPlan& t) { t.OrderDelay = -1; }, "OrderDelay = -1"},
      {[](TrialPlan& t) { t.numweeks = 0; }, "numweeks = 0"},
      {[](TrialPlan& t) { t.JumpWeek = 23; }, "JumpWeek = 23"},
      {[](TrialPlan& t) { t.SubjectRole = 4; }, "SubjectRole = 4"},
      {[](TrialPlan& t) { t.RolePlayer[2] = 1; }, "RolePlayer(2) = 1"},
  };
  for (const auto& k : cases) {
    TrialPlan t = SteadyTrial();
    k.spoil(t);
    SimGame g(t);
    g.chain.CurrentWeek = 7;
    try {
      g.Start();
      ADD_FAILURE() << "started with " << k.named;
    } catch (const QuarnError& e) {
      EXPECT_EQ(e.Number(), kErrInvalidPlan);
      EXPECT_NE(std::string(e.what()).find(k.named), std::string::npos) << e.what();
    }
    EXPECT_EQ(g.chain.CurrentWeek, 7);
  }
}

}  // namespace
}  // namespace quarn::testing
