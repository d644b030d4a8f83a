// Browsers at a class's pace: simulated pages (SimulatedPage, all on one
// io_context in this process) play against real quarngame-server processes,
// each page a participant ordering about once a second.
//
//   A (single): --participants 200 pages on one server process with the
//     database file (a copy of the demo in a temporary application folder,
//     the setting "Bench": the demo's four trials of --weeks weeks and its
//     pause after trial 2);
//   B (teams): --teams 100 teams of 4 on a PostgreSQL server with two server
//     processes, each team's members spread over both (the setting
//     "BenchTeams": the demo's first two trials, one member a stage; its plan
//     check wants --weeks 5 or more, the week the demo's demand steps up);
//     with --teams-on file, on one server process with the database file
//     instead, the file's one writer.
//
//   bench_browsers [--scenario single|teams|both] [--participants 200]
//                  [--teams 100] [--teams-on server|file] [--weeks 10]
//                  [--pace 1000] [--keep yes|no] [--server PATH]
//                  [--server-threads N]
//
// --pace is 250 ms at least (the server's rate limit for a page).
// --server names the quarngame-server to run (another build's, to compare);
// --server-threads N starts each server with `--threads N` (a server that
// plays its sessions on game threads of their own); without it the server
// chooses.
//
// It prints, from the last order of a week (a player's own, or the team's
// last) to each player's next week (or the trial's end), the median, p99
// and maximum over all weeks and over those played once every page had its
// first week; each server process's processor time and peak resident
// memory, per session; and the datRole and datTrial rows expected (from the
// pages' answered moves), stored, lost, doubled and unexpected.
//
// The PostgreSQL server is QUARN_PG_BENCH_CONNECTION if set (the run in a
// schema of its own, dropped at the end), otherwise a throw-away one.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "bench/db/PilotRuns.h"
#include "bench/db/SettingCopy.h"
#include "bench/db/ThrowAwayServer.h"
#include "bench/server/BrowserFigures.h"
#include "bench/server/ServerProcess.h"
#include "bench/server/SimulatedPage.h"
#include "db/DatabaseChoice.h"
#include "db/OpenDatabase.h"

namespace {

namespace asio = boost::asio;
namespace fs = std::filesystem;
using quarn::bench::PagePlan;
using quarn::bench::quantile;
using quarn::bench::ServerProcess;
using quarn::bench::SimulatedPage;

constexpr int kMembers = 4;
// The server takes 5 messages a second from a page (after a burst of 40):
// a faster page would be held back by it, not by the game.
constexpr int kLeastPaceMs = 250;
const char* const kRoles[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};

struct Options {
  std::string scenario = "both";
  int participants = 200;
  int teams = 100;
  bool teamsOnFile = false;
  int weeks = 10;
  int paceMs = 1000;
  std::string server = QUARN_SERVER_PROGRAM;
  std::string serverThreads;  // empty: the server's own choice
  bool keep = false;

  quarn::bench::ServerStart start() const { return {server, serverThreads}; }
};

// The setting "Bench": the demo's trials of `weeks` weeks each, and its
// pauses. Returns the first pause's password.
std::string addSingleSetting(const fs::path& dataDir, const fs::path& folder, int weeks) {
  quarn::bench::copySettingRows(QUARN_ADMIN_TOOL, dataDir.string(), folder, "tblBlock", "Demo",
                                "Bench", [&](quarn::bench::CsvRow& row) {
                                  row["numweeks"] = std::to_string(weeks);
                                  return true;
                                });
  std::string password;
  quarn::bench::copySettingRows(QUARN_ADMIN_TOOL, dataDir.string(), folder, "tblPause", "Demo",
                                "Bench", [&](quarn::bench::CsvRow& row) {
                                  if (password.empty()) password = row["Password"];
                                  return true;
                                });
  if (password.size() >= 2 && password.front() == '"') password = password.substr(1);
  if (!password.empty() && password.back() == '"') password.pop_back();
  return password;
}

// The team setting "BenchTeams": the demo's first two trials of `weeks`
// weeks, member 1 the Factory ... member 4 the Retailer; no training.
void addTeamSetting(const fs::path& dataDir, const fs::path& folder, int weeks) {
  quarn::bench::copySettingRows(QUARN_ADMIN_TOOL, dataDir.string(), folder, "tblBlock", "Demo",
                                "BenchTeams", [&](quarn::bench::CsvRow& row) {
                                  if (std::stoi(row["Index"]) > 2) return false;
                                  row["numweeks"] = std::to_string(weeks);
                                  for (int m = 0; m < kMembers; ++m) {
                                    row[kRoles[m]] = "Subject" + std::to_string(m + 1);
                                  }
                                  return true;
                                });
}

// The pages' run: each starts within the first pace (as a class logs in
// over a moment), all on this thread, until every page ended or the time
// the game may take at most has passed.
struct Run {
  std::unique_ptr<asio::io_context> io = std::make_unique<asio::io_context>(1);
  std::vector<std::shared_ptr<SimulatedPage>> pages;
  double seconds = 0;
};

Run playPages(const std::vector<PagePlan>& plans, int paceMs, std::chrono::seconds limit) {
  Run run;
  asio::io_context& io = *run.io;
  const auto start = SimulatedPage::Clock::now();
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> startAt(0, paceMs);
  for (const PagePlan& plan : plans) {
    run.pages.push_back(std::make_shared<SimulatedPage>(io, plan, start, random()));
    run.pages.back()->start(std::chrono::milliseconds(startAt(random)));
  }
  // The run ends when every page has closed its socket, or at the limit;
  // a page still playing then is stopped, its socket's moves run out.
  io.run_for(limit);
  for (const auto& page : run.pages) page->abandon();
  io.restart();
  io.run();
  run.seconds = std::chrono::duration<double>(SimulatedPage::Clock::now() - start).count();
  return run;
}

// The experiment rows stored, by key, each with how often.
using RoleKey = std::tuple<std::string, int, int, std::string>;
using TrialKey = std::pair<std::string, int>;
struct StoredRows {
  std::map<RoleKey, int> roles;
  std::map<TrialKey, int> trials;
};

StoredRows storedRows(quarn::DatabaseTables& db) {
  using quarn::ColumnAffinity;
  StoredRows stored;
  quarn::forEachRow(
      db, "datRole",
      {{"Subject", ColumnAffinity::Text},
       {"Trial", ColumnAffinity::Integer},
       {"Week", ColumnAffinity::Integer},
       {"Role", ColumnAffinity::Text}},
      [&](const std::vector<quarn::CellValue>& row) {
        ++stored
              .roles[{std::get<std::string>(row[0]), static_cast<int>(std::get<int64_t>(row[1])),
                      static_cast<int>(std::get<int64_t>(row[2])), std::get<std::string>(row[3])}];
      });
  quarn::forEachRow(
      db, "datTrial", {{"Subject", ColumnAffinity::Text}, {"Trial", ColumnAffinity::Integer}},
      [&](const std::vector<quarn::CellValue>& row) {
        ++stored
              .trials[{std::get<std::string>(row[0]), static_cast<int>(std::get<int64_t>(row[1]))}];
      });
  return stored;
}

struct ServerFigures {
  double cpuSeconds = 0;
  int64_t peakRssKb = 0;
  int64_t idleRssKb = 0;
};

ServerFigures serverFigures(const ServerProcess& server) {
  const quarn::bench::ProcessUse now = server.now();
  return {now.cpuSeconds - server.idle().cpuSeconds, now.peakRssKb, server.idle().rssKb};
}

// The weeks of the game (trial and week) with the highest p99: where the
// pages meet (the first weeks, a trial's end, the pause) shows there.
void printSlowestWeeks(const std::vector<quarn::bench::OrderMade>& orders) {
  std::map<std::pair<int, int>, std::vector<quarn::bench::OrderMade>> byWeek;
  for (const auto& order : orders) byWeek[{order.trial, order.week}].push_back(order);
  std::vector<std::tuple<double, double, int, int>> weeks;  // p99, median, trial, week
  for (const auto& [week, ofWeek] : byWeek) {
    const auto times = quarn::bench::orderToNextWeek(ofWeek, 0);
    weeks.emplace_back(quantile(times.all, 0.99), quantile(times.all, 0.5), week.first,
                       week.second);
  }
  std::sort(weeks.rbegin(), weeks.rend());
  std::printf("slowest weeks (trial.week: median / p99 ms):");
  for (size_t i = 0; i < std::min<size_t>(6, weeks.size()); ++i) {
    const auto& [p99, median, trial, week] = weeks[i];
    std::printf(" %d.%d: %.0f / %.0f;", trial, week, median, p99);
  }
  std::printf("\n");
}

// Prints the run's figures; returns whether every page played to the end
// and no row was lost or doubled.
bool report(const std::string& scenario, const Options& options, const Run& run,
            const std::vector<ServerFigures>& servers, const StoredRows& stored) {
  std::vector<quarn::bench::OrderMade> orders;
  std::set<RoleKey> expectedRoles;
  std::set<TrialKey> expectedTrials;
  double allPlaying = 0;
  int finished = 0;
  std::map<std::string, int> failures;
  for (const auto& page : run.pages) {
    for (const auto& order : page->orders()) {
      orders.push_back(order);
      if (!order.answeredMs) continue;
      for (const char* role : kRoles) {
        expectedRoles.insert({order.subject, order.trial, order.week, role});
      }
    }
    for (int trial : page->trialsEnded()) expectedTrials.insert({page->plan().subject, trial});
    allPlaying = std::max(allPlaying, page->firstWeekMs().value_or(run.seconds * 1000));
    if (page->gameOver()) ++finished;
    if (!page->failure().empty()) ++failures[page->failure()];
  }
  const auto times = quarn::bench::orderToNextWeek(orders, allPlaying);
  const auto roles = quarn::bench::tallyRows(expectedRoles, stored.roles);
  const auto trials = quarn::bench::tallyRows(expectedTrials, stored.trials);
  const auto sessions = static_cast<double>(run.pages.size());
  double cpu = 0, peakMb = 0, growthMb = 0;
  for (const ServerFigures& server : servers) {
    cpu += server.cpuSeconds;
    peakMb += static_cast<double>(server.peakRssKb) / 1024;
    growthMb += static_cast<double>(server.peakRssKb - server.idleRssKb) / 1024;
  }
  std::printf(
      "| scenario | pages | servers | weeks | pace ms | orders | answered | all weeks: median ms | "
      "p99 ms | max ms | once all play: weeks | median ms | p99 ms | server CPU s | per "
      "order ms | peak RSS MB | per session MB | pages at game over | seconds |\n"
      "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n"
      "| %s | %zu | %zu | %d | %d | %zu | %zu | %.1f | %.1f | %.1f | %zu | %.1f | %.1f | %.1f | "
      "%.2f | %.1f | %.2f | %d | %.1f |\n",
      scenario.c_str(), run.pages.size(), servers.size(), options.weeks, options.paceMs,
      orders.size(), times.all.size(), quantile(times.all, 0.5), quantile(times.all, 0.99),
      quantile(times.all, 1.0), times.steady.size(), quantile(times.steady, 0.5),
      quantile(times.steady, 0.99), cpu,
      orders.empty() ? 0.0 : cpu * 1000 / static_cast<double>(orders.size()), peakMb,
      growthMb / sessions, finished, run.seconds);
  std::printf(
      "\n| rows | expected | stored | lost | doubled | unexpected |\n|---|---|---|---|---|---|\n");
  for (const auto& [table, tally] : {std::pair{"datRole", roles}, {"datTrial", trials}}) {
    std::printf("| %s | %lld | %lld | %lld | %lld | %lld |\n", table,
                static_cast<long long>(tally.expected), static_cast<long long>(tally.stored),
                static_cast<long long>(tally.lost), static_cast<long long>(tally.doubled),
                static_cast<long long>(tally.unexpected));
  }
  printSlowestWeeks(orders);
  for (const auto& [why, count] : failures) {
    std::printf("%d page(s) stopped early: %s\n", count, why.c_str());
  }
  std::printf("\n");
  return failures.empty() && finished == static_cast<int>(run.pages.size()) && roles.lost == 0 &&
         roles.doubled == 0 && trials.lost == 0 && trials.doubled == 0;
}

// The time the game may take at most: every week ten times the pace (a
// server that cannot keep up slows every page down), and two minutes more.
std::chrono::seconds runLimit(const Options& options, int trials) {
  const int weeks = trials * (options.weeks + 2);
  return std::chrono::seconds(120 + 10 * weeks * options.paceMs / 1000);
}

bool runSingle(const Options& options, const fs::path& folder) {
  const fs::path dataDir = quarn::bench::makeDemo(QUARN_ADMIN_TOOL, folder);
  const std::string password = addSingleSetting(dataDir, folder, options.weeks);
  std::vector<PagePlan> plans;
  for (int p = 1; p <= options.participants; ++p) {
    plans.push_back({0, "B" + std::to_string(p), "Bench", "",
                     std::chrono::milliseconds(options.paceMs), password});
  }
  ServerProcess server(options.start(), folder / "app", folder / "server.log");
  for (PagePlan& plan : plans) plan.port = server.port();
  const Run run = playPages(plans, options.paceMs, runLimit(options, 4));
  const ServerFigures figures = serverFigures(server);
  server.stop();
  const StoredRows stored =
      storedRows(*quarn::openTables(quarn::chooseAdminDatabase(dataDir.string())));
  return report("single, file", options, run, {figures}, stored);
}

// Every member of --teams teams, member m of the port portOf(m).
std::vector<PagePlan> teamPlans(const Options& options,
                                const std::function<uint16_t(int member)>& portOf) {
  std::vector<PagePlan> plans;
  for (int t = 1; t <= options.teams; ++t) {
    for (int m = 1; m <= kMembers; ++m) {
      plans.push_back({portOf(m), "T" + std::to_string(t) + "M" + std::to_string(m), "BenchTeams",
                       "Team" + std::to_string(t), std::chrono::milliseconds(options.paceMs), ""});
    }
  }
  return plans;
}

// The teams on the demo's file, all played by one server process: it is the
// file's one writer and wakes a team's members itself.
bool runTeamsOnFile(const Options& options, const fs::path& folder) {
  const fs::path dataDir = quarn::bench::makeDemo(QUARN_ADMIN_TOOL, folder);
  addTeamSetting(dataDir, folder, options.weeks);
  ServerProcess server(options.start(), folder / "app", folder / "server.log");
  const std::vector<PagePlan> plans = teamPlans(options, [&](int) { return server.port(); });
  const Run run = playPages(plans, options.paceMs, runLimit(options, 2));
  const ServerFigures figures = serverFigures(server);
  server.stop();
  const StoredRows stored =
      storedRows(*quarn::openTables(quarn::chooseAdminDatabase(dataDir.string())));
  return report("teams of 4, file", options, run, {figures}, stored);
}

bool runTeams(const Options& options, const fs::path& folder) {
  if (options.teamsOnFile) return runTeamsOnFile(options, folder);
  const quarn::bench::ThrowAwayServer database(QUARN_PG_TEST_SERVER, "browsers");
  const fs::path dataDir = quarn::bench::makeDemo(QUARN_ADMIN_TOOL, folder);
  addTeamSetting(dataDir, folder, options.weeks);
  const quarn::bench::DemoOnServer onServer(QUARN_ADMIN_TOOL, database.connection(), dataDir,
                                            "browsers_bench");

  ServerProcess first(options.start(), folder / "app", folder / "server-1.log");
  ServerProcess second(options.start(), folder / "app", folder / "server-2.log");
  // Members 1 and 3 on the first process, 2 and 4 on the second.
  const std::vector<PagePlan> plans =
      teamPlans(options, [&](int member) { return member % 2 ? first.port() : second.port(); });
  const Run run = playPages(plans, options.paceMs, runLimit(options, 2));
  const std::vector<ServerFigures> figures = {serverFigures(first), serverFigures(second)};
  first.stop();
  second.stop();
  const StoredRows stored =
      storedRows(*quarn::openTables(quarn::chooseAdminDatabase(dataDir.string())));
  if (std::all_of(run.pages.begin(), run.pages.end(), [](const auto& page) {
        return page->failure() == "refused login: teamsNotServed";
      })) {
    // A server without team play in the browser: nothing to measure, and no
    // fault of the run's.
    std::printf("scenario teams not run: the server refuses team settings (teamsNotServed)\n\n");
    return true;
  }
  return report("teams of 4, PostgreSQL", options, run, figures, stored);
}

std::optional<Options> readOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--scenario" && (value == "single" || value == "teams" || value == "both")) {
      options.scenario = value;
    } else if (option == "--participants") {
      options.participants = std::atoi(value.c_str());
    } else if (option == "--teams") {
      options.teams = std::atoi(value.c_str());
    } else if (option == "--teams-on" && (value == "server" || value == "file")) {
      options.teamsOnFile = value == "file";
    } else if (option == "--weeks") {
      options.weeks = std::atoi(value.c_str());
    } else if (option == "--pace") {
      options.paceMs = std::atoi(value.c_str());
    } else if (option == "--server") {
      options.server = value;
    } else if (option == "--server-threads") {
      options.serverThreads = value;
    } else if (option == "--keep") {
      options.keep = value == "yes";
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || options.participants < 1 || options.teams < 1 || options.weeks < 1 ||
      options.paceMs < kLeastPaceMs) {
    return std::nullopt;
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = readOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: " << argv[0]
              << " [--scenario single|teams|both] [--participants 200] [--teams 100] "
                 "[--teams-on server|file] [--weeks 10] [--pace 1000] [--keep yes|no] "
                 "[--server PATH] [--server-threads N]\n";
    return 2;
  }
  bool sound = true;
  for (const std::string scenario : {"single", "teams"}) {
    if (options->scenario != "both" && options->scenario != scenario) continue;
    const fs::path folder =
        fs::temp_directory_path() / ("quarn-browsers-" + scenario + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const bool played =
        scenario == "single" ? runSingle(*options, folder) : runTeams(*options, folder);
    if (played && !options->keep) {
      fs::remove_all(folder);
    } else {
      std::cout << "the run's files (the servers' logs) are kept in " << folder.string() << "\n";
    }
    sound = sound && played;
  }
  return sound ? 0 : 1;
}
