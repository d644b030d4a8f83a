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

  // Per trial: rows, distinct weeks, last week, the trial row; training
  // trials -2 and -1 of 10 weeks, then trials 1 to 4 of 20.
  const std::string perTrial =
      "-2:40/10/10/1,-1:40/10/10/1,1:80/20/20/1,2:80/20/20/1,"
      "3:80/20/20/1,4:80/20/20/1";
  for (const std::string& s : subjects) {
    const std::string who = "Subject='" + s + "' AND Setting='Demo'";
    EXPECT_EQ(demo.db.Count("datUser", "Subject='" + s + "'"), 1) << s;
    auto played = demo.db.Rows(
        "SELECT group_concat(t, ',') AS g FROM (SELECT Trial || ':' || count(*) || '/' || "
        "count(DISTINCT Week) || '/' || max(Week) || '/' || (SELECT count(*) FROM datTrial d "
        "WHERE d.Trial=r.Trial AND d." +
        who + ") AS t FROM datRole r WHERE r." + who + " GROUP BY Trial ORDER BY Trial)");
    EXPECT_EQ(std::get<std::string>(played[0].at("g")), perTrial) << s;
    const std::string text = ReadFile(demo.TextFile(s));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 100) << s;
  }
  EXPECT_EQ(demo.db.Count("(SELECT Subject FROM datRole GROUP BY Subject, Setting, Trial, Week, "
                          "Role HAVING count(*) > 1)"),
            0);
}

}  // namespace
}  // namespace quarn::testing
