#include "sim/DemandSeries.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

TEST(DemandSeries, StepPatternJumpsAtJumpWeekAndKeepsASpareSlot) {
  TrialPlan t = steadyTrial(4);
  t.jumpWeek = 3;
  buildDemand(t, "unused");
  EXPECT_EQ(t.weeklyDemand, (std::vector<int32_t>{4, 4, 8, 8, 0}));
  t.jumpWeek = 6;  // weeks + 2: the first part reaches the spare slot
  buildDemand(t, "unused");
  EXPECT_EQ(t.weeklyDemand, (std::vector<int32_t>{4, 4, 4, 4, 4}));
}

TEST(DemandSeries, RefusesAJumpWeekOutsideTheTrial) {
  for (int16_t bad : {0, 7}) {
    TrialPlan t = steadyTrial(4);
    t.jumpWeek = bad;
    EXPECT_THROW(buildDemand(t, "unused"), QuarnError) << bad;
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

  // A trial on the file; jumpWeek is out of range, as a file leaves it unused.
  TrialPlan trialOn(const std::string& text, int16_t weeks = 4) {
    std::ofstream(folder + "/demand.txt", std::ios::binary) << text;
    TrialPlan t = steadyTrial(weeks);
    t.initialDemand = 9;
    t.jumpWeek = 99;
    t.inputFile = "demand.txt";
    return t;
  }
  std::vector<int32_t> build(const std::string& text, int16_t weeks = 4) {
    TrialPlan t = trialOn(text, weeks);
    buildDemand(t, folder);
    return t.weeklyDemand;
  }
  // The error a bad file raises; the trial's series must stay as it was.
  DemandFileError refusal(const std::string& text, const std::string& input = "demand.txt") {
    TrialPlan t = trialOn(text);
    t.inputFile = input;
    t.weeklyDemand = {42};
    EXPECT_THROW(checkDemandFile(t, folder), DemandFileError);
    try {
      buildDemand(t, folder);
    } catch (const DemandFileError& e) {
      EXPECT_EQ(t.weeklyDemand, std::vector<int32_t>{42});
      EXPECT_NE(std::string(e.what()).find(folder + "/" + input), std::string::npos) << e.what();
      return e;
    }
    ADD_FAILURE() << "no error for " << text;
    return DemandFileError(0, "");
  }
  static std::string placeOf(const DemandFileError& e) {
    const std::string text = e.what();
    return text.substr(text.find("line "), 16);
  }

  std::string folder;
};

TEST_F(DemandFile, ShortFilesArePaddedAndLongOnesCutOff) {
  EXPECT_EQ(build("5\n6\n7\n"), (std::vector<int32_t>{5, 6, 7, 9, 9}));
  EXPECT_EQ(build("1, 2,3\r\n\r\n4\r\n5,oops"), (std::vector<int32_t>{1, 2, 3, 4, 4}));
  EXPECT_EQ(build("+3", 1), (std::vector<int32_t>{3, 3}));
}

TEST_F(DemandFile, FractionsRoundHalfToEvenAndAreNamed) {
  EXPECT_EQ(build("2.5,3.5,-2.5,1e1"), (std::vector<int32_t>{2, 4, -2, 10, 10}));
  TrialPlan t = trialOn("4.5,5.5\n6.5\n7\n");
  std::vector<std::string> fractions;
  buildDemand(t, folder, &fractions);
  EXPECT_EQ(t.weeklyDemand, (std::vector<int32_t>{4, 6, 6, 7, 7}));
  const std::string file = "Demand file \"" + folder + "/demand.txt\", ";
  EXPECT_EQ(fractions, (std::vector<std::string>{
                           file + "line 1, number 1: 4.5 is not a whole number: it plays as 4",
                           file + "line 1, number 2: 5.5 is not a whole number: it plays as 6",
                           file + "line 2, number 1: 6.5 is not a whole number: it plays as 6"}));
}

TEST_F(DemandFile, ByteOrderMarkIsSkipped) {
  EXPECT_EQ(build("\xEF\xBB\xBF"
                  "5,6\n7\n"),
            (std::vector<int32_t>{5, 6, 7, 9, 9}));
}

TEST_F(DemandFile, RefusalsNameTheLineAndThePlaceInIt) {
  const struct {
    std::string text;
    int error;
    std::string place;
  } cases[] = {
      {"1,2\n3,abc\n", kErrTypeMismatch, "line 2, number 2"},
      {"\n\n1,,2\n", kErrTypeMismatch, "line 3, number 2"},
      {"0x10", kErrTypeMismatch, "line 1, number 1"},
      {"1\n3000000000\n", kErrOverflow, "line 2, number 1"},
  };
  for (const auto& k : cases) {
    const DemandFileError e = refusal(k.text);
    EXPECT_EQ(e.number(), k.error) << k.text;
    EXPECT_EQ(placeOf(e), k.place) << e.what();
  }
}

TEST_F(DemandFile, EmptyAndMissingFilesAreRefused) {
  EXPECT_EQ(refusal("").number(), kErrInvalidPlan);
  EXPECT_EQ(refusal("", "missing.txt").number(), kErrFileNotFound);
}

TEST_F(DemandFile, RefusalNeverQuotesTheFilesContent) {
  const std::string text = refusal("1,2\n3,\x1b[31msecret\n").what();
  EXPECT_NE(text.find("line 2, number 2 is not a number"), std::string::npos) << text;
  EXPECT_EQ(text.find("secret"), std::string::npos) << text;
}

}  // namespace
}  // namespace quarn::testing
