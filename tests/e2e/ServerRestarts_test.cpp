#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "db/DatabaseAdmin.h"
#include "db/OpenDatabase.h"
#include "db/postgres/PgConnection.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

using namespace std::chrono_literals;

// A throw-away server of the test's own, beside the shared one: restarting
// the shared server would cut the other tests' connections.
class OwnServer {
 public:
  OwnServer() : m_dir(testServerDir() + "-r" + std::to_string(getpid())) {
    run("start");
    m_connection = readFile(m_dir + "/connection");
    m_connection.erase(m_connection.find_last_not_of("\n") + 1);
  }
  ~OwnServer() { std::system((std::string(QUARN_PG_TEST_SERVER) + " stop " + m_dir).c_str()); }
  OwnServer(const OwnServer&) = delete;
  OwnServer& operator=(const OwnServer&) = delete;

  // Stops the server in `mode` (fast, immediate), keeps it down for
  // `down`, and starts it again on the same port.
  void restart(const std::string& mode, std::chrono::seconds down = 0s) {
    run("restart", mode + " " + std::to_string(down.count()));
  }
  const std::string& connection() const { return m_connection; }

 private:
  void run(const std::string& command, const std::string& extra = "") {
    const std::string line = std::string(QUARN_PG_TEST_SERVER) + " " + command + " " + m_dir + " " +
                             extra + " >/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
  }

  std::string m_dir;
  std::string m_connection;
};

pid_t startPacedPilot(const DemoFolder& demo, const std::string& subject,
                      const std::string& outFile, const std::string& paceMs) {
  const std::string dataDir = demo.dataDir();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execl(QUARN_ADMIN_TOOL, QUARN_ADMIN_TOOL, "pilot", dataDir.c_str(), "Demo", subject.c_str(),
            "--pace", paceMs.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

int64_t countOf(PgConnection& db, const std::string& sql) {
  return std::get<int64_t>(db.exec(sql).rows.at(0).at(0));
}

// Waits (at most 60 s) until the pilots have stored `weeks` more weeks in all
// since the call: a restart then falls in the middle of their play.
void waitForWeeksPlayed(const std::string& connection, int64_t weeks) {
  const auto rows = [&] {
    PgConnection db(connection);
    return countOf(db, R"(SELECT count(*) FROM "datRole")");
  };
  const int64_t target = rows() + 4 * weeks;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (rows() < target && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
}

// Eight workstations play the demo into a server that is restarted under
// them (-m fast, -m immediate) and then stopped for a while (a few seconds
// here; QUARN_RESTART_STOP_SECONDS, 25 in the soak run). Every session ends
// normally, and every week is stored exactly once.
TEST(ServerRestarts, EightPilotsOutlastRestartsAndAStopLosingNothing) {
  constexpr int kPilots = 8;
  const char* stopSet = std::getenv("QUARN_RESTART_STOP_SECONDS");
  const std::chrono::seconds stop(stopSet ? std::atoi(stopSet) : 4);

  OwnServer server;
  DemoFolder demo;
  const DatabaseChoice choice{DatabaseEngine::Server, "", server.connection(), ""};
  createDatabase(choice);
  {
    SqlCipherTables file(demo.db.path());
    copyDatabase(file, *openTables(choice));
  }
  std::ofstream(demo.dataDir() + "/quarn.conf") << server.connection() << "\n";

  std::vector<pid_t> pids;
  std::vector<std::string> outputs;
  for (int i = 0; i < kPilots; ++i) {
    outputs.push_back(demo.db.folder() + "/R" + std::to_string(i) + ".out");
    pids.push_back(startPacedPilot(demo, "R" + std::to_string(i), outputs.back(), "40"));
  }
  // Each restart falls after about ten weeks of every pilot's play.
  constexpr int64_t kWeeksBetweenRestarts = 10 * kPilots;
  waitForWeeksPlayed(server.connection(), kWeeksBetweenRestarts);
  server.restart("fast");
  waitForWeeksPlayed(server.connection(), kWeeksBetweenRestarts);
  server.restart("immediate");
  waitForWeeksPlayed(server.connection(), kWeeksBetweenRestarts);
  server.restart("fast", stop);

  int ended = 0;
  for (int i = 0; i < kPilots; ++i) {
    const int code = waitFor(pids[i]);
    ended += code != 0;
    EXPECT_EQ(code, 0) << readFile(outputs[i]);
  }

  PgConnection db(server.connection());
  const int64_t stored = countOf(db, R"(SELECT count(*) FROM "datRole")");
  const int64_t doubled = countOf(db, R"(SELECT count(*) FROM (SELECT 1 FROM "datRole"
      GROUP BY "Subject", "Setting", "Trial", "Week", "Role" HAVING count(*) > 1) AS d)");
  const int64_t trials = countOf(db, R"(SELECT count(*) FROM "datTrial")");
  // The demo: 2 training trials of 10 weeks and 4 trials of 20, four rows a week.
  constexpr int64_t kRowsPerPilot = 400, kTrialsPerPilot = 6;
  std::cout << "restarts under " << kPilots << " pilots (stop " << stop.count()
            << " s): pilots ended " << ended << ", datRole rows " << stored << " of "
            << kPilots * kRowsPerPilot << ", doubled " << doubled << ", trials " << trials << " of "
            << kPilots * kTrialsPerPilot << std::endl;
  EXPECT_EQ(stored, kPilots * kRowsPerPilot);
  EXPECT_EQ(doubled, 0);
  EXPECT_EQ(trials, kPilots * kTrialsPerPilot);
  EXPECT_EQ(
      countOf(db, R"(SELECT count(*) FROM "datRole" WHERE "Trial" NOT IN (-2, -1, 1, 2, 3, 4))"), 0)
      << "no week moved to another trial";
}

}  // namespace
}  // namespace quarn::testing
