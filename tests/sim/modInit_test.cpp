#include "sim/modInit.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(BuildDemand, StepsAtJumpWeekWithASpareSlot) {
  TrialPlan t = SteadyTrial(4);
  t.JumpWeek = 3;
  BuildDemand(t, "unused");
  EXPECT_EQ(t.WeeklyDemand, (std::vector<int32_t>{4, 4, 8, 8, 0}));
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

// Short files are padded, long ones cut off; bad ones name the file and line
// and leave the chain alone.
TEST_F(DemandFile, PaddedCutOffOrRefusedWithFileAndLine) {
  EXPECT_EQ(Build("5\n6\n7\n"), (std::vector<int32_t>{5, 6, 7, 9, 9}));
  EXPECT_EQ(Build("1, 2,3\r\n\r\n4\r\n5,oops"), (std::vector<int32_t>{1, 2, 3, 4, 4}));
  EXPECT_EQ(Build("2.5,3.5,-2.5,1e1"), (std::vector<int32_t>{2, 4, -2, 10, 10}));
  EXPECT_EQ(Build("+3", 1), (std::vector<int32_t>{3, 3}));

  DemandFileError e = Refusal("1,2\n3,abc\n");
  EXPECT_EQ(e.Number(), kErrTypeMismatch);
  EXPECT_EQ(Line(e), "line 2");
  EXPECT_EQ(Line(Refusal("\n\n1,,2\n")), "line 3");
  EXPECT_EQ(Refusal("0x10").Number(), kErrTypeMismatch);
  e = Refusal("1\n3000000000\n");
  EXPECT_EQ(e.Number(), kErrOverflow);
  EXPECT_EQ(Line(e), "line 2");
  EXPECT_EQ(Refusal("").Number(), kErrInvalidPlan);
  EXPECT_EQ(Refusal("", "missing.txt").Number(), kErrFileNotFound);

  SimGame g(Trial("x"));
  g.chain.CurrentWeek = 7;
  EXPECT_THROW(g.Start(folder), DemandFileError);
  EXPECT_EQ(g.chain.CurrentWeek, 7);
  EXPECT_TRUE(g.role(kFactory).OrderSlots.empty());
}

TEST(StartTrialChain, RefusesValuesTheArraysCannotHold) {
  for (auto spoil : {+[](TrialPlan& t) { t.Delay = 4; }, +[](TrialPlan& t) { t.OrderDelay = -1; },
                     +[](TrialPlan& t) { t.RolePlayer[2] = 1; }}) {
    TrialPlan t = SteadyTrial();
    spoil(t);
    SimGame g(t);
    g.chain.CurrentWeek = 7;
    EXPECT_THROW(g.Start(), QuarnError);
    EXPECT_EQ(g.chain.CurrentWeek, 7);
  }
}

}  // namespace
}  // namespace quarn::testing
