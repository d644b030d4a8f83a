#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

// Four workstations play four participants into one database file at the
// same time. Each finds every row of its own, once, under the Trial numbers
// its session played: no write was lost, doubled or moved to another Trial.
TEST(Workstations, FourParticipantsAtOnceIntoOneFile) {
  DemoFolder demo;
  const std::vector<std::string> subjects = {"W1", "W2", "W3", "W4"};
  std::vector<pid_t> pids;
  for (const std::string& subject : subjects) {
    pids.push_back(StartPilot(demo, subject, demo.db.Folder() + "/" + subject + ".out"));
  }
  for (size_t i = 0; i < pids.size(); ++i) {
    EXPECT_EQ(WaitFor(pids[i]), 0) << ReadFile(demo.db.Folder() + "/" + subjects[i] + ".out");
  }

  // Training trials -1 and -2 of 10 weeks, then trials 1 to 4 of 20.
  const std::vector<std::pair<int, int>> trials = {{-2, 10}, {-1, 10}, {1, 20},
                                                   {2, 20},  {3, 20},  {4, 20}};
  for (const std::string& s : subjects) {
    SCOPED_TRACE(s);
    const std::string who = "Subject='" + s + "' AND Setting='Demo'";
    EXPECT_EQ(demo.db.Count("datUser", "Subject='" + s + "'"), 1);
    auto played = demo.db.Rows(
        "SELECT Trial, count(*) AS n, count(DISTINCT Week) AS weeks, "
        "max(Week) AS last FROM datRole WHERE " +
        who + " GROUP BY Trial ORDER BY Trial");
    ASSERT_EQ(played.size(), trials.size());
    auto recorded = demo.db.Rows("SELECT Trial FROM datTrial WHERE " + who + " ORDER BY Trial");
    ASSERT_EQ(recorded.size(), trials.size());
    for (size_t i = 0; i < trials.size(); ++i) {
      const auto [trial, weeks] = trials[i];
      EXPECT_EQ(Int(played[i], "Trial"), trial);
      EXPECT_EQ(Int(played[i], "n"), 4 * weeks) << trial;
      EXPECT_EQ(Int(played[i], "weeks"), weeks) << trial;
      EXPECT_EQ(Int(played[i], "last"), weeks) << trial;
      EXPECT_EQ(Int(recorded[i], "Trial"), trial);
    }
    const std::string text = ReadFile(demo.TextFile(s));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 100);
  }
  EXPECT_EQ(demo.db.Count("(SELECT Subject FROM datRole GROUP BY Subject, Setting, Trial, Week, "
                          "Role HAVING count(*) > 1)"),
            0);
}

}  // namespace
}  // namespace quarn::testing
