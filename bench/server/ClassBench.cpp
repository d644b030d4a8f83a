// A class in the browser as a teacher runs it: simulated students
// (SimulatedPage, all on one io_context in this process) join one class by
// its code with a name each, are put into teams of 4 as they arrive, and
// play the class's setting against one real quarngame-server process; the
// teacher's page (SimulatedTeacher) is logged in with the class's password
// and starts the class once every student has joined.
//
// The setting "BenchClass" is the demo's first two trials of --weeks weeks,
// member 1 the Factory ... member 4 the Retailer, with the week clock on
// (--week-seconds, the Sterman player orders when it runs out). The class is
// opened by `quarngame-admin class open` (names, teams formed by arrival).
// Each student orders each open week after about a second (--pace, jittered
// by half of it either way); --vanish percent of them (seeded; one a team at
// most as they are numbered) close their socket when a week of the middle
// half of their game opens and never come back, so that their teams go on
// by the clock.
//
//   bench_class [--on file|pg|both] [--students 400] [--weeks 20]
//               [--week-seconds 10] [--pace 1000] [--vanish 5]
//               [--teacher yes|no] [--keep yes|no] [--server PATH]
//               [--server-threads N]
//
// --on file plays on the demo's database file, --on pg on a PostgreSQL
// server (QUARN_PG_BENCH_CONNECTION if set, the run in a schema of its own,
// else a throw-away one); both: one run after the other. --students is a
// multiple of 4 (whole teams). --week-seconds 0 plays without the clock
// (with --vanish 0: a team whose student vanished would wait for ever), to
// tell what the clock costs. --teacher no leaves the teacher's page out
// (the class is started through its store), to tell what the page costs.
//
// It prints, for the students who stayed, from the last order of a week
// their team ordered itself to each member's next week: median, p99 and
// maximum (and p99 over the weeks ordered once every student had had its
// first) and its median by week of the game; the weeks the clock closed
// and how long they took; from each order sent to the teacher's page
// showing it; the server's processor time per order and peak resident
// memory; and the rows expected and stored:
// datRole and datTrial (from the pages' answered moves), the clock's orders
// (datTeamOrder Clock 1: every week a vanished student left, and each week
// the clock ordered for a student who stayed) and the datRole rows of
// weeks the clock ordered (User 8: the students who stayed).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "bench/db/PilotRuns.h"
#include "bench/db/SettingCopy.h"
#include "bench/db/ThrowAwayServer.h"
#include "bench/server/BrowserFigures.h"
#include "bench/server/ClassFigures.h"
#include "bench/server/ServerProcess.h"
#include "bench/server/SimulatedPage.h"
#include "bench/server/SimulatedTeacher.h"
#include "db/ClassStore.h"
#include "db/DatabaseChoice.h"
#include "db/OpenDatabase.h"
#include "db/Stores.h"

namespace {

namespace asio = boost::asio;
namespace fs = std::filesystem;
using quarn::bench::OrderMade;
using quarn::bench::PagePlan;
using quarn::bench::quantile;
using quarn::bench::ServerProcess;
using quarn::bench::SimulatedPage;
using quarn::bench::SimulatedTeacher;
using quarn::bench::StudentPlan;

constexpr int kMembers = 4;
constexpr int kTrials = 2;
// The server takes 5 messages a second from a page (after a burst of 40).
constexpr int kLeastPaceMs = 250;
const char* const kRoles[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};
const char* const kSetting = "BenchClass";
const char* const kClockRule = "Sterman";
const char* const kTeacherPassword = "bench-teacher";

struct Options {
  std::string on = "both";
  int students = 400;
  int weeks = 20;
  int weekSeconds = 10;
  int paceMs = 1000;
  int vanishPercent = 5;
  bool teacher = true;
  bool keep = false;
  std::string server = QUARN_SERVER_PROGRAM;
  std::string serverThreads;

  quarn::bench::ServerStart start() const { return {server, serverThreads}; }
  int gameWeeks() const { return kTrials * weeks; }
};

// The setting "BenchClass": the demo's first two trials of `weeks` weeks, a
// member on each stage, and its week clock.
void addClassSetting(const fs::path& dataDir, const fs::path& folder, const Options& options) {
  quarn::bench::copySettingRows(QUARN_ADMIN_TOOL, dataDir.string(), folder, "tblBlock", "Demo",
                                kSetting, [&](quarn::bench::CsvRow& row) {
                                  if (std::stoi(row["Index"]) > kTrials) return false;
                                  row["numweeks"] = std::to_string(options.weeks);
                                  for (int m = 0; m < kMembers; ++m) {
                                    row[kRoles[m]] = "Subject" + std::to_string(m + 1);
                                  }
                                  return true;
                                });
  const fs::path csv = folder / "tblSetting-clock.csv";
  std::ofstream(csv) << "Setting,WeekSeconds,ClockRule\n"
                     << kSetting << "," << options.weekSeconds << "," << kClockRule << "\n";
  quarn::bench::runOrFail(quarn::bench::shellQuoted(QUARN_ADMIN_TOOL) + " import " +
                          quarn::bench::shellQuoted(dataDir.string()) + " tblSetting " +
                          quarn::bench::shellQuoted(csv.string()));
}

// Opens the class as a teacher does; returns its code.
std::string openClass(const fs::path& dataDir, const fs::path& folder) {
  const fs::path passwordFile = folder / "teacher-password";
  std::ofstream(passwordFile) << kTeacherPassword << "\n";
  ::chmod(passwordFile.c_str(), S_IRUSR | S_IWUSR);
  const std::string said = quarn::bench::runCommand(
      quarn::bench::shellQuoted(QUARN_ADMIN_TOOL) + " class open " +
      quarn::bench::shellQuoted(dataDir.string()) + " " + kSetting + " --password-file " +
      quarn::bench::shellQuoted(passwordFile.string()) + " --url http://127.0.0.1");
  const std::string before = "Class ";
  const size_t end = said.find(" is open");
  if (said.rfind(before, 0) != 0 || end == std::string::npos) {
    std::cerr << "the class was not opened: " << said << "\n";
    std::exit(1);
  }
  return said.substr(before.size(), end - before.size());
}

// The students, numbered in the order they come; the vanishing ones drawn
// (seeded) one a team at most, as teams form from students who come one
// after the other, each at a week of the middle half of its game.
std::vector<StudentPlan> studentPlans(const Options& options, const std::string& code) {
  std::vector<StudentPlan> plans;
  for (int s = 1; s <= options.students; ++s) {
    char name[32];
    std::snprintf(name, sizeof name, "Student %03d", s);
    plans.push_back({code, name, 0});
  }
  std::mt19937 random(20261208);
  std::vector<int> teams(static_cast<size_t>(options.students / kMembers));
  for (size_t t = 0; t < teams.size(); ++t) teams[t] = static_cast<int>(t);
  std::shuffle(teams.begin(), teams.end(), random);
  const auto vanishing = std::min<size_t>(
      teams.size(), static_cast<size_t>((options.students * options.vanishPercent + 50) / 100));
  std::uniform_int_distribution<int> member(0, kMembers - 1);
  std::uniform_int_distribution<int> week(options.gameWeeks() / 4 + 1,
                                          std::max(1, options.gameWeeks() * 3 / 4));
  for (size_t v = 0; v < vanishing; ++v) {
    plans[static_cast<size_t>(teams[v] * kMembers + member(random))].vanishAtWeek = week(random);
  }
  return plans;
}

bool done(const SimulatedPage& page) {
  return page.gameOver() || page.vanished() || !page.failure().empty();
}

// The class's run, all on this thread: the teacher's page logs in, the
// students join one after the other over the first pace, the teacher starts
// the class once every student has joined (or failed to), and the run ends
// a moment after every student ended, or at `limit`.
struct ClassRun {
  std::unique_ptr<asio::io_context> io = std::make_unique<asio::io_context>(1);
  std::vector<std::shared_ptr<SimulatedPage>> pages;
  std::shared_ptr<SimulatedTeacher> teacher;
  std::optional<double> startedMs;  // when the teacher started the class
  double seconds = 0;
};

class ClassPlay {
 public:
  // `startClass` starts the class: through the teacher's page, or without.
  ClassPlay(ClassRun& run, SimulatedPage::Clock::time_point start, std::function<void()> startClass)
      : m_run(run), m_timer(*run.io), m_start(start), m_startClass(std::move(startClass)) {}

  void watch() {
    m_timer.expires_after(std::chrono::milliseconds(100));
    m_timer.async_wait([this](boost::system::error_code error) {
      if (!error) look();
    });
  }

 private:
  void look() {
    const auto& pages = m_run.pages;
    if (!m_run.startedMs && std::all_of(pages.begin(), pages.end(), [](const auto& page) {
          return page->joinedClass() || done(*page);
        })) {
      m_startClass();
      m_run.startedMs = sinceStart();
    }
    if (std::all_of(pages.begin(), pages.end(), [](const auto& page) { return done(*page); })) {
      // The teacher's page sees the last weeks stored before it closes.
      if (!m_allDone) m_allDone = sinceStart();
      if (sinceStart() - *m_allDone > kLastLookMs) return m_run.teacher->stop();
    }
    watch();
  }

  double sinceStart() const {
    return std::chrono::duration<double, std::milli>(SimulatedPage::Clock::now() - m_start).count();
  }

  static constexpr double kLastLookMs = 2000;
  ClassRun& m_run;
  asio::steady_timer m_timer;
  SimulatedPage::Clock::time_point m_start;
  std::function<void()> m_startClass;
  std::optional<double> m_allDone;
};

ClassRun playClass(const std::vector<StudentPlan>& students, uint16_t port, const std::string& code,
                   int paceMs, std::chrono::seconds limit,
                   const std::optional<std::function<void()>>& startWithoutTeacher) {
  ClassRun run;
  asio::io_context& io = *run.io;
  const auto start = SimulatedPage::Clock::now();
  run.teacher = std::make_shared<SimulatedTeacher>(io, port, code, kTeacherPassword, start);
  if (!startWithoutTeacher) run.teacher->start();
  std::mt19937 random(20261209);
  const double gap = static_cast<double>(paceMs) / static_cast<double>(students.size());
  const PagePlan page{port, "", "", "", std::chrono::milliseconds(paceMs), ""};
  for (size_t s = 0; s < students.size(); ++s) {
    run.pages.push_back(std::make_shared<SimulatedPage>(io, page, start, random()));
    run.pages.back()->joinAsStudent(students[s]);
    run.pages.back()->start(
        std::chrono::milliseconds(static_cast<long>(gap * static_cast<double>(s))));
  }
  ClassPlay play(run, start, [&] {
    if (startWithoutTeacher) return (*startWithoutTeacher)();
    run.teacher->startClass();
  });
  play.watch();
  io.run_for(limit);
  for (const auto& page : run.pages) page->abandon();
  run.teacher->stop();
  io.restart();
  io.run_for(std::chrono::seconds(5));
  run.seconds = std::chrono::duration<double>(SimulatedPage::Clock::now() - start).count();
  return run;
}

int64_t wholeOf(const quarn::CellValue& cell) {
  const auto* value = std::get_if<int64_t>(&cell);
  return value ? *value : 0;
}

std::string textOf(const quarn::CellValue& cell) {
  const auto* value = std::get_if<std::string>(&cell);
  return value ? *value : std::string();
}

// The rows the run left, by key, each with how often.
using RoleKey = std::tuple<std::string, int, int, std::string>;
using TrialKey = std::pair<std::string, int>;
using quarn::bench::StudentWeek;
struct StoredRows {
  std::map<RoleKey, int> roles;
  std::map<TrialKey, int> trials;
  std::map<StudentWeek, int> clockOrders;     // datTeamOrder, Clock 1
  std::map<StudentWeek, int> clockWeeks;      // datRole, User 8
  std::map<std::string, std::string> teamOf;  // by User ID, from datClassMember
};

StoredRows storedRows(const fs::path& dataDir, const std::string& code) {
  using quarn::ColumnAffinity;
  const quarn::DatabaseChoice choice = quarn::chooseAdminDatabase(dataDir.string());
  const auto db = quarn::openTables(choice);
  StoredRows stored;
  quarn::forEachRow(*db, "datRole",
                    {{"Subject", ColumnAffinity::Text},
                     {"Trial", ColumnAffinity::Integer},
                     {"Week", ColumnAffinity::Integer},
                     {"Role", ColumnAffinity::Text},
                     {"User", ColumnAffinity::Integer}},
                    [&](const std::vector<quarn::CellValue>& row) {
                      const std::string subject = textOf(row[0]);
                      const int trial = static_cast<int>(wholeOf(row[1]));
                      const int week = static_cast<int>(wholeOf(row[2]));
                      ++stored.roles[{subject, trial, week, textOf(row[3])}];
                      if (wholeOf(row[4]) == 8) ++stored.clockWeeks[{subject, trial, week}];
                    });
  quarn::forEachRow(*db, "datTrial",
                    {{"Subject", ColumnAffinity::Text}, {"Trial", ColumnAffinity::Integer}},
                    [&](const std::vector<quarn::CellValue>& row) {
                      ++stored.trials[{textOf(row[0]), static_cast<int>(wholeOf(row[1]))}];
                    });
  quarn::forEachRow(*db, "datTeamOrder",
                    {{"Subject", ColumnAffinity::Text},
                     {"Trial", ColumnAffinity::Integer},
                     {"Training", ColumnAffinity::Integer},
                     {"Week", ColumnAffinity::Integer},
                     {"Clock", ColumnAffinity::Integer}},
                    [&](const std::vector<quarn::CellValue>& row) {
                      if (wholeOf(row[4]) != 1 || wholeOf(row[2]) != 0 || wholeOf(row[3]) < 1) {
                        return;
                      }
                      ++stored.clockOrders[{textOf(row[0]), static_cast<int>(wholeOf(row[1])),
                                            static_cast<int>(wholeOf(row[3]))}];
                    });
  for (const quarn::ClassStudent& student : quarn::openStores(choice)->classes().students(code)) {
    stored.teamOf[student.subject] = student.team;
  }
  return stored;
}

struct ServerFigures {
  double cpuSeconds = 0;
  int64_t peakRssKb = 0;
};

std::string loadAverage() {
  const std::string text = quarn::bench::readText("/proc/loadavg");
  return text.substr(0, text.find(' ', text.find(' ') + 1));
}

void printTally(const char* rows, const quarn::bench::RowTally& tally) {
  std::printf("| %s | %lld | %lld | %lld | %lld | %lld |\n", rows,
              static_cast<long long>(tally.expected), static_cast<long long>(tally.stored),
              static_cast<long long>(tally.lost), static_cast<long long>(tally.doubled),
              static_cast<long long>(tally.unexpected));
}

bool sound(const quarn::bench::RowTally& tally) {
  return tally.lost == 0 && tally.doubled == 0;
}

struct Measured {
  std::string on;
  std::string loadBefore;
  std::string loadAfter;
};

// The median time to the next week by week of the game (trial.week): where
// the class's weeks slow down (when the first students vanish, at a trial's
// end) shows there.
void printMedianByWeek(const std::vector<OrderMade>& orders) {
  std::map<std::pair<int, int>, std::vector<OrderMade>> byWeek;
  for (const OrderMade& order : orders) byWeek[{order.trial, order.week}].push_back(order);
  std::printf("median ms by week:");
  for (const auto& [week, ofWeek] : byWeek) {
    const auto times = quarn::bench::orderToNextWeek(ofWeek, 0);
    std::printf(" %d.%d: %.0f;", week.first, week.second, quantile(times.all, 0.5));
  }
  std::printf("\n\n");
}

// Prints the run's figures; returns whether every student who stayed played
// to the end, the teacher started the class, and no row was lost or
// doubled.
bool report(const Measured& measured, const Options& options, const ClassRun& run,
            const ServerFigures& server, const StoredRows& stored) {
  std::vector<OrderMade> orders;
  std::set<std::string> vanished;
  std::set<RoleKey> expectedRoles;
  std::set<TrialKey> expectedTrials;
  std::set<StudentWeek> expectedClockOrders, expectedClockWeeks;
  double allPlaying = 0;
  int finished = 0;
  int overtaken = 0;
  std::map<std::string, int> failures;
  for (const auto& page : run.pages) {
    const std::string& subject = page->subject();
    for (OrderMade order : page->orders()) {
      const auto team = stored.teamOf.find(subject);
      if (team != stored.teamOf.end()) order.group = team->second;
      orders.push_back(order);
      if (!order.answeredMs) continue;
      for (const char* role : kRoles) {
        expectedRoles.insert({subject, order.trial, order.week, role});
      }
    }
    for (int trial : page->trialsEnded()) expectedTrials.insert({subject, trial});
    // A week the clock ordered for a student who was there is played and
    // recorded as any other.
    for (const auto& [trial, week] : page->weeksClockOrdered()) {
      expectedClockOrders.insert({subject, trial, week});
      expectedClockWeeks.insert({subject, trial, week});
      for (const char* role : kRoles) expectedRoles.insert({subject, trial, week, role});
    }
    overtaken += page->ordersOvertaken();
    if (page->vanished()) {
      vanished.insert(subject);
      expectedClockOrders.merge(
          quarn::bench::weeksLeftToTheClock(subject, page->orders(), kTrials, options.weeks));
    }
    allPlaying = std::max(allPlaying, page->firstWeekMs().value_or(run.seconds * 1000));
    if (page->gameOver()) ++finished;
    if (!page->failure().empty()) ++failures[page->failure()];
  }
  // The weeks every member ordered itself; the time to the next week is
  // counted for the students who stayed.
  std::vector<OrderMade> byAll = quarn::bench::weeksOrderedByAll(orders, kMembers);
  for (OrderMade& order : byAll) {
    if (vanished.count(order.subject)) order.answeredMs.reset();
  }
  const auto times = quarn::bench::orderToNextWeek(byAll, allPlaying);
  // The weeks the clock closed: from the last order the pages sent.
  std::vector<OrderMade> clockClosed;
  std::set<std::tuple<std::string, int, int>> byAllWeeks;
  for (const OrderMade& order : byAll) byAllWeeks.insert({order.group, order.trial, order.week});
  for (const OrderMade& order : orders) {
    if (!byAllWeeks.count({order.group, order.trial, order.week})) clockClosed.push_back(order);
  }
  const auto clockTimes = quarn::bench::orderToNextWeek(clockClosed, 0);
  const auto view = quarn::bench::viewDelays(orders, run.teacher->sightings());
  const auto roles = quarn::bench::tallyRows(expectedRoles, stored.roles);
  const auto trials = quarn::bench::tallyRows(expectedTrials, stored.trials);
  const auto clockOrders = quarn::bench::tallyRows(expectedClockOrders, stored.clockOrders);
  const auto clockWeeks = quarn::bench::tallyRows(expectedClockWeeks, stored.clockWeeks);
  const int stayed = static_cast<int>(run.pages.size() - vanished.size());

  std::printf(
      "| on | students | vanished | weeks | week s | pace ms | orders | stayed, weeks ordered by "
      "all: answered | median ms | p99 ms | max ms | once all play: p99 ms | weeks the clock "
      "closed: orders | median s | max s | at game over | seconds | load average before / "
      "after |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n"
      "| %s | %zu | %zu | %d x %d | %d | %d | %zu | %zu | %.1f | %.1f | %.1f | %.1f | %zu | %.1f "
      "| %.1f | %d of %d | %.0f | %s / %s |\n\n",
      measured.on.c_str(), run.pages.size(), vanished.size(), kTrials, options.weeks,
      options.weekSeconds, options.paceMs, orders.size(), times.all.size(),
      quantile(times.all, 0.5), quantile(times.all, 0.99), quantile(times.all, 1.0),
      quantile(times.steady, 0.99), clockTimes.all.size(), quantile(clockTimes.all, 0.5) / 1000,
      quantile(clockTimes.all, 1.0) / 1000, finished, stayed, run.seconds,
      measured.loadBefore.c_str(), measured.loadAfter.c_str());
  const double cpuPerOrder =
      orders.empty() ? 0.0 : server.cpuSeconds * 1000 / static_cast<double>(orders.size());
  std::printf(
      "| teacher's page: orders shown | median ms | p99 ms | max ms | not shown | views | KB a "
      "view | server CPU s | per order ms | peak RSS MB "
      "|\n|---|---|---|---|---|---|---|---|---|---|"
      "\n| %zu | %.0f | %.0f | %.0f | %d | %d | %.1f | %.1f | %.2f | %.1f |\n\n",
      view.delays.size(), quantile(view.delays, 0.5), quantile(view.delays, 0.99),
      quantile(view.delays, 1.0), view.unseen, run.teacher->views(),
      run.teacher->views()
          ? static_cast<double>(run.teacher->viewBytes()) / 1024 / run.teacher->views()
          : 0.0,
      server.cpuSeconds, cpuPerOrder, static_cast<double>(server.peakRssKb) / 1024);
  printMedianByWeek(byAll);
  std::printf(
      "| rows | expected | stored | lost | doubled | unexpected |\n|---|---|---|---|---|---|\n");
  printTally("datRole", roles);
  printTally("datTrial", trials);
  printTally("clock's orders (datTeamOrder Clock 1)", clockOrders);
  printTally("weeks the clock ordered (datRole User 8)", clockWeeks);
  if (!options.teacher) std::printf("no teacher's page was connected: it showed nothing\n");
  if (overtaken > 0) {
    std::printf("%d order(s) came after the clock had ordered their week\n", overtaken);
  }
  if (!run.teacher->failure().empty()) {
    std::printf("the teacher's page: %s\n", run.teacher->failure().c_str());
  }
  if (!run.startedMs) std::printf("the class was never started: not every student joined\n");
  for (const auto& [why, count] : failures) {
    std::printf("%d page(s) stopped early: %s\n", count, why.c_str());
  }
  std::printf("\n");
  const bool started = !options.teacher || run.teacher->classStarted();
  return failures.empty() && finished == stayed && started && sound(roles) && sound(trials) &&
         sound(clockOrders) && sound(clockWeeks);
}

// The time the game may take at most: every week the clock and three paces,
// and two minutes more.
std::chrono::seconds runLimit(const Options& options) {
  const int weeks = kTrials * (options.weeks + 2);
  return std::chrono::seconds(120 + weeks * (options.weekSeconds + 3 * options.paceMs / 1000));
}

bool runClass(const Options& options, const std::string& on, const fs::path& folder) {
  const fs::path dataDir = quarn::bench::makeDemo(QUARN_ADMIN_TOOL, folder);
  addClassSetting(dataDir, folder, options);
  std::optional<quarn::bench::ThrowAwayServer> database;
  std::optional<quarn::bench::DemoOnServer> onServer;
  if (on == "pg") {
    database.emplace(QUARN_PG_TEST_SERVER, "class");
    onServer.emplace(QUARN_ADMIN_TOOL, database->connection(), dataDir, "class_bench");
  }
  const std::string code = openClass(dataDir, folder);
  Measured measured{on == "pg" ? "PostgreSQL" : "file", loadAverage(), ""};
  ServerProcess server(options.start(), folder / "app", folder / "server.log");
  std::optional<std::function<void()>> startWithoutTeacher;
  if (!options.teacher) {
    // As a teacher without the page does: the class starts from the
    // command line, which closes its door first.
    startWithoutTeacher = [&] {
      quarn::bench::runCommand(quarn::bench::shellQuoted(QUARN_ADMIN_TOOL) + " class start " +
                               quarn::bench::shellQuoted(dataDir.string()) + " " + code);
    };
  }
  const ClassRun run = playClass(studentPlans(options, code), server.port(), code, options.paceMs,
                                 runLimit(options), startWithoutTeacher);
  const quarn::bench::ProcessUse use = server.now();
  measured.loadAfter = loadAverage();
  server.stop();
  const StoredRows stored = storedRows(dataDir, code);
  onServer.reset();
  return report(measured, options, run, {use.cpuSeconds - server.idle().cpuSeconds, use.peakRssKb},
                stored);
}

std::optional<Options> readOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--on" && (value == "file" || value == "pg" || value == "both")) {
      options.on = value;
    } else if (option == "--students") {
      options.students = std::atoi(value.c_str());
    } else if (option == "--weeks") {
      options.weeks = std::atoi(value.c_str());
    } else if (option == "--week-seconds") {
      options.weekSeconds = std::atoi(value.c_str());
    } else if (option == "--pace") {
      options.paceMs = std::atoi(value.c_str());
    } else if (option == "--vanish") {
      options.vanishPercent = std::atoi(value.c_str());
    } else if (option == "--teacher" && (value == "yes" || value == "no")) {
      options.teacher = value == "yes";
    } else if (option == "--keep") {
      options.keep = value == "yes";
    } else if (option == "--server") {
      options.server = value;
    } else if (option == "--server-threads") {
      options.serverThreads = value;
    } else {
      return std::nullopt;
    }
  }
  // The plan's check wants 5 weeks or more (the demo's demand steps up in
  // week 5) and a week clock of 10 to 3600 seconds (0: none).
  if (argc % 2 == 0 || options.students < kMembers || options.students % kMembers != 0 ||
      options.weeks < 5 || (options.weekSeconds != 0 && options.weekSeconds < 10) ||
      options.weekSeconds > 3600 || options.paceMs < kLeastPaceMs || options.vanishPercent < 0 ||
      options.vanishPercent > 100) {
    return std::nullopt;
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = readOptions(argc, argv);
  if (!options) {
    std::cerr
        << "usage: " << argv[0]
        << " [--on file|pg|both] [--students 400 (a multiple of 4)] [--weeks 20 (5 or "
           "more)] [--week-seconds 10 (10 to 3600, 0: no clock)] [--pace 1000 (250 or more)] "
           "[--vanish "
           "5 (percent)] [--teacher yes|no] [--keep yes|no] [--server PATH] [--server-threads N]\n";
    return 2;
  }
  bool allSound = true;
  for (const std::string on : {"file", "pg"}) {
    if (options->on != "both" && options->on != on) continue;
    const fs::path folder =
        fs::temp_directory_path() / ("quarn-class-" + on + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const bool played = runClass(*options, on, folder);
    if (played && !options->keep) {
      fs::remove_all(folder);
    } else {
      std::cout << "the run's files (the server's log) are kept in " << folder.string() << "\n";
    }
    allSound = allSound && played;
  }
  return allSound ? 0 : 1;
}
