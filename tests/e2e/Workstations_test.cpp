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
    pids.push_back(startPilot(demo, subject, demo.db.folder() + "/" + subject + ".out"));
  }
  for (size_t i = 0; i < pids.size(); ++i) {
    EXPECT_EQ(waitFor(pids[i]), 0) << readFile(demo.db.folder() + "/" + subjects[i] + ".out");
  }

  // Per trial: rows, distinct weeks, last week, the trial row; training
  // trials -2 and -1 of 10 weeks, then trials 1 to 4 of 20.
  const std::string perTrial =
      "-2:40/10/10/1,-1:40/10/10/1,1:80/20/20/1,2:80/20/20/1,"
      "3:80/20/20/1,4:80/20/20/1";
  for (const std::string& s : subjects) {
    const std::string who = "Subject='" + s + "' AND Setting='Demo'";
    EXPECT_EQ(demo.db.count("datUser", "Subject='" + s + "'"), 1) << s;
    auto played = demo.db.rows(
        "SELECT group_concat(t, ',') AS g FROM (SELECT Trial || ':' || count(*) || '/' || "
        "count(DISTINCT Week) || '/' || max(Week) || '/' || (SELECT count(*) FROM datTrial d "
        "WHERE d.Trial=r.Trial AND d." +
        who + ") AS t FROM datRole r WHERE r." + who + " GROUP BY Trial ORDER BY Trial)");
    EXPECT_EQ(std::get<std::string>(played[0].at("g")), perTrial) << s;
    const std::string text = readFile(demo.textFile(s));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 100) << s;
  }
  EXPECT_EQ(demo.db.count("(SELECT Subject FROM datRole GROUP BY Subject, Setting, Trial, Week, "
                          "Role HAVING count(*) > 1)"),
            0);
}

// One registered User ID started on two workstations at once: exactly one
// plays it through; the other is refused at login, ends with a failure and
// says why. The file holds one session's rows, under the setting's own
// trials, and no write failed on the way.
TEST(Workstations, OneUserIdOnTwoWorkstationsPlaysOnce) {
  DemoFolder demo;
  demo.db.insert("datUser", {{"Subject", "TWIN"}, {"Setting", "Demo"}});
  std::vector<std::string> outputs;
  std::vector<pid_t> pids;
  for (int i = 0; i < 2; ++i) {
    outputs.push_back(demo.db.folder() + "/twin" + std::to_string(i) + ".out");
    pids.push_back(startPilot(demo, "TWIN", outputs.back()));
  }
  std::vector<int> codes;
  for (pid_t pid : pids) codes.push_back(waitFor(pid));
  const std::string shown = readFile(outputs[0]) + "\n----\n" + readFile(outputs[1]);
  ASSERT_EQ(std::count(codes.begin(), codes.end(), 0), 1) << shown;
  const std::string refused = readFile(outputs[codes[0] == 0 ? 1 : 0]);
  EXPECT_NE(codes[0] + codes[1], 0) << shown;
  // Refused at login while the other plays, or, had it come after the whole
  // game, for want of trials.
  EXPECT_TRUE(refused.find("the login refused: TWIN is playing at workstation ") !=
                  std::string::npos ||
              refused.find("TWIN has completed all 4 trials") != std::string::npos)
      << refused;
  EXPECT_EQ(shown.find("UNIQUE"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Problems on weekly output"), std::string::npos) << shown;

  auto played = demo.db.rows(
      "SELECT group_concat(t, ',') AS g FROM (SELECT Trial || ':' || count(*) || '/' || "
      "(SELECT count(*) FROM datTrial d WHERE d.Trial=r.Trial) AS t FROM datRole r "
      "GROUP BY Trial ORDER BY Trial)");
  EXPECT_EQ(std::get<std::string>(played[0].at("g")),
            "-2:40/1,-1:40/1,1:80/1,2:80/1,3:80/1,4:80/1");
  EXPECT_EQ(demo.db.count("datTrial"), 6);
  const std::string text = readFile(demo.textFile("TWIN"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 100);
  EXPECT_EQ(demo.db.count("datPlaying"), 0) << "the winner's normal end clears its mark";
}

}  // namespace
}  // namespace quarn::testing
