#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

int64_t highestTrial(const TestDatabase& db, const std::string& subject) {
  auto rows = db.rows("SELECT max(Trial) AS t FROM datRole WHERE Subject='" + subject + "'");
  return std::max<int64_t>(intOf(rows[0], "t"), 0);
}

void expectWholeWeeks(const TestDatabase& db) {
  EXPECT_EQ(std::get<std::string>(db.rows("PRAGMA integrity_check").at(0).at("integrity_check")),
            "ok");
  EXPECT_EQ(db.count("(SELECT Trial FROM datRole GROUP BY Subject, Setting, Trial, Week "
                     "HAVING count(*) <> 4)"),
            0);
}

// The experiment trial a run's output shows first, 0 when it shows none.
int64_t firstTrialPlayed(const std::string& output) {
  const size_t at = output.find("\nTrial ");
  return at == std::string::npos ? 0 : std::stoll(output.substr(at + 7));
}

// Pilots killed at random moments leave a sound file with whole weeks only,
// and every later run resumes at the trial after the highest one recorded.
// QUARN_CRASH_KILLS sets the number of kills (the soak test raises it),
// QUARN_CRASH_SEED replays a run.
TEST(CrashSafety, KilledPilotsLeaveWholeWeeksAndResumeAfterTheHighestTrial) {
  const char* killsSet = std::getenv("QUARN_CRASH_KILLS");
  const int kills = killsSet ? std::atoi(killsSet) : 20;
  const char* seedSet = std::getenv("QUARN_CRASH_SEED");
  const unsigned seed =
      seedSet ? static_cast<unsigned>(std::atoll(seedSet)) : std::random_device{}();
  SCOPED_TRACE("QUARN_CRASH_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  // A whole run takes about 300 ms here: the kills fall into the start-up,
  // the login, training and the experiment trials alike.
  std::uniform_int_distribution<int> delayMs(5, 250);
  const auto deadline = std::chrono::steady_clock::now() + kills * std::chrono::milliseconds(400);

  DemoFolder demo;
  const std::string output = demo.db.folder() + "/pilot.out";
  int subjectNo = 1, killed = 0;
  std::string subject = "K1";
  for (int kill = 0; kill < kills && std::chrono::steady_clock::now() < deadline; ++kill) {
    const int64_t resumeAt = highestTrial(demo.db, subject) + 1;
    const pid_t pid = startPilot(demo, subject, output);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
    ::kill(pid, SIGKILL);
    const int status = waitFor(pid);
    const std::string shown = readFile(output);
    ASSERT_TRUE(status == -SIGKILL || status == 0) << status << "\n" << shown;
    killed += status == -SIGKILL;

    const int64_t first = firstTrialPlayed(shown);  // 0: killed before the first trial
    EXPECT_TRUE(first == 0 || first == resumeAt) << resumeAt << "\n" << shown;
    expectWholeWeeks(demo.db);
    if (HasFatalFailure()) return;
    // The last trial is left for the uninterrupted run: a participant past
    // it has nothing left to play.
    if (status == 0 || highestTrial(demo.db, subject) >= 3) {
      subject = "K" + std::to_string(++subjectNo);
    }
  }
  RecordProperty("killed", killed);
  EXPECT_GE(killed, kills / 2);

  const int64_t resumeAt = highestTrial(demo.db, subject) + 1;
  const pid_t pid = startPilot(demo, subject, output);
  const int status = waitFor(pid);
  const std::string shown = readFile(output);
  EXPECT_EQ(status, 0) << shown;
  if (resumeAt <= 4) {
    EXPECT_EQ(firstTrialPlayed(shown), resumeAt) << shown;
    EXPECT_NE(shown.find("Game over: "), std::string::npos) << shown;
  }
  expectWholeWeeks(demo.db);
}

}  // namespace
}  // namespace quarn::testing
