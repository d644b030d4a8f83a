#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

// The pilot on the demo as a process whose clock runs `offset` ahead
// (libfaketime's faketime, e.g. "+20m"; empty: the real clock).
pid_t startPilotAt(const DemoFolder& demo, const std::string& subject, const std::string& outFile,
                   const std::string& offset) {
  const std::string dataDir = demo.dataDir();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    if (offset.empty()) {
      ::execl(QUARN_ADMIN_TOOL, QUARN_ADMIN_TOOL, "pilot", dataDir.c_str(), "Demo", subject.c_str(),
              "--pace", "40", static_cast<char*>(nullptr));
    } else {
      ::execlp("faketime", "faketime", "-f", offset.c_str(), QUARN_ADMIN_TOOL, "pilot",
               dataDir.c_str(), "Demo", subject.c_str(), static_cast<char*>(nullptr));
    }
    ::_exit(127);
  }
  return pid;
}

// A workstation whose clock runs 20 minutes ahead logs in a participant who
// is playing at another workstation on the server: the server's clock says
// the other one's mark is fresh, so the login is refused, and the game
// there goes on to its end.
TEST(Workstations, ClockAheadCannotTakeAPlayingParticipantOnAServer) {
  DemoFolder demo;
  demo.moveToServer();
  const std::string playing = demo.db.folder() + "/playing.out";
  const std::string skewed = demo.db.folder() + "/skewed.out";
  const pid_t first = startPilotAt(demo, "SKEW", playing, "");
  // Logged in and some weeks played (the pace keeps it playing for seconds).
  for (int i = 0; i < 100 && demo.server->count("datRole") < 40; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_GE(demo.server->count("datRole"), 40) << readFile(playing);
  const pid_t second = startPilotAt(demo, "SKEW", skewed, "+20m");
  const int secondCode = waitFor(second);
  EXPECT_EQ(waitFor(first), 0) << readFile(playing);
  EXPECT_NE(secondCode, 0) << readFile(skewed);
  EXPECT_NE(readFile(skewed).find("the login refused: SKEW is playing at workstation "),
            std::string::npos)
      << readFile(skewed);
  EXPECT_EQ(demo.server->count("datRole"), 400);
}

}  // namespace
}  // namespace quarn::testing
