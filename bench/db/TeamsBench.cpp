// Team play on the lab server: 8 teams of 4 pilot processes (`quarngame-admin
// pilot --team`), each a member, play a team setting of two trials at once.
// It prints, from the moment the last member of a team ordered a week to the
// moment every member's next week was open, the median and the 99th
// percentile over every team week, and the datRole rows expected against the
// rows stored (none may be lost or doubled).
//
//   bench_teams [--tool PATH] [--teams 8] [--weeks 10] [--pace 300] [--keep yes|no]
//
// The pace is the least time from one order to the next of a pilot (300 ms is
// what the window's shipment animation alone takes). The pilots of a team run
// on this computer and write their moments by its wall clock.
//
// The server is QUARN_PG_BENCH_CONNECTION if set (the run in a schema of its
// own, dropped at the end); otherwise a throw-away one (scripts/pg-test-server)
// is started for the run and stopped after it.
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
#include "bench/db/SettingCopy.h"
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

constexpr int kMembers = 4;
constexpr int kTrials = 2;

// Copies the demo setting's rows of `table` (its first two trials in
// tblBlock) as the team setting "Four": member 1 the Factory ... member 4
// the Retailer, `weeks` weeks a trial; its training row names Subject, so
// each member trains alone.
void addTeamRows(const std::string& tool, const std::string& dataDir, const fs::path& folder,
                 const std::string& table, int weeks) {
  quarn::bench::copySettingRows(tool, dataDir, folder, table, "Demo", "Four",
                                [&](quarn::bench::CsvRow& row) {
                                  if (table != "tblBlock") return true;
                                  if (std::stoi(row["Index"]) > 2) return false;
                                  row["numweeks"] = std::to_string(weeks);
                                  row["Factory"] = "Subject1";
                                  row["Distributor"] = "Subject2";
                                  row["Wholesaler"] = "Subject3";
                                  row["Retailer"] = "Subject4";
                                  return true;
                                });
}

// The datRole rows of the experiment trials by key, each with how often it
// is stored.
using RowKey = std::tuple<std::string, int64_t, int64_t, std::string>;
std::map<RowKey, int> storedRows(quarn::DatabaseTables& db) {
  std::map<RowKey, int> stored;
  const std::vector<quarn::ColumnInfo> columns = {{"Subject", quarn::ColumnAffinity::Text},
                                                  {"Trial", quarn::ColumnAffinity::Integer},
                                                  {"Week", quarn::ColumnAffinity::Integer},
                                                  {"Role", quarn::ColumnAffinity::Text}};
  quarn::forEachRow(db, "datRole", columns, [&](const std::vector<quarn::CellValue>& row) {
    const int64_t trial = std::get<int64_t>(row[1]);
    if (trial < 1) return;  // training, played alone
    ++stored[{std::get<std::string>(row[0]), trial, std::get<int64_t>(row[2]),
              std::get<std::string>(row[3])}];
  });
  return stored;
}

pid_t startMember(const std::string& tool, const fs::path& dataDir, const std::string& subject,
                  const std::string& team, const fs::path& folder, const std::string& pace) {
  return quarn::bench::startProcess(
      {tool, "pilot", dataDir.string(), "Four", subject, "--team", team, "--skip-training",
       "--pace", pace, "--team-times", (folder / (subject + ".team")).string()},
      (folder / (subject + ".out")).string());
}

// Trial and week of a moment a pilot wrote.
using TrialWeek = std::pair<int, int>;

struct Moments {
  std::map<TrialWeek, int64_t> lastOrder;  // the team's last order of the week
  std::map<TrialWeek, int64_t> lastOpen;   // the week open at every member
  int64_t firstOpen = 0;                   // when the slowest member first had a week open
};

void readMoments(const std::string& path, Moments& team) {
  std::ifstream in(path);
  std::string what;
  int trial = 0, week = 0;
  int64_t micros = 0;
  int64_t first = 0;
  while (in >> what >> trial >> week >> micros) {
    if (first == 0) first = micros;
    auto& latest = what == "order" ? team.lastOrder : team.lastOpen;
    int64_t& slot = latest[{trial, week}];
    slot = std::max(slot, micros);
  }
  team.firstOpen = std::max(team.firstOpen, first);
}

}  // namespace

int main(int argc, char** argv) {
  std::string tool = QUARN_ADMIN_TOOL;
  int teams = 8, weeks = 10;
  std::string pace = "300";
  bool keep = false;  // the pilots' output and moments stay for a look
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--tool") {
      tool = argv[i + 1];
    } else if (option == "--teams") {
      teams = std::atoi(argv[i + 1]);
    } else if (option == "--weeks") {
      weeks = std::atoi(argv[i + 1]);
    } else if (option == "--keep") {
      keep = argv[i + 1] == std::string("yes");
    } else if (option == "--pace") {
      pace = argv[i + 1];
    } else {
      std::cerr << "usage: " << argv[0]
                << " [--tool PATH] [--teams 8] [--weeks 10] [--pace 300] [--keep yes|no]\n";
      return 2;
    }
  }
  const quarn::bench::ThrowAwayServer server(QUARN_PG_TEST_SERVER, "teams");
  const fs::path folder = fs::temp_directory_path() / ("quarn-teams-" + std::to_string(getpid()));
  fs::remove_all(folder);
  const fs::path dataDir = folder / "app" / "data";
  runOrFail(shellQuoted(tool) + " demo " + shellQuoted(dataDir.string()));
  const std::string schema = "teams_bench";
  quarn::PgConnection owner(server.connection());
  owner.exec("SET client_min_messages TO warning");
  owner.exec("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
  owner.exec("CREATE SCHEMA " + schema);
  const std::string connection = inSchema(server.connection(), schema);
  std::ofstream(dataDir / "quarn.conf") << connection << "\n";
  runOrFail(shellQuoted(tool) + " create " + shellQuoted(dataDir.string()));
  runOrFail(shellQuoted(tool) + " copy " + shellQuoted((dataDir / "quarn.mdb").string()) + " " +
            shellQuoted(dataDir.string()));
  fs::rename(dataDir / "quarn.mdb", dataDir / "demo.mdb");  // the pilots use the server only
  addTeamRows(tool, dataDir.string(), folder, "tblBlock", weeks);
  addTeamRows(tool, dataDir.string(), folder, "tblTraining", weeks);

  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> pids;
  for (int t = 1; t <= teams; ++t) {
    for (int m = 1; m <= kMembers; ++m) {
      const std::string subject = "T" + std::to_string(t) + "M" + std::to_string(m);
      pids.push_back(startMember(tool, dataDir, subject, "Team" + std::to_string(t), folder, pace));
    }
  }
  int failed = 0;
  for (pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // Every team week, and those played once every pilot of the run was
  // playing: the first weeks share the computer with the other pilots' logins.
  std::vector<Moments> moments(static_cast<size_t>(teams));
  int64_t allPlaying = 0;
  for (int t = 1; t <= teams; ++t) {
    for (int m = 1; m <= kMembers; ++m) {
      readMoments((folder / ("T" + std::to_string(t) + "M" + std::to_string(m) + ".team")).string(),
                  moments[static_cast<size_t>(t - 1)]);
    }
    allPlaying = std::max(allPlaying, moments[static_cast<size_t>(t - 1)].firstOpen);
  }
  std::vector<double> latencies, steady;
  for (const Moments& team : moments) {
    for (const auto& [trialWeek, ordered] : team.lastOrder) {
      const auto next = team.lastOpen.find({trialWeek.first, trialWeek.second + 1});
      if (next == team.lastOpen.end()) continue;  // the trial's last week
      const double ms = static_cast<double>(next->second - ordered) / 1000.0;
      latencies.push_back(ms);
      if (ordered > allPlaying) steady.push_back(ms);
    }
  }
  const std::map<RowKey, int> stored =
      storedRows(*quarn::openTables(quarn::chooseAdminDatabase(dataDir.string())));
  std::set<RowKey> expectedKeys;
  for (int t = 1; t <= teams; ++t) {
    for (int m = 1; m <= kMembers; ++m) {
      for (int64_t trial = 1; trial <= kTrials; ++trial) {
        for (int64_t week = 1; week <= weeks; ++week) {
          for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
            expectedKeys.insert(
                {"T" + std::to_string(t) + "M" + std::to_string(m), trial, week, role});
          }
        }
      }
    }
  }
  int64_t storedCount = 0, doubled = 0, moved = 0, lost = 0;
  for (const auto& [key, count] : stored) {
    storedCount += count;
    doubled += count - 1;
    if (!expectedKeys.count(key)) ++moved;
  }
  for (const RowKey& key : expectedKeys) lost += stored.count(key) ? 0 : 1;
  const auto expected = static_cast<int64_t>(expectedKeys.size());
  std::cout << "| teams x members | weeks | pace ms | team weeks | last order -> every member's "
               "next week: median ms | p99 ms | max ms | once all play: weeks | median ms | p99 "
               "ms | rows expected | rows stored | lost | doubled | moved | pilots failed | "
               "seconds |\n"
               "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
  std::printf(
      "| %d x %d | %d x %d | %s | %zu | %.1f | %.1f | %.1f | %zu | %.1f | %.1f | %lld | %lld | "
      "%lld | %lld | %lld | %d | %.1f |\n",
      teams, kMembers, kTrials, weeks, pace.c_str(), latencies.size(), quantile(latencies, 0.5),
      quantile(latencies, 0.99), quantile(latencies, 1.0), steady.size(), quantile(steady, 0.5),
      quantile(steady, 0.99), static_cast<long long>(expected), static_cast<long long>(storedCount),
      static_cast<long long>(lost), static_cast<long long>(doubled), static_cast<long long>(moved),
      failed, seconds);
  if (failed == 0 && !keep) fs::remove_all(folder);
  if (keep) std::cout << "pilots' files kept in " << folder.string() << "\n";
  owner.exec("DROP SCHEMA " + schema + " CASCADE");
  return failed == 0 ? 0 : 1;
}
