// Many workstations at once: 16 and then 32 pilot processes
// (`quarngame-admin pilot`) play the demo setting into one database, once an
// encrypted file and once a PostgreSQL server. For each run it prints the
// rows expected against the rows stored (none may be lost, doubled or moved
// to another trial) and the time each participant waited for a week to be
// computed and stored, in milliseconds: the median over every week played,
// and the median and 99th percentile of the slowest participant (the one
// with the highest 99th percentile).
//
//   bench_workstations [--tool PATH] [--counts 16,32] [--engines file,server]
//                      [--paces 0,300]
//
// A pace of 0 lets every pilot order as fast as the game goes: a stress far
// beyond a lab's, where on a small machine the pilots' own computing
// dominates. A pace of 300 ms makes each pilot wait that long from one order
// to the next, the time the window's shipment animation alone takes (a
// participant who reads the figures and types takes seconds).
//
// The server is QUARN_PG_BENCH_CONNECTION if set (each run in a schema of
// its own, dropped at the end); otherwise a throw-away one
// (scripts/pg-test-server) is started for the run and stopped after it.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "bench/db/PilotRuns.h"
#include "bench/db/ThrowAwayServer.h"
#include "db/DatabaseChoice.h"
#include "db/OpenDatabase.h"
#include "db/postgres/PgConnection.h"

namespace {

namespace fs = std::filesystem;
using quarn::bench::inSchema;
using quarn::bench::quantile;
using quarn::bench::runOrFail;
using quarn::bench::shellQuoted;

// The demo setting as a pilot plays it: two training trials of 10 weeks,
// then four trials of 20, four rows (one per role) a week.
const std::map<int64_t, int64_t> kWeeksPerTrial = {{-2, 10}, {-1, 10}, {1, 20},
                                                   {2, 20},  {3, 20},  {4, 20}};
constexpr int kRoles = 4;

std::vector<double> readTimes(const std::string& path) {
  std::vector<double> times;
  std::ifstream in(path);
  for (double ms; in >> ms;) times.push_back(ms);
  return times;
}

struct Outcome {
  int64_t expected = 0, stored = 0, lost = 0, doubled = 0, moved = 0;
  int failedPilots = 0;
  double seconds = 0;
  double weekMedian = 0, slowestMedian = 0, slowestP99 = 0;
};

// Compares the datRole rows of the pilots' participants with what they
// played.
void countRows(quarn::DatabaseTables& db, const std::vector<std::string>& subjects,
               Outcome& outcome) {
  using Key = std::tuple<std::string, int64_t, int64_t, std::string>;
  std::map<Key, int> stored;
  const std::vector<quarn::ColumnInfo> columns = {{"Subject", quarn::ColumnAffinity::Text},
                                                  {"Trial", quarn::ColumnAffinity::Integer},
                                                  {"Week", quarn::ColumnAffinity::Integer},
                                                  {"Role", quarn::ColumnAffinity::Text}};
  quarn::forEachRow(db, "datRole", columns, [&](const std::vector<quarn::CellValue>& row) {
    ++stored[{std::get<std::string>(row[0]), std::get<int64_t>(row[1]), std::get<int64_t>(row[2]),
              std::get<std::string>(row[3])}];
  });
  std::set<Key> expected;
  for (const std::string& subject : subjects) {
    for (const auto& [trial, weeks] : kWeeksPerTrial) {
      for (int64_t week = 1; week <= weeks; ++week) {
        for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
          expected.insert({subject, trial, week, role});
        }
      }
    }
  }
  outcome.expected = static_cast<int64_t>(expected.size());
  for (const auto& [key, count] : stored) {
    outcome.stored += count;
    outcome.doubled += count - 1;
    if (!expected.count(key)) outcome.moved += 1;
  }
  for (const Key& key : expected) outcome.lost += stored.count(key) ? 0 : 1;
}

pid_t startPilot(const std::string& tool, const fs::path& dataDir, const std::string& subject,
                 const fs::path& folder, const std::string& pace) {
  return quarn::bench::startProcess(
      {tool, "pilot", dataDir.string(), "Demo", subject, "--week-times",
       (folder / (subject + ".times")).string(), "--pace", pace},
      (folder / (subject + ".out")).string());
}

// One run: `count` pilots into a new demo database on `engine`.
Outcome runPilots(const std::string& tool, const quarn::bench::ThrowAwayServer& server,
                  const std::string& engine, int count, const std::string& pace) {
  const fs::path folder =
      fs::temp_directory_path() /
      ("quarn-workstations-" + std::to_string(getpid()) + "-" + engine + std::to_string(count));
  fs::remove_all(folder);
  const fs::path dataDir = folder / "app" / "data";
  runOrFail(shellQuoted(tool) + " demo " + shellQuoted(dataDir.string()));
  const std::string schema = "workstations_" + engine + std::to_string(count);
  if (engine == "server") {
    quarn::PgConnection db(server.connection());
    db.exec("SET client_min_messages TO warning");
    db.exec("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    db.exec("CREATE SCHEMA " + schema);
    std::ofstream(dataDir / "quarn.conf") << inSchema(server.connection(), schema) << "\n";
    runOrFail(shellQuoted(tool) + " create " + shellQuoted(dataDir.string()));
    runOrFail(shellQuoted(tool) + " copy " + shellQuoted((dataDir / "quarn.mdb").string()) + " " +
              shellQuoted(dataDir.string()));
    fs::rename(dataDir / "quarn.mdb", dataDir / "demo.mdb");  // the pilots use the server only
  }

  std::vector<std::string> subjects;
  for (int i = 1; i <= count; ++i) subjects.push_back("W" + std::to_string(i));
  Outcome outcome;
  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> pids;
  for (const std::string& subject : subjects) {
    pids.push_back(startPilot(tool, dataDir, subject, folder, pace));
  }
  for (pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++outcome.failedPilots;
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  countRows(*quarn::openTables(quarn::chooseAdminDatabase(dataDir.string())), subjects, outcome);
  std::vector<double> all;
  for (const std::string& subject : subjects) {
    const std::vector<double> times = readTimes((folder / (subject + ".times")).string());
    all.insert(all.end(), times.begin(), times.end());
    const double p99 = quantile(times, 0.99);
    if (p99 >= outcome.slowestP99) {
      outcome.slowestP99 = p99;
      outcome.slowestMedian = quantile(times, 0.5);
    }
  }
  outcome.weekMedian = quantile(all, 0.5);
  if (outcome.failedPilots == 0) fs::remove_all(folder);
  if (engine == "server") {
    quarn::PgConnection db(server.connection());
    db.exec("SET client_min_messages TO warning");
    db.exec("DROP SCHEMA " + schema + " CASCADE");
  }
  return outcome;
}

std::vector<std::string> listOf(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) items.push_back(item);
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  std::string tool = QUARN_ADMIN_TOOL;
  std::vector<std::string> counts = {"16", "32"}, engines = {"file", "server"},
                           paces = {"0", "300"};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--tool") {
      tool = argv[i + 1];
    } else if (option == "--counts") {
      counts = listOf(argv[i + 1]);
    } else if (option == "--engines") {
      engines = listOf(argv[i + 1]);
    } else if (option == "--paces") {
      paces = listOf(argv[i + 1]);
    } else {
      std::cerr << "usage: " << argv[0]
                << " [--tool PATH] [--counts 16,32] [--engines file,server] [--paces 0,300]\n";
      return 2;
    }
  }
  const quarn::bench::ThrowAwayServer server(QUARN_PG_TEST_SERVER, "workstations");
  std::cout
      << "| workstations | engine | pace ms | rows expected | rows stored | lost | doubled | moved "
         "| pilots failed | seconds | week median ms | slowest participant median ms | "
         "slowest participant p99 ms |\n"
         "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
  for (const std::string& pace : paces) {
    for (const std::string& count : counts) {
      for (const std::string& engine : engines) {
        const Outcome o = runPilots(tool, server, engine, std::stoi(count), pace);
        std::printf(
            "| %s | %s | %s | %lld | %lld | %lld | %lld | %lld | %d | %.1f | %.2f | %.2f | %.2f "
            "|\n",
            count.c_str(), engine.c_str(), pace.c_str(), static_cast<long long>(o.expected),
            static_cast<long long>(o.stored), static_cast<long long>(o.lost),
            static_cast<long long>(o.doubled), static_cast<long long>(o.moved), o.failedPilots,
            o.seconds, o.weekMedian, o.slowestMedian, o.slowestP99);
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
