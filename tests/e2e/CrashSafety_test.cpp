#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "db/postgres/PgConnection.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/TestSeed.h"

namespace quarn::testing {
namespace {

int64_t highestTrial(EngineDatabase& db, const std::string& subject) {
  return std::max<int64_t>(db.stores().participants().highestTrial(subject, "Demo").value_or(0), 0);
}

// No week with fewer (or more) than its four rows; the file also sound.
void expectWholeWeeks(DemoFolder& demo) {
  if (!demo.server) {
    EXPECT_EQ(
        std::get<std::string>(demo.db.rows("PRAGMA integrity_check").at(0).at("integrity_check")),
        "ok");
  }
  const Rows torn = demo.played().tables().reads().query(
      R"(SELECT count(*) AS "n" FROM (SELECT "Trial" FROM "datRole"
         GROUP BY "Subject", "Setting", "Trial", "Week" HAVING count(*) <> 4) AS "torn")");
  EXPECT_EQ(torn.front().cell("n").toInt32(), 0);
}

// The experiment trial a run's output shows first, 0 when it shows none.
int64_t firstTrialPlayed(const std::string& output) {
  const size_t at = output.find("\nTrial ");
  return at == std::string::npos ? 0 : std::stoll(output.substr(at + 7));
}

// The weeks `subject` has stored so far (four rows each).
int storedWeeks(DemoFolder& demo, const std::string& subject) {
  const Rows rows = demo.played().tables().reads().query(
      R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = ?)", {subject});
  return rows.front().cell("n").toInt32() / 4;
}

// Kills `pid` once `subject` has stored `weeks` weeks (at once for none),
// unless it ends before; returns its exit status as waitFor does.
int killAfterWeeks(DemoFolder& demo, pid_t pid, const std::string& subject, int weeks) {
  const int target = storedWeeks(demo, subject) + weeks;
  while (weeks > 0 && storedWeeks(demo, subject) < target) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(pid, SIGKILL);
  return waitFor(pid);
}

// Pilots killed at random moments leave a sound database with whole weeks
// only, and every later run resumes at the trial after the highest one
// recorded. Each pilot is killed after a random number of weeks stored (none:
// in its start-up or login), so the kills do not depend on the machine's
// speed. QUARN_CRASH_KILLS sets the number of kills (the soak test raises
// it), QUARN_CRASH_SEED replays a run.
void killPilotsAtRandomMoments(DemoFolder& demo) {
  const char* killsSet = std::getenv("QUARN_CRASH_KILLS");
  const int kills = killsSet ? std::atoi(killsSet) : 20;
  const unsigned seed = testSeed("QUARN_CRASH_SEED");
  SCOPED_TRACE("QUARN_CRASH_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> weeksBeforeKill(0, 12);

  const std::string output = demo.db.folder() + "/pilot.out";
  int subjectNo = 1, killed = 0;
  std::string subject = "K1";
  for (int kill = 0; kill < kills; ++kill) {
    const int64_t resumeAt = highestTrial(demo.played(), subject) + 1;
    const pid_t pid = startPilot(demo, subject, output);
    const int status = killAfterWeeks(demo, pid, subject, weeksBeforeKill(random));
    const std::string shown = readFile(output);
    ASSERT_TRUE(status == -SIGKILL || status == 0) << status << "\n" << shown;
    killed += status == -SIGKILL;

    const int64_t first = firstTrialPlayed(shown);  // 0: killed before the first trial
    EXPECT_TRUE(first == 0 || first == resumeAt) << resumeAt << "\n" << shown;
    expectWholeWeeks(demo);
    if (::testing::Test::HasFatalFailure()) return;
    // The last trial is left for the uninterrupted run: a participant past
    // it has nothing left to play.
    if (status == 0 || highestTrial(demo.played(), subject) >= 3) {
      subject = "K" + std::to_string(++subjectNo);
    }
  }
  ::testing::Test::RecordProperty("killed", killed);
  EXPECT_GE(killed, kills / 2);

  const int64_t resumeAt = highestTrial(demo.played(), subject) + 1;
  const pid_t pid = startPilot(demo, subject, output);
  const int status = waitFor(pid);
  const std::string shown = readFile(output);
  EXPECT_EQ(status, 0) << shown;
  if (resumeAt <= 4) {
    EXPECT_EQ(firstTrialPlayed(shown), resumeAt) << shown;
    EXPECT_NE(shown.find("Game over: "), std::string::npos) << shown;
  }
  expectWholeWeeks(demo);
}

TEST(CrashSafety, KilledPilotsLeaveWholeWeeksAndResumeAfterTheHighestTrial) {
  DemoFolder demo;
  killPilotsAtRandomMoments(demo);
}

TEST(CrashSafety, KilledPilotsLeaveWholeWeeksOnAServerAndResumeAfterTheHighestTrial) {
  DemoFolder demo;
  demo.moveToServer();
  killPilotsAtRandomMoments(demo);
  EXPECT_EQ(demo.db.count("datRole"), 0) << "the sessions played into the file";
  EXPECT_GT(demo.server->count("datRole"), 0);
}

// Waits (at most 30 s) until `count` rows of the query `sql` are in the
// database the sessions play into.
bool waitForRows(DemoFolder& demo, const std::string& sql, int count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (demo.played().tables().reads().query(sql).front().cell("n").toInt32() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The game-over total of a participant who resumed counts the trials played
// before the restart too: the whole chain's cost at each experiment trial's
// last recorded week.
TEST(CrashSafety, GameOverTotalAfterAResumeSumsEveryRecordedTrial) {
  DemoFolder demo;
  const std::string output = demo.db.folder() + "/pilot.out";
  const pid_t killed = startPilot(demo, "T1", output, {"--pace", "5"});
  const bool recorded = waitForRows(
      demo, R"(SELECT count(*) AS "n" FROM "datTrial" WHERE "Subject" = 'T1' AND "Trial" = 1)", 1);
  ::kill(killed, SIGKILL);
  waitFor(killed);
  ASSERT_TRUE(recorded) << readFile(output);
  ASSERT_EQ(waitFor(startPilot(demo, "T1", output)), 0) << readFile(output);

  const int64_t total = demo.played()
                            .tables()
                            .reads()
                            .query(R"(SELECT sum("TotalCost") AS "n" FROM "datRole" AS r
                    WHERE "Subject" = 'T1' AND "Training" = 0 AND "Week" =
                      (SELECT max("Week") FROM "datRole" AS w WHERE w."Subject" = r."Subject"
                       AND w."Setting" = r."Setting" AND w."Trial" = r."Trial"))")
                            .front()
                            .cell("n")
                            .toInt32();
  const std::string shown = readFile(output);
  EXPECT_NE(shown.find("Game over: total cost sum over all 4 completed trial(s) is " +
                       std::to_string(total) + "\n"),
            std::string::npos)
      << shown;
}

// A workstation killed after a week's text line was written and before the
// week's rows were stored plays that week again when the participant comes
// back, after training played again: the text file holds each recorded week
// once.
TEST(CrashSafety, KilledBetweenTheTextLineAndTheRowsLeavesOneLineAWeek) {
  DemoFolder demo;
  demo.db.exec("UPDATE tblBlock SET numweeks = 3 WHERE Setting = 'Demo'");
  demo.db.exec("UPDATE tblTraining SET Weeks = 2 WHERE Setting = 'Demo'");
  demo.moveToServer();
  const std::string output = demo.db.folder() + "/pilot.out";
  const std::string text = demo.textFile("L1");
  {
    // The pace leaves time to hold the rows once training is stored.
    const pid_t killed = startPilot(demo, "L1", output, {"--pace", "300"});
    const bool trained = waitForRows(demo, R"(SELECT count(*) AS "n" FROM "datRole")", 2 * 2 * 4);
    PgConnection held(demo.server->connection());
    held.exec("BEGIN");
    held.exec(R"(LOCK TABLE "datRole" IN EXCLUSIVE MODE)");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (trained && textLinesByWeek(text).count("L1,Demo,1,1,") == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(killed, SIGKILL);
    waitFor(killed);
    held.exec("ROLLBACK");
    ASSERT_EQ(textLinesByWeek(text).count("L1,Demo,1,1,"), 1u) << readFile(output);
    ASSERT_EQ(demo.server->count("datRole", R"("Trial" = 1)"), 0);
  }
  ASSERT_EQ(waitFor(startPilot(demo, "L1", output)), 0) << readFile(output);

  const std::map<std::string, int> lines = textLinesByWeek(text);
  EXPECT_EQ(static_cast<int>(lines.size()), demo.server->count("datRole") / 4);
  for (const auto& [week, count] : lines) EXPECT_EQ(count, 1) << week;
}

}  // namespace
}  // namespace quarn::testing
