#include "sim/modInit.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "sim/InputFile.h"
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
  EXPECT_EQ(e.number(), kErrTypeMismatch);
  EXPECT_EQ(Line(e), "line 2");
  EXPECT_EQ(Line(Refusal("\n\n1,,2\n")), "line 3");
  EXPECT_EQ(Refusal("0x10").number(), kErrTypeMismatch);
  e = Refusal("1\n3000000000\n");
  EXPECT_EQ(e.number(), kErrOverflow);
  EXPECT_EQ(Line(e), "line 2");
  EXPECT_EQ(Refusal("").number(), kErrInvalidPlan);
  EXPECT_EQ(Refusal("", "missing.txt").number(), kErrFileNotFound);

  SimGame g(Trial("x"));
  g.chain.CurrentWeek = 7;
  EXPECT_THROW(g.Start(folder), DemandFileError);
  EXPECT_EQ(g.chain.CurrentWeek, 7);
  EXPECT_TRUE(g.role(kFactory).OrderSlots.empty());
}

// Input names a regular file inside the Input folder; nothing else is opened,
// and a refusal never shows what a file holds.
TEST_F(DemandFile, InputIsConfinedToRegularFilesInsideTheFolder) {
  namespace fs = std::filesystem;
  std::ofstream(folder + "/../quarn-secret.txt") << "root:x:0:0\n";
  fs::create_directory(folder + "/sub");
  std::ofstream(folder + "/sub/inner.txt") << "6\n";
  fs::create_symlink(folder + "/../quarn-secret.txt", folder + "/out-link");
  fs::create_symlink("/dev/zero", folder + "/zero-link");
  fs::create_symlink("sub/inner.txt", folder + "/in-link");
  ASSERT_EQ(mkfifo((folder + "/fifo").c_str(), 0600), 0);
  std::ofstream(folder + "/big.txt") << std::string(kMaxInputBytes + 1, '4');
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"../quarn-secret.txt", "leads out of the Input folder (\"..\")"},
      {folder + "/demand.txt", "is not a file name inside the Input folder"},
      {"out-link", "leads out of the Input folder"},
      {"zero-link", "leads out of the Input folder"},
      {"fifo", "is not a regular file"},
      {"sub", "is not a regular file"},
      {"big.txt", "is larger than 1048576 bytes"},
  };
  for (const auto& [input, reason] : refused) {
    TrialPlan t = Trial("1\n");
    t.Input = input;
    try {
      CheckDemandFile(t, folder);
      ADD_FAILURE() << "accepted " << input;
    } catch (const DemandFileError& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(reason), std::string::npos) << text;
      EXPECT_EQ(text.find("root:"), std::string::npos) << text;
    }
  }
  for (const char* inside : {"sub/inner.txt", "in-link"}) {
    TrialPlan t = Trial("1\n");
    t.Input = inside;
    BuildDemand(t, folder);
    EXPECT_EQ(t.WeeklyDemand[0], 6) << inside;
  }
  fs::remove(folder + "/../quarn-secret.txt");
}

// What spreadsheets write first is skipped; the refusal names the place of
// a bad number, not its text.
TEST_F(DemandFile, ByteOrderMarkIsSkippedAndBadNumbersAreNamedByPlace) {
  EXPECT_EQ(Build("\xEF\xBB\xBF"
                  "5,6\n7\n"),
            (std::vector<int32_t>{5, 6, 7, 9, 9}));
  const std::string text = Refusal("1,2\n3,\x1b[31msecret\n").what();
  EXPECT_NE(text.find("line 2, number 2 is not a number"), std::string::npos) << text;
  EXPECT_EQ(text.find("secret"), std::string::npos) << text;
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
