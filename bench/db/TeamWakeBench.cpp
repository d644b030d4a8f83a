// Teams on the lab server, at the level of the team store: 8 teams of 4
// members, each member a thread with stores (and so connections) of its
// own, play 20 weeks. Each member types its order after a short random
// pause, stores it, sends it once more (as after a lost answer) and then
// waits, woken by the server's notification, until its team's four orders of
// the week are stored. Printed: the time from the moment the last order of a
// team's week was stored to the moment each member saw the complete week
// (median, 99th percentile, slowest), and the typed orders expected, stored,
// lost and doubled. The game's own week step (microseconds) and the records'
// writes are not part of it.
//
// The server is QUARN_PG_BENCH_CONNECTION if set (the tables go into a
// schema of their own); otherwise a throw-away one (scripts/pg-test-server)
// is started for the run and stopped after it.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/db/PilotRuns.h"
#include "bench/db/ThrowAwayServer.h"
#include "db/DatabaseAdmin.h"
#include "db/DatabaseChoice.h"
#include "db/postgres/PgConnection.h"
#include "db/postgres/PgStores.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTeams = 8;
constexpr int kMembers = 4;
constexpr int kWeeks = 20;

using quarn::bench::quantile;

// When each team's week was complete on the server: the return of the last
// of its four stores.
class WeekCompletion {
 public:
  void stored(int team, int week, Clock::time_point at) {
    std::lock_guard lock(m_mutex);
    Clock::time_point& last = m_last[static_cast<size_t>(team * kWeeks + week - 1)];
    last = std::max(last, at);
  }
  Clock::time_point completedAt(int team, int week) {
    std::lock_guard lock(m_mutex);
    return m_last[static_cast<size_t>(team * kWeeks + week - 1)];
  }

 private:
  std::mutex m_mutex;
  std::vector<Clock::time_point> m_last =
      std::vector<Clock::time_point>(kTeams * kWeeks, Clock::time_point{});
};

struct Results {
  std::mutex mutex;
  std::vector<double> wakeMs;
  std::atomic<int> resentStored{0};
  std::atomic<int> failures{0};
};

int16_t completeWeeks(const std::vector<quarn::TypedOrder>& orders) {
  std::vector<int> perWeek(kWeeks + 1, 0);
  for (const quarn::TypedOrder& o : orders) {
    if (o.week >= 1 && o.week <= kWeeks) ++perWeek[static_cast<size_t>(o.week)];
  }
  int16_t complete = 0;
  while (complete < kWeeks && perWeek[static_cast<size_t>(complete + 1)] == kMembers) ++complete;
  return complete;
}

void playMember(const std::string& connection, int team, int member, WeekCompletion& completion,
                Results& results) {
  try {
    quarn::PgStores stores(connection);
    quarn::TeamStore& teams = stores.teams();
    const quarn::TeamKey key{"Bench", "Team" + std::to_string(team)};
    const std::string subject = "T" + std::to_string(team) + "M" + std::to_string(member);
    teams.join(key, subject, kMembers);
    std::mt19937 pauses(static_cast<uint32_t>(team * 10 + member));
    teams.waitForChange(key, std::chrono::milliseconds(0));  // starts listening
    for (int16_t week = 1; week <= kWeeks; ++week) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pauses() % 25));
      const quarn::TypedOrder order{1,        false,   week, static_cast<int16_t>(member),
                                    4 + week, subject, 1000};
      teams.storeOrder(key, order);
      completion.stored(team, week, Clock::now());
      if (teams.storeOrder(key, order)) ++results.resentStored;
      while (completeWeeks(teams.orders(key, 1, false)) < week) {
        teams.waitForChange(key, std::chrono::milliseconds(2000));
      }
      const auto seen = Clock::now();
      const double ms =
          std::chrono::duration<double, std::milli>(seen - completion.completedAt(team, week))
              .count();
      std::lock_guard lock(results.mutex);
      results.wakeMs.push_back(ms);
    }
  } catch (const std::exception& e) {
    std::cerr << "team " << team << " member " << member << ": " << e.what() << "\n";
    ++results.failures;
  }
}

}  // namespace

int main() {
  const quarn::bench::ThrowAwayServer server(QUARN_PG_TEST_SERVER, "teams");
  if (server.folder().empty()) {
    // A lab's own server: every connection of this run works in a schema of
    // its own.
    const std::string schema = "quarn_teams_" + std::to_string(getpid());
    quarn::PgConnection(server.connection()).exec("CREATE SCHEMA " + schema);
    setenv("PGOPTIONS", ("-c search_path=" + schema).c_str(), 1);
  }
  const quarn::DatabaseChoice choice{quarn::DatabaseEngine::Server, "", server.connection(), ""};
  quarn::createDatabase(choice);

  WeekCompletion completion;
  Results results;
  const auto start = Clock::now();
  std::vector<std::thread> members;
  for (int team = 0; team < kTeams; ++team) {
    for (int member = 1; member <= kMembers; ++member) {
      members.emplace_back(playMember, server.connection(), team, member, std::ref(completion),
                           std::ref(results));
    }
  }
  for (std::thread& t : members) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  // Every typed order read back through the store: rows, and distinct keys.
  int64_t stored = 0;
  int64_t distinct = 0;
  quarn::PgStores reader(server.connection());
  for (int team = 0; team < kTeams; ++team) {
    const std::vector<quarn::TypedOrder> orders =
        reader.teams().orders({"Bench", "Team" + std::to_string(team)}, 1, false);
    std::set<std::pair<int, int>> keys;
    for (const quarn::TypedOrder& o : orders) keys.emplace(o.week, o.member);
    stored += static_cast<int64_t>(orders.size());
    distinct += static_cast<int64_t>(keys.size());
  }
  const int64_t expected = int64_t{kTeams} * kMembers * kWeeks;
  std::printf(
      "| teams x members | weeks | orders expected | stored | lost | doubled | resent stored | "
      "failures | seconds | last order to member sees week: median ms | p99 ms | max ms |\n"
      "|---|---|---|---|---|---|---|---|---|---|---|---|\n"
      "| %d x %d | %d | %lld | %lld | %lld | %lld | %d | %d | %.1f | %.2f | %.2f | %.2f |\n",
      kTeams, kMembers, kWeeks, static_cast<long long>(expected), static_cast<long long>(stored),
      static_cast<long long>(expected - distinct), static_cast<long long>(stored - distinct),
      results.resentStored.load(), results.failures.load(), seconds, quantile(results.wakeMs, 0.5),
      quantile(results.wakeMs, 0.99), quantile(results.wakeMs, 1.0));

  return results.failures.load() == 0 ? 0 : 1;
}
