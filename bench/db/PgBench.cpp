// The week's write (four datRole rows in one transaction) and the login's
// lookup (a participant's latest trial in a setting, among 14,400 rows) on the
// encrypted file and on a PostgreSQL server: median and 99th percentile per
// operation, in the counters p50_ms and p99_ms.
//
// The file is opened for every operation, as the application does today; the
// server keeps one connection, as an engine would, with prepared statements.
// The server is QUARN_PG_BENCH_CONNECTION if set; otherwise a throw-away one
// (scripts/pg-test-server, fsync on) is started for the run and measured over
// TCP with TLS, like a lab's server, and over its local socket.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/postgres/PgConnection.h"
#include "db/postgres/PgSchema.h"
#include "tests/support/TestDatabase.h"

namespace {

using quarn::PgConnection;
using quarn::PgValue;

constexpr const char* kRoles[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};
constexpr int kSubjects = 40;
constexpr int kTrials = 3;
constexpr int kWeeks = 30;

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

// --- the encrypted file

quarn::WeekRow weekRow(const std::string& subject, int16_t trial, int16_t week, const char* role) {
  quarn::WeekRow row;
  row.subject = subject;
  row.setting = "Demo";
  row.trial = trial;
  row.week = week;
  row.role = role;
  row.order = row.inventory = row.demand = row.weeklyCost = row.totalCost = 4;
  row.date = "2024-01-01";
  row.timeOfDay = "12:00:00";
  return row;
}

void fillFile(quarn::testing::TestDatabase& db) {
  auto writer = db.stores.results().openWeekRows();
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

void fileWeekWrite(benchmark::State& state) {
  quarn::testing::TestDatabase db;
  fillFile(db);
  Durations durations;
  int16_t week = 0;
  for (auto _ : state) {
    ++week;
    durations.time(state, [&] {
      auto writer = db.stores.results().openWeekRows();
      for (const char* role : kRoles) writer->insert(weekRow("Bench", 1, week, role));
      writer->commit();
    });
  }
  durations.report(state);
}

void fileLookup(benchmark::State& state) {
  quarn::testing::TestDatabase db;
  fillFile(db);
  Durations durations;
  for (auto _ : state) {
    durations.time(state, [&] {
      benchmark::DoNotOptimize(db.stores.participants().highestTrial("S7", "Demo"));
    });
  }
  durations.report(state);
}

// --- the server

struct Server {
  std::vector<std::pair<std::string, std::string>> connections;  // (label, connection string)
  std::string schema = "quarn_bench_" + std::to_string(getpid());
  std::string throwAwayDir;  // empty for a server given by the caller
};

void useSchema(PgConnection& db, const Server& server) {
  db.exec("SET search_path TO " + server.schema);
}

void fillServer(const Server& server) {
  PgConnection db(server.connections.front().second);
  db.exec("CREATE SCHEMA " + server.schema);
  useSchema(db, server);
  quarn::createSchema(db);
  db.exec(
      R"(INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Week", "Role")
         SELECT 'S' || s, 'Demo', t, w, r FROM generate_series(1, $1::integer) s,
           generate_series(1, $2::integer) t, generate_series(1, $3::integer) w,
           unnest(ARRAY['Factory', 'Distributor', 'Wholesaler', 'Retailer']) r)",
      {int64_t{kSubjects}, int64_t{kTrials}, int64_t{kWeeks}});
  db.exec("ANALYZE");
}

void serverWeekWrite(benchmark::State& state, const Server& server, const std::string& connection) {
  PgConnection db(connection);
  useSchema(db, server);
  db.prepare("week", R"(INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Week", "Role",
    "Order", "Inventory", "Demand", "WeeklyCost", "TotalCost", "Date", "TimeOfDay")
    VALUES ($1, 'Demo', 1, $2, $3, 4, 4, 4, 4, 4, '2024-01-01', '12:00:00'))");
  static int runs = 0;  // each run writes weeks of a participant of its own
  const std::string subject = "Bench" + std::to_string(++runs);
  Durations durations;
  int64_t week = 0;
  for (auto _ : state) {
    ++week;
    durations.time(state, [&] {
      quarn::PgTransaction transaction(db);
      for (const char* role : kRoles) {
        db.execPrepared("week", {subject, week, std::string(role)});
      }
      transaction.commit();
    });
  }
  durations.report(state);
}

void serverLookup(benchmark::State& state, const Server& server, const std::string& connection) {
  PgConnection db(connection);
  useSchema(db, server);
  db.prepare("latest", R"(SELECT "Trial" FROM "datRole" WHERE "Subject" = $1 AND "Setting" = $2
    ORDER BY "Trial" DESC LIMIT 1)");
  Durations durations;
  for (auto _ : state) {
    durations.time(state, [&] {
      const auto result = db.execPrepared("latest", {std::string("S7"), std::string("Demo")});
      benchmark::DoNotOptimize(std::get<int64_t>(result.rows.at(0).at(0)));
    });
  }
  durations.report(state);
}

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    if (pclose(pipe) != 0) output.clear();
  }
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

Server startServer() {
  Server server;
  if (const char* given = std::getenv("QUARN_PG_BENCH_CONNECTION"); given && *given) {
    server.connections.emplace_back("server", given);
    return server;
  }
  server.throwAwayDir = "/tmp/quarn-pg-bench-" + std::to_string(getpid());
  const std::string uri =
      run(std::string(QUARN_PG_TEST_SERVER) + " start " + server.throwAwayDir + " 2>&1");
  if (uri.rfind("postgresql://", 0) != 0) {
    std::fprintf(stderr, "The throw-away server did not start: %s\n", uri.c_str());
    std::exit(1);
  }
  const std::string port = uri.substr(uri.rfind(':') + 1, uri.rfind('/') - uri.rfind(':') - 1);
  server.connections.emplace_back("tcp_tls", uri);
  server.connections.emplace_back("socket", "host=" + server.throwAwayDir + " port=" + port +
                                                " dbname=quarn_test user=postgres");
  return server;
}

void stopServer(const Server& server) {
  if (!server.throwAwayDir.empty()) {
    run(std::string(QUARN_PG_TEST_SERVER) + " stop " + server.throwAwayDir);
    return;
  }
  PgConnection db(server.connections.front().second);
  db.exec("DROP SCHEMA " + server.schema + " CASCADE");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const Server server = startServer();
  fillServer(server);

  constexpr int kIterations = 1000;
  benchmark::RegisterBenchmark("WeekWrite/file", fileWeekWrite)
      ->Iterations(kIterations)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  for (const auto& [label, connection] : server.connections) {
    benchmark::RegisterBenchmark(("WeekWrite/" + label).c_str(), serverWeekWrite, server,
                                 connection)
        ->Iterations(kIterations)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("Lookup/file", fileLookup)
      ->Iterations(kIterations)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  for (const auto& [label, connection] : server.connections) {
    benchmark::RegisterBenchmark(("Lookup/" + label).c_str(), serverLookup, server, connection)
        ->Iterations(kIterations)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  stopServer(server);
  return 0;
}
