// The week's write (four datRole rows in one transaction) and the login's
// lookup (the participant's User ID, then the highest trial in the setting,
// among 14,400 rows) through the stores, on the encrypted file and on a
// PostgreSQL server: median and 99th percentile per operation, in the
// counters p50_ms and p99_ms.
//
// The file's stores open the file for every operation, as the application
// does; the server's stores keep their connections between operations. The
// server is QUARN_PG_BENCH_CONNECTION if set (its tables go into a schema of
// their own, dropped at the end); otherwise a throw-away one
// (scripts/pg-test-server, fsync on) is started for the run and measured over
// TCP with TLS, like a lab's server, and over its local socket.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/db/ThrowAwayServer.h"
#include "db/DatabaseAdmin.h"
#include "db/DatabaseCopy.h"
#include "db/OpenDatabase.h"
#include "db/postgres/PgConnection.h"
#include "db/postgres/PgStores.h"
#include "db/sqlcipher/SqlCipherTables.h"
#include "tests/support/TestDatabase.h"

namespace {

using quarn::Stores;

constexpr const char* kRoles[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};
constexpr int kSubjects = 40;
constexpr int kTrials = 3;
constexpr int kWeeks = 30;
constexpr int kIterations = 1000;

class Durations {
 public:
  template <class Work>
  void time(benchmark::State& state, Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    m_ms.push_back(elapsed.count() * 1000);
    state.SetIterationTime(elapsed.count());
  }

  void report(benchmark::State& state) {
    std::sort(m_ms.begin(), m_ms.end());
    state.counters["p50_ms"] = quantile(0.50);
    state.counters["p99_ms"] = quantile(0.99);
  }

 private:
  // By the nearest rank, over sorted durations.
  double quantile(double q) const {
    if (m_ms.empty()) return 0;
    const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(m_ms.size())));
    return m_ms[std::clamp<size_t>(rank, 1, m_ms.size()) - 1];
  }

  std::vector<double> m_ms;
};

quarn::WeekRow weekRow(const std::string& subject, int16_t trial, int16_t week, const char* role) {
  quarn::WeekRow row;
  row.subject = subject;
  row.setting = "Demo";
  row.trial = trial;
  row.week = week;
  row.role = role;
  row.participant = std::string(role) == "Retailer";
  row.stage.order = row.stage.inventory = row.stage.demand = row.stage.weeklyCost =
      row.stage.totalCost = 4;
  row.date = "2024-01-01";
  row.timeOfDay = "12:00:00";
  return row;
}

// 40 participants, each with three trials of 30 weeks.
void fill(Stores& stores) {
  auto registration = stores.participants().openRegistration();
  for (int subject = 1; subject <= kSubjects; ++subject) {
    registration->insert({"S" + std::to_string(subject), "Demo", 21, "", "", ""});
  }
  registration->commit();
  auto writer = stores.results().openWeekRows();
  for (int subject = 1; subject <= kSubjects; ++subject) {
    for (int16_t trial = 1; trial <= kTrials; ++trial) {
      for (int16_t week = 1; week <= kWeeks; ++week) {
        for (const char* role : kRoles) {
          writer->insert(weekRow("S" + std::to_string(subject), trial, week, role));
        }
      }
    }
  }
  writer->commit();
}

void weekWrite(benchmark::State& state, Stores* stores) {
  static int runs = 0;  // each run writes the weeks of a participant of its own
  const std::string subject = "Bench" + std::to_string(++runs);
  Durations durations;
  int16_t week = 0;
  for (auto _ : state) {
    ++week;
    durations.time(state, [&] {
      auto writer = stores->results().openWeekRows();
      for (const char* role : kRoles) writer->insert(weekRow(subject, 1, week, role));
      writer->commit();
    });
  }
  durations.report(state);
}

void loginLookup(benchmark::State& state, Stores* stores) {
  Durations durations;
  for (auto _ : state) {
    durations.time(state, [&] {
      const std::optional<std::string> subject = stores->participants().findParticipant("S7");
      benchmark::DoNotOptimize(stores->participants().highestTrial(subject.value(), "Demo"));
    });
  }
  durations.report(state);
}

// The server's connections, each measured: the given one (in a schema of
// the run's own), or the throw-away server's over TCP with TLS and over its
// socket.
struct Server {
  quarn::bench::ThrowAwayServer server{QUARN_PG_TEST_SERVER, "bench"};
  std::vector<std::pair<std::string, std::string>> connections;  // (label, connection string)
  std::string schema;  // a server given by the caller: the run's own schema

  Server() {
    const std::string& uri = server.connection();
    if (server.folder().empty()) {
      connections.emplace_back("server", uri);
      schema = "quarn_bench_" + std::to_string(getpid());
      quarn::PgConnection(uri).exec("CREATE SCHEMA " + schema);
      // Every connection of this process works in that schema.
      setenv("PGOPTIONS", ("-c search_path=" + schema).c_str(), 1);
      return;
    }
    const std::string port = uri.substr(uri.rfind(':') + 1, uri.rfind('/') - uri.rfind(':') - 1);
    connections.emplace_back("tcp_tls", uri);
    connections.emplace_back(
        "socket", "host=" + server.folder() + " port=" + port + " dbname=quarn_test user=postgres");
  }
  ~Server() {
    if (!schema.empty())
      quarn::PgConnection(server.connection()).exec("DROP SCHEMA " + schema + " CASCADE");
  }
};

// The server's tables, holding the same rows as the file.
void fillServer(const Server& server, const std::string& file) {
  const std::string& connection = server.connections.front().second;
  const quarn::DatabaseChoice choice{quarn::DatabaseEngine::Server, "", connection, ""};
  quarn::createDatabase(choice);
  quarn::SqlCipherTables source(file);
  quarn::copyDatabase(source, *quarn::openTables(choice));
  quarn::PgConnection db(connection);
  db.exec("ANALYZE");
}

void registerBoth(const char* operation, void (*benchmark)(benchmark::State&, Stores*),
                  Stores& file, const std::vector<std::unique_ptr<quarn::PgStores>>& servers,
                  const Server& server) {
  benchmark::RegisterBenchmark((std::string(operation) + "/file").c_str(), benchmark, &file)
      ->Iterations(kIterations)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  for (size_t i = 0; i < servers.size(); ++i) {
    benchmark::RegisterBenchmark(
        (std::string(operation) + "/" + server.connections[i].first).c_str(), benchmark,
        servers[i].get())
        ->Iterations(kIterations)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const Server server;
  quarn::testing::TestDatabase file;
  fill(file.stores);
  fillServer(server, file.path());

  std::vector<std::unique_ptr<quarn::PgStores>> servers;
  for (const auto& [label, connection] : server.connections) {
    servers.push_back(std::make_unique<quarn::PgStores>(connection));
  }
  registerBoth("WeekWrite", weekWrite, file.stores, servers, server);
  registerBoth("LoginLookup", loginLookup, file.stores, servers, server);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  servers.clear();
  return 0;
}
