#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "db/ClassTeams.h"
#include "db/DatabaseAdmin.h"
#include "db/postgres/PgConnection.h"
#include "plan/PlanReaders.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/TestSeed.h"

namespace quarn::testing {
namespace {

using namespace std::chrono_literals;

// Where a week's figures stand: trial, week, stage.
using WeekStage = std::tuple<int, int, std::string>;
// What is compared of a stage's week: Inventory, Demand, Satisfied,
// WeeklyCost, TotalCost, Delay1.
using Figures = std::array<int64_t, 6>;

// Team settings beside the demo's: the demo's first two trials, shortened,
// with members on the stages `stages` names (Subject1 first), each member
// training alone (the pilots skip it).
void addTeamSetting(TestDatabase& db, const std::string& setting,
                    const std::vector<std::string>& stages, int weeks, int trials = 2) {
  static const char* kStages[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};
  std::string others;
  for (const char* stage : kStages) {
    if (std::find(stages.begin(), stages.end(), stage) == stages.end()) {
      others += ", \"" + std::string(stage) + "\" = 'Sterman'";
    }
  }
  db.exec("CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= " +
          std::to_string(trials) +
          ";"
          "UPDATE b SET Setting = '" +
          setting + "', numweeks = " + std::to_string(weeks) + memberAssignments(stages) + others +
          ";"
          "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  copyDemoTraining(db, setting);
}

// Writes a member's orders file: one order a week played, the last repeated.
std::string ordersFile(const DemoFolder& demo, const std::string& name,
                       const std::vector<int>& orders) {
  const std::string path = demo.db.folder() + "/" + name + ".orders";
  std::ofstream file(path);
  for (const int order : orders) file << order << '\n';
  return path;
}

pid_t startMember(const DemoFolder& demo, const std::string& setting, const std::string& subject,
                  const std::string& team, const std::string& out, const std::string& pace = "0") {
  return startPilotOf(demo, setting, subject, out,
                      {"--team", team, "--skip-training", "--pace", pace});
}

// A team trial played here, week by week, from the orders the team stored
// and the plan alone: the independent account of the members' rows. The
// figures of each week are noted under `number`.
class StoredTrial {
 public:
  StoredTrial(TrialPlan trial, const std::vector<PlayerStrategy>& players, uint32_t seed,
              int number, const std::string& inputFolder, std::map<WeekStage, Figures>& figures)
      : m_trial(std::move(trial)),
        m_random(seed),
        m_number(number),
        m_figures(figures),
        m_context{m_trial, players, m_chain, m_ticks, m_random, [this] { noteWeek(); }} {
    startTrialChain(m_context, inputFolder);
  }

  // A simulated player orders for the member from the week it was replaced.
  void replace(const TeamTrialMember& replaced, const std::vector<PlayerStrategy>& players) {
    const size_t stage = static_cast<size_t>(memberStage(m_trial, replaced.member));
    m_chain.replacedFromWeek[stage] = replaced.fromWeek;
    for (size_t p = 0; p < players.size(); ++p) {
      if (players[p].name == replaced.player) m_trial.rolePlayers[stage] = static_cast<int16_t>(p);
    }
  }

  // Plays the open week with the members' stored orders of it; false, and
  // nothing played, when none is stored.
  bool press(const std::vector<TypedOrder>& orders) {
    std::array<int16_t, kRoleCount> typed{};
    bool found = false;
    for (const TypedOrder& order : orders) {
      if (order.week != m_chain.currentWeek) continue;
      typed[static_cast<size_t>(memberStage(m_trial, order.member))] =
          static_cast<int16_t>(order.order);
      found = true;
    }
    if (found) pressTeamWeek(m_context, typed);
    return found;
  }

  const Chain& chain() const { return m_chain; }
  const TrialPlan& trial() const { return m_trial; }

 private:
  void noteWeek() {
    const int week = m_chain.currentWeek - 1;
    for (const RoleState& s : m_chain.roles) {
      m_figures[{m_number, week, s.roleName}] = {s.inventory,  s.demand,    s.satisfied,
                                                 s.weeklyCost, s.totalCost, s.delaySlots.at(0)};
    }
  }

  TrialPlan m_trial;
  Chain m_chain;
  ManualTickCounter m_ticks;
  StandardUniformRandom m_random;
  int m_number;
  std::map<WeekStage, Figures>& m_figures;
  ChainContext m_context;
};

// The figures of the team's experiment trials, by trial, week and stage.
std::map<WeekStage, Figures> teamModel(Stores& stores, const std::string& setting,
                                       const std::string& team, const std::string& inputFolder) {
  const std::vector<PlayerStrategy> players = readPlayers(stores.plan()).players;
  const std::vector<TrialPlan> blocks =
      readBlocks(stores.plan(), players, setting, inputFolder).trials;
  std::map<WeekStage, Figures> figures;
  const TeamKey key{setting, team};
  for (size_t t = 0; t < blocks.size(); ++t) {
    const int16_t number = static_cast<int16_t>(t + 1);
    StoredTrial trial(forMember(blocks[t], 1), players, teamNoiseSeed(setting, team, number),
                      number, inputFolder, figures);
    for (const TeamTrialMember& replaced : stores.teams().replacements(key, number)) {
      trial.replace(replaced, players);
    }
    const std::vector<TypedOrder> orders = stores.teams().orders(key, number, false);
    for (int16_t week = 1; week <= trial.trial().weeks; ++week) trial.press(orders);
  }
  return figures;
}

// Whether a stage a member plays broke the training limits (both set).
bool brokeLimits(const StoredTrial& trial, int costLimit, int inventoryBound) {
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (trial.trial().stageMembers[static_cast<size_t>(r)] == 0) continue;
    const RoleState& s = trial.chain().roles[static_cast<size_t>(r)];
    if (s.totalCost > costLimit || std::abs(s.inventory) > inventoryBound) return true;
  }
  return false;
}

// The team's training, played here from its stored orders: the figures by
// training trial begun (1, 2, ...), week and stage, and how many of those
// trials kept the limits to their end.
struct TrainingAccount {
  std::map<WeekStage, Figures> figures;
  int passed = 0;
  int begun = 0;
};

TrainingAccount trainingModel(Stores& stores, const std::string& setting, const std::string& team,
                              const std::string& inputFolder) {
  const std::vector<PlayerStrategy> players = readPlayers(stores.plan()).players;
  const TrainingRow row = readTraining(stores.plan(), players, setting, 0, inputFolder);
  TrainingAccount account;
  const TeamKey key{setting, team};
  for (int16_t attempt = 1;; ++attempt) {
    const std::vector<TypedOrder> orders = stores.teams().orders(key, attempt, true);
    if (std::none_of(orders.begin(), orders.end(),
                     [](const TypedOrder& o) { return o.week > 0; })) {
      break;
    }
    account.begun = attempt;
    StoredTrial trial(forMember(row.trial, 1), players,
                      teamNoiseSeed(setting, team, static_cast<int16_t>(-attempt)), attempt,
                      inputFolder, account.figures);
    bool broke = false;
    while (!broke && trial.press(orders)) {
      broke = brokeLimits(trial, row.costLimit, row.inventoryBound);
    }
    const bool complete = trial.chain().currentWeek > trial.trial().weeks;
    if (complete && !broke) ++account.passed;
  }
  return account;
}

// A member's rows in datRole, by trial, week and stage: the experiment
// trials', or the training trials' by the training trial begun (a member
// new to the setting records the first under Trial -1, the next under -2).
std::map<WeekStage, Figures> memberRows(DemoFolder& demo, const std::string& setting,
                                        const std::string& subject, bool training = false) {
  const Rows rows = demo.played().tables().reads().query(
      R"(SELECT "Trial", "Week", "Role", "Inventory", "Demand", "Satisfied", "WeeklyCost",
                "TotalCost", "Delay1"
         FROM "datRole" WHERE "Setting" = ? AND "Subject" = ? AND "Training" = ?)",
      {setting, subject, int64_t{training ? 1 : 0}});
  std::map<WeekStage, Figures> figures;
  for (const Row& row : rows) {
    const int trial = row.cell("Trial").toInt32();
    figures[{training ? -trial : trial, row.cell("Week").toInt32(), row.cell("Role").toText()}] = {
        row.cell("Inventory").toInt32(), row.cell("Demand").toInt32(),
        row.cell("Satisfied").toInt32(), row.cell("WeeklyCost").toInt32(),
        row.cell("TotalCost").toInt32(), row.cell("Delay1").toInt32()};
  }
  return figures;
}

int64_t countOf(DemoFolder& demo, const std::string& sql, const SqlParams& params) {
  return demo.played().tables().reads().query(sql, params).front().cell("n").toInt32();
}

// Every member recorded every week of both trials once, with the figures the
// week step gives from the orders the team typed.
void expectTeamRecords(DemoFolder& demo, const std::string& setting, const std::string& team,
                       const std::vector<std::string>& members, int weeks, int trials = 2) {
  const std::map<WeekStage, Figures> model =
      teamModel(demo.played().stores(), setting, team, (demo.app / "Input").string());
  ASSERT_EQ(model.size(), static_cast<size_t>(trials * weeks * kRoleCount));
  for (const std::string& member : members) {
    EXPECT_EQ(memberRows(demo, setting, member), model) << member << " of team " << team;
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datRole"
                         WHERE "Setting" = ? AND "Subject" = ? AND "Training" = 0)",
                      {setting, member}),
              trials * weeks * kRoleCount)
        << member << ": no week doubled or moved";
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datTrial"
                         WHERE "Setting" = ? AND "Subject" = ? AND "Training" = 0)",
                      {setting, member}),
              trials);
  }
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datTeam" WHERE "Setting" = ?
                                AND "Team" = ? AND "Trial" > 0)",
                    {setting, team}),
            static_cast<int64_t>(trials * members.size()));
}

// Every member recorded every week of the team's training once, each
// training trial begun under its own Trial number, with the figures the week
// step gives from the orders the team typed; the team passed `runs` of them.
void expectTrainingRecords(DemoFolder& demo, const std::string& setting, const std::string& team,
                           const std::vector<std::string>& members, int runs) {
  const TrainingAccount model =
      trainingModel(demo.played().stores(), setting, team, (demo.app / "Input").string());
  EXPECT_EQ(model.passed, runs);
  for (const std::string& member : members) {
    EXPECT_EQ(memberRows(demo, setting, member, true), model.figures) << member;
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datRole"
                         WHERE "Setting" = ? AND "Subject" = ? AND "Training" = 1)",
                      {setting, member}),
              static_cast<int64_t>(model.figures.size()))
        << member << ": no training week doubled";
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datTrial"
                         WHERE "Setting" = ? AND "Subject" = ? AND "Training" = 1)",
                      {setting, member}),
              model.begun)
        << member << ": each training trial begun recorded once";
  }
}

// A pilot's exit code; one still running after a minute (a team that waits
// for ever) is killed and counts as failed.
int waitAtMost(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -SIGKILL;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::vector<std::string> memberIds(const std::string& prefix, size_t count) {
  std::vector<std::string> ids;
  for (size_t m = 1; m <= count; ++m) ids.push_back(prefix + std::to_string(m));
  return ids;
}

class TeamPlay : public ::testing::Test {
 protected:
  std::string out(const std::string& subject) const {
    return demo.db.folder() + "/" + subject + ".out";
  }
  // Waits (at most 30 s) until `subject` has stored `count` orders of the
  // team's training trials, or of its experiment trials.
  void waitForOrders(const std::string& subject, bool training, int64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (countOf(demo,
                   R"(SELECT count(*) AS "n" FROM "datTeamOrder" WHERE "Subject" = ?
                      AND "Training" = ? AND "Week" > 0)",
                   {subject, int64_t{training ? 1 : 0}}) < count &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(5ms);
    }
  }
  // Starts `subject`'s pilot three times and kills it each time at a random
  // moment after its next few orders (never past the game's end: `ordersLeft`
  // orders of the kind are left to the pilot that comes back), then starts it
  // once more and expects it to play to the end.
  void killThriceAndReturn(const std::string& subject, const std::vector<std::string>& options,
                           bool training, int64_t ordersLeft) {
    const unsigned seed = testSeed();
    SCOPED_TRACE("QUARN_TEST_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> orders(1, static_cast<int>(ordersLeft / 4));
    std::uniform_int_distribution<int> moment(0, 40);
    int64_t stored = 0;
    for (int kill = 0; kill < 3; ++kill) {
      const pid_t killed =
          startPilotOf(demo, "Pair", subject, out(subject + "-" + std::to_string(kill)), options);
      stored += orders(random);
      waitForOrders(subject, training, stored);
      std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
      ::kill(killed, SIGKILL);
      waitAtMost(killed);
    }
    const pid_t returned = startPilotOf(demo, "Pair", subject, out(subject), options);
    EXPECT_EQ(waitAtMost(returned), 0) << readFile(out(subject));
  }
  // Waits (at most 30 s) until the server's answer to `sql` counts `n` rows.
  bool untilCounted(const std::string& sql, const SqlParams& params, int64_t n) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (countOf(demo, sql, params) != n) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  // Fixes the team's members beforehand, member 1 first.
  void fixMembers(const std::string& setting, const std::string& team, const std::string& members) {
    const std::string fix = std::string(QUARN_ADMIN_TOOL) + " team " + demo.dataDir() + " " +
                            setting + " " + team + " " + members + " > " + out("team") + " 2>&1";
    ASSERT_EQ(std::system(fix.c_str()), 0) << readFile(out("team"));
  }
  // Runs one pilot per member and expects each to play to the end.
  void playTeam(const std::string& setting, const std::string& team,
                const std::vector<std::string>& members) {
    std::vector<PilotRun> runs;
    for (const std::string& m : members) runs.push_back({m, {"--skip-training"}});
    playMembers(setting, team, runs);
  }
  // One member's pilot: its User ID and its options beside the team's name.
  struct PilotRun {
    std::string subject;
    std::vector<std::string> options;
  };
  void playMembers(const std::string& setting, const std::string& team,
                   const std::vector<PilotRun>& runs) {
    std::vector<pid_t> pids;
    for (const PilotRun& run : runs) {
      std::vector<std::string> options = {"--team", team};
      options.insert(options.end(), run.options.begin(), run.options.end());
      pids.push_back(startPilotOf(demo, setting, run.subject, out(run.subject), options));
    }
    for (size_t i = 0; i < pids.size(); ++i) {
      EXPECT_EQ(waitAtMost(pids[i]), 0) << readFile(out(runs[i].subject));
    }
  }

  // Waits (at most 30 s) until the pilot `pid` has marked `subject` as
  // sitting in a pause.
  bool pausedAt(const std::string& subject, pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (countOf(demo,
                   R"(SELECT count(*) AS "n" FROM "datPlaying" WHERE "Subject" = ?
                      AND "Process" = ? AND "State" = 'pause')",
                   {subject, int64_t{pid}}) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  DemoFolder demo;
};

// Kills, at the end of the scope, the pilots still running: a test that
// failed leaves no pilot waiting for its team.
struct PilotsKilledAtEnd {
  std::vector<pid_t> pids;
  ~PilotsKilledAtEnd() {
    for (const pid_t pid : pids) {
      // Only a child of this test still running: one waited for is gone.
      if (::waitpid(pid, nullptr, WNOHANG) != 0) continue;
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

// Holds the server's datRole table until released: a workstation's week
// then waits in the write of its rows, after the week's text line.
class RowsHeld {
 public:
  explicit RowsHeld(const std::string& connection) : m_db(connection) {
    m_db.exec("BEGIN");
    m_db.exec(R"(LOCK TABLE "datRole" IN EXCLUSIVE MODE)");
  }
  ~RowsHeld() { release(); }
  RowsHeld(const RowsHeld&) = delete;
  RowsHeld& operator=(const RowsHeld&) = delete;
  void release() {
    if (m_held) m_db.exec("ROLLBACK");
    m_held = false;
  }

 private:
  PgConnection m_db;
  bool m_held = true;
};

// Teams of two, three and four play the week step with the orders their
// members typed, each member's stage as the plan gives it.
TEST_F(TeamPlay, TeamsOfTwoThreeAndFourRecordTheWeekStepOfTheirOrders) {
  const std::map<std::string, std::vector<std::string>> settings = {
      {"Pair", {"Retailer", "Factory"}},
      {"Trio", {"Wholesaler", "Retailer", "Distributor"}},
      {"Four", {"Factory", "Distributor", "Wholesaler", "Retailer"}},
  };
  for (const auto& [setting, stages] : settings) addTeamSetting(demo.db, setting, stages, 5);
  demo.moveToServer();
  for (const auto& [setting, stages] : settings) {
    const std::vector<std::string> members = memberIds(setting.substr(0, 1), stages.size());
    playTeam(setting, "Blue", members);
    expectTeamRecords(demo, setting, "Blue", members, 5);
  }
}

// Two workstations on one computer share the data folder's file: its team
// store keeps the team, and each finds the other's orders by looking at the
// file again.
TEST_F(TeamPlay, TwoMembersSharingADatabaseFileRecordTheWeekStepOfTheirOrders) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3);
  playTeam("Pair", "Blue", {"F1", "F2"});
  expectTeamRecords(demo, "Pair", "Blue", {"F1", "F2"}, 3);
  EXPECT_EQ(demo.db.count("datTeamMember", "Team = 'Blue'"), 2);
}

// Members whose workstations log in as a workstation's login (not the
// tables' owner) write their team's rows through the functions that check
// each member's mark, and play as any team does.
TEST_F(TeamPlay, MembersPlayingAsAWorkstationLoginStoreTheirTeamsRows) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 4);
  demo.moveToServer();
  const std::string group = "ws_team_" + std::to_string(getpid());
  const std::string login = group + "_lab1";
  PgConnection admin(testServerUri());
  for (const std::string& role : {login, group}) admin.exec("DROP ROLE IF EXISTS " + role);
  admin.exec("CREATE ROLE " + group + " NOLOGIN");
  grantWorkstation(demo.server->choice(), group);
  makeWorkstationLogins(demo.server->choice(), group, {login});
  std::ofstream(fs::path(demo.db.folder()) / "quarn.conf")
      << demo.server->connection() << " user=" << login << "\n";

  playTeam("Pair", "Blue", {"W1", "W2"});
  expectTeamRecords(demo, "Pair", "Blue", {"W1", "W2"}, 4);
  for (const std::string& role : {login, group}) {
    admin.exec("DROP OWNED BY " + role);
    admin.exec("DROP ROLE " + role);
  }
}

// Eight teams of four at once: every member's week is stored once.
TEST_F(TeamPlay, EightTeamsOfFourAtOnceStoreEveryWeekOnce) {
  addTeamSetting(demo.db, "Four", {"Factory", "Distributor", "Wholesaler", "Retailer"}, 3);
  demo.moveToServer();
  std::vector<pid_t> pids;
  std::vector<std::string> subjects;
  for (int t = 1; t <= 8; ++t) {
    for (const std::string& m : memberIds("T" + std::to_string(t) + "M", 4)) {
      subjects.push_back(m);
      pids.push_back(startMember(demo, "Four", m, "Team" + std::to_string(t), out(m)));
    }
  }
  for (size_t i = 0; i < pids.size(); ++i) {
    EXPECT_EQ(waitAtMost(pids[i]), 0) << readFile(out(subjects[i]));
  }
  for (int t = 1; t <= 8; ++t) {
    expectTeamRecords(demo, "Four", "Team" + std::to_string(t),
                      memberIds("T" + std::to_string(t) + "M", 4), 3);
  }
}

// A member killed at random moments comes back (the login resumes the trial
// left in the middle) and the team plays to its end: no week lost or
// doubled at either member.
TEST_F(TeamPlay, KilledMemberReturnsAndTheTeamPlaysToItsEnd) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 8);
  demo.moveToServer();
  const pid_t steady = startMember(demo, "Pair", "K1", "Red", out("K1"), "80");
  // 16 weeks in all: each killed pilot orders 1 to 4 of them.
  killThriceAndReturn("K2", {"--team", "Red", "--skip-training"}, false, 16);
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("K1"));
  expectTeamRecords(demo, "Pair", "Red", {"K1", "K2"}, 8);
}

// The forecast noise a member recorded with each week of the experiment
// trials that show a forecast, by trial, week and stage.
std::map<WeekStage, int64_t> forecastNoise(DemoFolder& demo, const std::string& subject) {
  const Rows rows = demo.played().tables().reads().query(
      R"(SELECT "Trial", "Week", "Role", "PNoise" FROM "datRole"
         WHERE "Subject" = ? AND "Training" = 0 AND "PNoise" IS NOT NULL)",
      {subject});
  std::map<WeekStage, int64_t> noise;
  for (const Row& row : rows) {
    noise[{row.cell("Trial").toInt32(), row.cell("Week").toInt32(), row.cell("Role").toText()}] =
        row.cell("PNoise").toInt32();
  }
  return noise;
}

// Every member sees the team's one forecast, and so records the same noise
// with every week: also a member that replays the trial's weeks after its
// workstation was killed in it.
TEST_F(TeamPlay, MembersSeeAndRecordTheTeamsOneForecast) {
  // Of the demo's trials the third shows a forecast with noise.
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 8, 3);
  demo.moveToServer();
  const pid_t steady = startMember(demo, "Pair", "N1", "Blue", out("N1"), "40");
  const pid_t killed = startMember(demo, "Pair", "N2", "Blue", out("N2-killed"));
  waitForOrders("N2", false, 8 + 8 + 3);
  ::kill(killed, SIGKILL);
  waitAtMost(killed);
  const pid_t returned = startMember(demo, "Pair", "N2", "Blue", out("N2"));
  EXPECT_EQ(waitAtMost(returned), 0) << readFile(out("N2"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("N1"));

  const std::map<WeekStage, int64_t> first = forecastNoise(demo, "N1");
  ASSERT_EQ(first.size(), 8u * kRoleCount);
  EXPECT_EQ(forecastNoise(demo, "N2"), first);
  std::set<int64_t> drawn;
  for (const auto& [week, noise] : first) drawn.insert(noise);
  EXPECT_GT(drawn.size(), 1u) << "a new noise every week";
}

// A member who does not come back is replaced by a simulated player for the
// rest of the trial: the team plays to its end, the player orders for the
// member's stage from the first week the member had not ordered, and the
// records say so.
TEST_F(TeamPlay, ReplacedMemberIsPlayedBySimulatedPlayerToTheTrialsEnd) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 12, 1);
  demo.moveToServer();
  // Member numbers fixed beforehand: by arrival, G2 could be member 1.
  fixMembers("Pair", "Green", "G1 G2");
  const pid_t steady = startMember(demo, "Pair", "G1", "Green", out("G1"), "60");
  const pid_t gone = startMember(demo, "Pair", "G2", "Green", out("G2"));
  // The member leaves once it has ordered a few weeks.
  waitForOrders("G2", false, 3);
  ::kill(gone, SIGKILL);
  waitAtMost(gone);
  const std::string replace = std::string(QUARN_ADMIN_TOOL) + " replace " + demo.dataDir() +
                              " Pair Green 2 Sterman > " + out("replace") + " 2>&1";
  ASSERT_EQ(std::system(replace.c_str()), 0) << readFile(out("replace"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("G1"));

  const Rows replaced = demo.played().tables().reads().query(
      R"(SELECT "Player", "FromWeek" FROM "datTeam" WHERE "Team" = 'Green' AND "Member" = 2)");
  ASSERT_EQ(replaced.size(), 1u);
  EXPECT_EQ(replaced.front().cell("Player").toText(), "Sterman");
  const int fromWeek = replaced.front().cell("FromWeek").toInt32();
  EXPECT_NE(readFile(out("replace"))
                .find("is played by Sterman from trial 1, week " + std::to_string(fromWeek)),
            std::string::npos);
  const std::map<WeekStage, Figures> model =
      teamModel(demo.played().stores(), "Pair", "Green", (demo.app / "Input").string());
  EXPECT_EQ(memberRows(demo, "Pair", "G1"), model);
  EXPECT_EQ(countOf(demo,
                    R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = 'G1'
                       AND "Role" = 'Factory' AND "User" = 7 AND "Week" < ?)",
                    {int64_t{fromWeek}}),
            fromWeek - 1)
      << "the member's own weeks";
  EXPECT_EQ(countOf(demo,
                    R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = 'G1'
                       AND "Role" = 'Factory' AND "User" = 0 AND "Week" >= ?)",
                    {int64_t{fromWeek}}),
            12 - fromWeek + 1)
      << "the simulated player's weeks";
  EXPECT_EQ(demo.played()
                .tables()
                .reads()
                .query(R"(SELECT "Factory" FROM "datTrial" WHERE "Subject" = 'G1')")
                .front()
                .cell("Factory")
                .toText(),
            "Sterman");
}

// A class's smaller team plays with its students: three students of a
// setting of four members, the class's player on the fourth stage from the
// first week of every trial. Each student records the week step of the
// team's orders and the player's, with the player's weeks as simulated, and
// datTeam names the player for the open member in each trial.
TEST_F(TeamPlay, SmallerClassTeamPlaysItsOpenStageWithTheClasssPlayer) {
  const std::vector<std::string> stages = {"Retailer", "Wholesaler", "Distributor", "Factory"};
  addTeamSetting(demo.db, "Quad", stages, 4);
  demo.moveToServer();
  ClassStore& classes = demo.server->stores().classes();
  ClassRow row;
  row.setting = "Quad";
  row.forming = ClassForming::Random;
  row.leftoverPlayer = "Sterman";
  const std::string code = classes.open(row, drawClassCode);
  const std::vector<std::string> students = memberIds("L", 3);
  for (const std::string& subject : students) classes.arrive(code, subject, "");
  const ClosedDoor door = closeClassDoor(classes, demo.server->stores().teams(), code,
                                         {stages, stages}, [](size_t below) { return below - 1; });
  ASSERT_EQ(door.teams.size(), 1u);
  const std::string team = door.teams.front().first;
  playTeam("Quad", team, students);

  const std::map<WeekStage, Figures> model =
      teamModel(demo.played().stores(), "Quad", team, (demo.app / "Input").string());
  ASSERT_EQ(model.size(), static_cast<size_t>(2 * 4 * kRoleCount));
  for (const std::string& student : students) {
    EXPECT_EQ(memberRows(demo, "Quad", student), model) << student;
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = ?
                         AND "Role" = 'Factory' AND "User" = 0 AND "Training" = 0)",
                      {student}),
              2 * 4)
        << student << ": the player's weeks";
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datTrial" WHERE "Subject" = ?
                         AND "Factory" = 'Sterman' AND "Training" = 0)",
                      {student}),
              2)
        << student;
  }
  const Rows open = demo.played().tables().reads().query(
      R"(SELECT "Trial", "Role", "Subject", "Player", "FromWeek" FROM "datTeam"
         WHERE "Team" = ? AND "Member" = 4 ORDER BY "Trial")",
      {team});
  ASSERT_EQ(open.size(), 2u);
  for (const Row& r : open) {
    EXPECT_EQ(r.cell("Role").toText(), "Factory");
    EXPECT_TRUE(r.cell("Subject").isNull());
    EXPECT_EQ(r.cell("Player").toText(), "Sterman");
    EXPECT_EQ(r.cell("FromWeek").toInt32(), 1);
  }
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datTeam" WHERE "Team" = ?
                               AND "Player" IS NULL)",
                    {team}),
            2 * 3)
      << "each student's own row of each trial";
}

// A member who is gone does not stop a team whose weeks have a clock: once
// a week's time ran out on the server's clock, the member still playing
// orders for the gone one by the clock's rule; each week of the gone member
// is stored once, as the clock's.
TEST_F(TeamPlay, WeekClockOrdersForAGoneMemberAndTheTeamPlaysOn) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3, 1);
  demo.db.insert("tblSetting", {{"Setting", "Pair"}, {"WeekSeconds", 10}});
  demo.moveToServer();
  fixMembers("Pair", "Green", "G1 G2");
  const pid_t steady = startMember(demo, "Pair", "G1", "Green", out("G1"));
  const pid_t gone = startPilotOf(demo, "Pair", "G2", out("G2"),
                                  {"--team", "Green", "--skip-training", "--stop-after", "1"});
  waitForOrders("G2", false, 1);
  ::kill(gone, SIGKILL);
  waitAtMost(gone);
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("G1"));

  for (int64_t week = 1; week <= 3; ++week) {
    SCOPED_TRACE(week);
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datTeamOrder" WHERE "Team" = 'Green'
                         AND "Member" = 2 AND "Week" = ? AND "Clock" = ?)",
                      {week, int64_t{week == 1 ? 0 : 1}}),
              1);
    EXPECT_EQ(countOf(demo,
                      R"(SELECT count(*) AS "n" FROM "datTeamOrder" WHERE "Team" = 'Green'
                         AND "Week" = ?)",
                      {week}),
              2);
  }
  EXPECT_EQ(countOf(demo,
                    R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = 'G1'
                       AND "Training" = 0 AND "Role" = 'Retailer' AND "User" = 6)",
                    {}),
            3);
}

// A replaced member who comes back records the rest of the trial as its
// workstation replays it, but the weeks the simulated player played are not
// the member's: from FromWeek on its stage's rows carry User 0, its
// datTrial row names the player, and the report ends the member's trial
// before FromWeek (no rank, not in the summary).
TEST_F(TeamPlay, ReplacedMemberWhoComesBackIsNotCreditedWithThePlayersWeeks) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 8, 1);
  demo.moveToServer();
  fixMembers("Pair", "Back", "B1 B2");
  const pid_t steady = startMember(demo, "Pair", "B1", "Back", out("B1"), "60");
  const pid_t gone = startMember(demo, "Pair", "B2", "Back", out("B2-gone"));
  waitForOrders("B2", false, 2);
  ::kill(gone, SIGKILL);
  waitAtMost(gone);
  const std::string replace = std::string(QUARN_ADMIN_TOOL) + " replace " + demo.dataDir() +
                              " Pair Back 2 Sterman > " + out("replace") + " 2>&1";
  ASSERT_EQ(std::system(replace.c_str()), 0) << readFile(out("replace"));
  const pid_t back = startMember(demo, "Pair", "B2", "Back", out("B2"));
  EXPECT_EQ(waitAtMost(back), 0) << readFile(out("B2"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("B1"));

  const int64_t fromWeek =
      demo.played()
          .tables()
          .reads()
          .query(R"(SELECT "FromWeek" FROM "datTeam" WHERE "Team" = 'Back' AND "Member" = 2)")
          .front()
          .cell("FromWeek")
          .toInt32();
  ASSERT_GE(fromWeek, 2);
  ASSERT_LE(fromWeek, 8);
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = 'B2')", {}),
            8 * kRoleCount)
      << "the workstation that came back recorded every week";
  EXPECT_EQ(countOf(demo,
                    R"(SELECT count(*) AS "n" FROM "datRole" WHERE "Subject" = 'B2'
                       AND "Role" = 'Factory' AND "User" = 6)",
                    {}),
            fromWeek - 1)
      << "the member's own weeks";
  EXPECT_EQ(demo.played()
                .tables()
                .reads()
                .query(R"(SELECT "Factory" FROM "datTrial" WHERE "Subject" = 'B2')")
                .front()
                .cell("Factory")
                .toText(),
            "Sterman");

  const std::string report = demo.db.folder() + "/report";
  const std::string run = std::string(QUARN_ADMIN_TOOL) + " report " + demo.dataDir() + " --out " +
                          report + " --runs 0 > " + out("report") + " 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0) << readFile(out("report"));
  // B2's Factory: Participant 1, its own weeks only, not complete.
  const std::string measures = readFile(report + "/measures.csv");
  EXPECT_NE(measures.find("B2,Pair,1,Factory,Subject,1," + std::to_string(fromWeek - 1) + ","),
            std::string::npos)
      << measures;
  EXPECT_EQ(measures.find("B2,Pair,1,Factory,Sterman,1,"), std::string::npos) << measures;
  EXPECT_NE(readFile(report + "/summary.csv").find("Pair,1,Factory,0,"), std::string::npos)
      << readFile(report + "/summary.csv");
  EXPECT_NE(
      readFile(report + "/index.html").find("<td class=\"incomplete\">incomplete</td><td>B2</td>"),
      std::string::npos);
}

// A pause holds the whole team, and one member's moderator passes it for
// all: the member whose pilot types no password goes on with the team.
TEST_F(TeamPlay, OneModeratorsPasswordPassesThePauseForTheWholeTeam) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3);
  demo.db.exec("INSERT INTO tblPause (Setting, Trial, Password) VALUES ('Pair', 1, 'go on')");
  demo.moveToServer();
  const pid_t typing = startMember(demo, "Pair", "Q1", "Pause", out("Q1"));
  const pid_t waiting = startPilotOf(demo, "Pair", "Q2", out("Q2"),
                                     {"--team", "Pause", "--skip-training", "--wait-at-pauses"});
  EXPECT_EQ(waitAtMost(typing), 0) << readFile(out("Q1"));
  EXPECT_EQ(waitAtMost(waiting), 0) << readFile(out("Q2"));
  EXPECT_NE(readFile(out("Q1")).find("Pause after trial 1: password entered"), std::string::npos);
  EXPECT_EQ(readFile(out("Q2")).find("Pause after trial"), std::string::npos);
  expectTeamRecords(demo, "Pair", "Pause", {"Q1", "Q2"}, 3);
}

// A training row naming members is played by the team together: when any
// member's stage breaks the limits, the whole team plays the training trial
// again, and every member records each training trial begun.
TEST_F(TeamPlay, TeamTrainsTogetherAndRestartsWhenAnyMembersStageBreaksTheLimits) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 4);
  trainTogether(demo.db, "Pair", {"Retailer", "Factory"}, 6);
  demo.moveToServer();
  fixMembers("Pair", "Gold", "R1 R2");
  // The Factory's first orders run its inventory past the bound.
  playMembers("Pair", "Gold",
              {{"R1", {}}, {"R2", {"--orders", ordersFile(demo, "R2", {90, 90, 4})}}});
  EXPECT_NE(readFile(out("R1")).find("(Factory: Inventory/Backorder exceeded 30), played again"),
            std::string::npos)
      << "the Retailer's training trial restarts for the Factory's fault";
  expectTrainingRecords(demo, "Pair", "Gold", {"R1", "R2"}, 2);
  expectTeamRecords(demo, "Pair", "Gold", {"R1", "R2"}, 4);
}

// One member's moderator ends training for the whole team: the member whose
// pilot types no password goes on to the experiment with the team.
TEST_F(TeamPlay, OneModeratorsPasswordEndsTrainingForTheWholeTeam) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3);
  trainTogether(demo.db, "Pair", {"Retailer", "Factory"}, 6);
  demo.moveToServer();
  playMembers("Pair", "Skip", {{"S1", {"--skip-training"}}, {"S2", {}}});
  EXPECT_NE(readFile(out("S1")).find("Training skipped: password entered"), std::string::npos);
  EXPECT_EQ(readFile(out("S2")).find("Training skipped"), std::string::npos);
  EXPECT_LE(countOf(demo,
                    R"(SELECT count(*) AS "n" FROM "datTrial" WHERE "Subject" = 'S2'
                       AND "Training" = 1)",
                    {}),
            1);
  expectTeamRecords(demo, "Pair", "Skip", {"S1", "S2"}, 3);
}

// A member killed at random moments of the team's training comes back where
// the team trains: no training week lost, doubled or numbered anew.
TEST_F(TeamPlay, MemberKilledInTrainingComesBackWhereTheTeamTrains) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3);
  trainTogether(demo.db, "Pair", {"Retailer", "Factory"}, 8);
  demo.moveToServer();
  const pid_t steady =
      startPilotOf(demo, "Pair", "K1", out("K1"), {"--team", "Red", "--pace", "60"});
  // At least two passed training trials of 8 weeks: each killed pilot
  // orders 1 to 4 training weeks.
  killThriceAndReturn("K2", {"--team", "Red", "--orders", ordersFile(demo, "K2", {90, 90, 4})},
                      true, 16);
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("K1"));
  expectTrainingRecords(demo, "Pair", "Red", {"K1", "K2"}, 2);
  expectTeamRecords(demo, "Pair", "Red", {"K1", "K2"}, 3);
}

// A team trains once: a member who comes back after the team's training
// goes straight on with the experiment trial it left.
TEST_F(TeamPlay, MemberBackAfterTheTeamsTrainingGoesStraightToTheExperiment) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 8);
  trainTogether(demo.db, "Pair", {"Retailer", "Factory"}, 3);
  demo.moveToServer();
  const pid_t steady =
      startPilotOf(demo, "Pair", "A1", out("A1"), {"--team", "Once", "--pace", "40"});
  const pid_t leaving = startPilotOf(demo, "Pair", "A2", out("A2-left"), {"--team", "Once"});
  // The member leaves once it has ordered in the first experiment trial.
  waitForOrders("A2", false, 2);
  ::kill(leaving, SIGKILL);
  waitAtMost(leaving);
  const pid_t returned = startPilotOf(demo, "Pair", "A2", out("A2"), {"--team", "Once"});
  EXPECT_EQ(waitAtMost(returned), 0) << readFile(out("A2"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("A1"));
  EXPECT_EQ(readFile(out("A2")).find("Training trial"), std::string::npos) << readFile(out("A2"));
  expectTrainingRecords(demo, "Pair", "Once", {"A1", "A2"}, 2);
  expectTeamRecords(demo, "Pair", "Once", {"A1", "A2"}, 8);
}

// A pause holds the team whatever restarts: a member whose workstation
// starts again while the team sits in the pause sits in it again, and so do
// both members started again; nobody orders the next trial until a
// moderator types the password, which one started again then does.
TEST_F(TeamPlay, MembersStartedAgainInAPauseSitInItUntilItsPassword) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3);
  demo.db.exec("INSERT INTO tblPause (Setting, Trial, Password) VALUES ('Pair', 1, 'go on')");
  demo.moveToServer();
  const std::vector<std::string> waiting = {"--team", "Hold", "--skip-training",
                                            "--wait-at-pauses"};
  PilotsKilledAtEnd pilots;
  std::map<std::string, pid_t> running;
  int starts = 0;
  const auto start = [&](const std::string& subject, const std::vector<std::string>& options) {
    const pid_t pid =
        startPilotOf(demo, "Pair", subject, out(subject + "-" + std::to_string(++starts)), options);
    pilots.pids.push_back(pid);
    running[subject] = pid;
  };
  const auto restart = [&](const std::string& subject, const std::vector<std::string>& options) {
    ::kill(running[subject], SIGKILL);
    waitFor(running[subject]);
    start(subject, options);
  };
  start("H1", waiting);
  start("H2", waiting);
  ASSERT_TRUE(pausedAt("H1", running["H1"]));
  ASSERT_TRUE(pausedAt("H2", running["H2"]));

  restart("H2", waiting);
  ASSERT_TRUE(pausedAt("H2", running["H2"])) << readFile(out("H2-3"));
  restart("H1", waiting);
  restart("H2", waiting);
  ASSERT_TRUE(pausedAt("H1", running["H1"])) << readFile(out("H1-4"));
  ASSERT_TRUE(pausedAt("H2", running["H2"])) << readFile(out("H2-5"));
  EXPECT_EQ(countOf(demo,
                    R"(SELECT count(*) AS "n" FROM "datTeamOrder" WHERE "Team" = 'Hold'
                       AND "Training" = 0 AND "Trial" = 2)",
                    {}),
            0)
      << "no order of the next trial, nor the pause passed";

  restart("H1", {"--team", "Hold", "--skip-training"});
  EXPECT_EQ(waitAtMost(running["H1"]), 0) << readFile(out("H1-6"));
  EXPECT_EQ(waitAtMost(running["H2"]), 0) << readFile(out("H2-5"));
  EXPECT_NE(readFile(out("H1-6")).find("Pause after trial 1: password entered"), std::string::npos)
      << readFile(out("H1-6"));
  expectTeamRecords(demo, "Pair", "Hold", {"H1", "H2"}, 3);
}

// A member's workstation killed after a week's text line was written and
// before the week's rows were stored replays that week when it comes back:
// its text file holds each recorded week once.
TEST_F(TeamPlay, MemberKilledBetweenTheTextLineAndTheRowsHasOneLineAWeek) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 4, 1);
  demo.moveToServer();
  PilotsKilledAtEnd pilots;
  RowsHeld held(demo.server->connection());
  const pid_t steady = startMember(demo, "Pair", "L1", "Line", out("L1"));
  const pid_t killed = startMember(demo, "Pair", "L2", "Line", out("L2-killed"));
  pilots.pids = {steady, killed};
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (textLinesByWeek(demo.textFile("L2")).empty() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(textLinesByWeek(demo.textFile("L2")).size(), 1u) << readFile(out("L2-killed"));
  ::kill(killed, SIGKILL);
  waitFor(killed);
  held.release();

  const pid_t returned = startMember(demo, "Pair", "L2", "Line", out("L2"));
  pilots.pids.push_back(returned);
  EXPECT_EQ(waitAtMost(returned), 0) << readFile(out("L2"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("L1"));
  expectTeamRecords(demo, "Pair", "Line", {"L1", "L2"}, 4, 1);
  for (const std::string member : {"L1", "L2"}) {
    const std::map<std::string, int> lines = textLinesByWeek(demo.textFile(member));
    EXPECT_EQ(lines.size(), 4u) << member;
    for (const auto& [week, count] : lines) EXPECT_EQ(count, 1) << member << ": " << week;
  }
}

// The second member types the team's name in other letters: one team.
TEST_F(TeamPlay, TeamNamesAreOneNameWhateverTheirLetterCase) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3, 1);
  demo.moveToServer();
  const pid_t first = startMember(demo, "Pair", "C1", "green", out("C1"));
  ASSERT_TRUE(
      untilCounted(R"(SELECT count(*) AS "n" FROM "datTeamMember" WHERE "Subject" = 'C1')", {}, 1));
  const pid_t second = startMember(demo, "Pair", "C2", "GREEN", out("C2"));
  EXPECT_EQ(waitAtMost(first), 0) << readFile(out("C1"));
  EXPECT_EQ(waitAtMost(second), 0) << readFile(out("C2"));
  expectTeamRecords(demo, "Pair", "green", {"C1", "C2"}, 3, 1);
}

// A team name the login refuses is refused with its reason before anything
// is written.
TEST_F(TeamPlay, TeamNamesTheLoginRefusesWriteNothing) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3, 1);
  demo.moveToServer();
  const struct {
    std::string team;
    std::string reason;
  } cases[] = {
      {std::string(9000, 'x'), "A team name has at most 21 characters."},
      {"a,b", "A team name cannot hold a comma"},
      {"Blue\xE2\x80\x8B", "A team name cannot hold invisible characters"},
  };
  for (const auto& c : cases) {
    const pid_t refused = startMember(demo, "Pair", "N1", c.team, out("N1"));
    EXPECT_EQ(waitAtMost(refused), 1);
    EXPECT_NE(readFile(out("N1")).find("the login refused: " + c.reason), std::string::npos)
        << readFile(out("N1"));
  }
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datUser")", {}), 0);
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datPlaying")", {}), 0);
}

// A User ID belongs to one team of a setting: a member fixed in team RJ is
// refused by another team before anything is written, and goes on in RJ
// whatever the letter case of the name typed.
TEST_F(TeamPlay, UserIdBelongsToOneTeamOfTheSetting) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3, 1);
  demo.moveToServer();
  fixMembers("Pair", "RJ", "R1 R2");
  const pid_t stray = startMember(demo, "Pair", "r1", "Other", out("stray"));
  EXPECT_EQ(waitAtMost(stray), 1);
  EXPECT_NE(
      readFile(out("stray"))
          .find("r1 is a member of team RJ in this setting.  Please type RJ in the Team box."),
      std::string::npos)
      << readFile(out("stray"));
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datUser")", {}), 0);
  EXPECT_EQ(
      countOf(demo, R"(SELECT count(*) AS "n" FROM "datTeamMember" WHERE "Team" <> 'RJ')", {}), 0);

  playTeam("Pair", "rj", {"R1", "R2"});
  expectTeamRecords(demo, "Pair", "RJ", {"R1", "R2"}, 3, 1);
}

// A full team refuses a participant before the questionnaire: no datUser
// row, no mark, no text file.
TEST_F(TeamPlay, FullTeamRefusesBeforeAnythingIsWritten) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3, 1);
  demo.moveToServer();
  fixMembers("Pair", "T1", "P1 P2");
  const pid_t late = startMember(demo, "Pair", "X9", "T1", out("X9"));
  EXPECT_EQ(waitAtMost(late), 1);
  EXPECT_NE(readFile(out("X9")).find("Team T1 is full: its members are P1, P2."), std::string::npos)
      << readFile(out("X9"));
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datUser")", {}), 0);
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datPlaying")", {}), 0);
  EXPECT_FALSE(fs::exists(demo.textFile("X9")));
}

// Members fixed beforehand count once they have logged in: the first one to
// arrive waits for the team without starting the trial.
TEST_F(TeamPlay, FixedMembersCountOnceTheyHaveLoggedIn) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 3, 1);
  demo.moveToServer();
  fixMembers("Pair", "T1", "F1 F2");
  const pid_t first = startMember(demo, "Pair", "F1", "T1", out("F1"));
  ASSERT_TRUE(untilCounted(
      R"(SELECT count(*) AS "n" FROM "datPlaying" WHERE "Subject" = 'F1' AND "State" = 'team')", {},
      1));
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datTeam")", {}), 0)
      << "the trial started before the team was here";
  EXPECT_EQ(countOf(demo, R"(SELECT count(*) AS "n" FROM "datTeamOrder")", {}), 0);

  const pid_t second = startMember(demo, "Pair", "F2", "T1", out("F2"));
  EXPECT_EQ(waitAtMost(first), 0) << readFile(out("F1"));
  EXPECT_EQ(waitAtMost(second), 0) << readFile(out("F2"));
  expectTeamRecords(demo, "Pair", "T1", {"F1", "F2"}, 3, 1);
}

}  // namespace
}  // namespace quarn::testing
