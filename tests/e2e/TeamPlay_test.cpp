#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>
#include <tuple>

#include "plan/PlanReaders.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/support/FixedClocks.h"

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
  std::string assignments;
  for (size_t m = 0; m < stages.size(); ++m) {
    assignments += ", \"" + stages[m] + "\" = 'Subject" + std::to_string(m + 1) + "'";
  }
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
          setting + "', numweeks = " + std::to_string(weeks) + assignments + others +
          ";"
          "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;"
          "CREATE TEMP TABLE t AS SELECT * FROM tblTraining WHERE Setting = 'Demo';"
          "UPDATE t SET Setting = '" +
          setting + "'; INSERT INTO tblTraining SELECT * FROM t; DROP TABLE t;");
}

pid_t startMember(const DemoFolder& demo, const std::string& setting, const std::string& subject,
                  const std::string& team, const std::string& out, const std::string& pace = "0") {
  return startPilotOf(demo, setting, subject, out,
                      {"--team", team, "--skip-training", "--pace", pace});
}

// The figures the team's week step gives from the orders the team stored,
// computed here from the plan alone: the independent account of the rows.
std::map<WeekStage, Figures> teamModel(Stores& stores, const std::string& setting,
                                       const std::string& team, const std::string& inputFolder) {
  const std::vector<PlayerStrategy> players = readPlayers(stores.plan()).players;
  const std::vector<TrialPlan> blocks =
      readBlocks(stores.plan(), players, setting, inputFolder).trials;
  std::map<WeekStage, Figures> figures;
  for (size_t t = 0; t < blocks.size(); ++t) {
    const int16_t trialNumber = static_cast<int16_t>(t + 1);
    TrialPlan trial = forMember(blocks[t], 1);
    Chain chain;
    ManualTickCounter ticks;
    StandardUniformRandom random(teamNoiseSeed(setting, team, trialNumber));
    ChainContext c{trial, players, chain, ticks, random, [&] {
                     const int week = chain.currentWeek - 1;
                     for (int16_t r = 0; r < kRoleCount; ++r) {
                       const RoleState& s = chain.roles[static_cast<size_t>(r)];
                       figures[{trialNumber, week, s.roleName}] = {s.inventory, s.demand,
                                                                   s.satisfied, s.weeklyCost,
                                                                   s.totalCost, s.delaySlots.at(0)};
                     }
                   }};
    startTrialChain(c, inputFolder);
    const TeamKey key{setting, team};
    for (const TeamTrialMember& replaced : stores.teams().replacements(key, trialNumber)) {
      const size_t stage = static_cast<size_t>(memberStage(trial, replaced.member));
      chain.replacedFromWeek[stage] = replaced.fromWeek;
      for (size_t p = 0; p < players.size(); ++p) {
        if (players[p].name == replaced.player) trial.rolePlayers[stage] = static_cast<int16_t>(p);
      }
    }
    const std::vector<TypedOrder> orders = stores.teams().orders(key, trialNumber, false);
    for (int16_t week = 1; week <= trial.weeks; ++week) {
      std::array<int16_t, kRoleCount> typed{};
      for (const TypedOrder& order : orders) {
        if (order.week == week) {
          typed[static_cast<size_t>(memberStage(trial, order.member))] =
              static_cast<int16_t>(order.order);
        }
      }
      pressTeamWeek(c, typed);
    }
  }
  return figures;
}

// A member's experiment rows in datRole, by trial, week and stage.
std::map<WeekStage, Figures> memberRows(DemoFolder& demo, const std::string& setting,
                                        const std::string& subject) {
  const Rows rows = demo.server->tables().reads().query(
      R"(SELECT "Trial", "Week", "Role", "Inventory", "Demand", "Satisfied", "WeeklyCost",
                "TotalCost", "Delay1"
         FROM "datRole" WHERE "Setting" = ? AND "Subject" = ? AND "Training" = 0)",
      {setting, subject});
  std::map<WeekStage, Figures> figures;
  for (const Row& row : rows) {
    figures[{row.cell("Trial").toInt32(), row.cell("Week").toInt32(), row.cell("Role").toText()}] =
        {row.cell("Inventory").toInt32(), row.cell("Demand").toInt32(),
         row.cell("Satisfied").toInt32(), row.cell("WeeklyCost").toInt32(),
         row.cell("TotalCost").toInt32(), row.cell("Delay1").toInt32()};
  }
  return figures;
}

int64_t countOf(DemoFolder& demo, const std::string& sql, const SqlParams& params) {
  return demo.server->tables().reads().query(sql, params).front().cell("n").toInt32();
}

// Every member recorded every week of both trials once, with the figures the
// week step gives from the orders the team typed.
void expectTeamRecords(DemoFolder& demo, const std::string& setting, const std::string& team,
                       const std::vector<std::string>& members, int weeks, int trials = 2) {
  const std::map<WeekStage, Figures> model =
      teamModel(demo.server->stores(), setting, team, (demo.app / "Input").string());
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
                                AND "Team" = ?)",
                    {setting, team}),
            static_cast<int64_t>(trials * members.size()));
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
  // Runs one pilot per member and expects each to play to the end.
  void playTeam(const std::string& setting, const std::string& team,
                const std::vector<std::string>& members) {
    std::vector<pid_t> pids;
    for (const std::string& m : members)
      pids.push_back(startMember(demo, setting, m, team, out(m)));
    for (size_t i = 0; i < pids.size(); ++i) {
      EXPECT_EQ(waitAtMost(pids[i]), 0) << readFile(out(members[i]));
    }
  }

  DemoFolder demo;
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
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> moment(150, 500);
  for (int kill = 0; kill < 3; ++kill) {
    const pid_t member = startMember(demo, "Pair", "K2", "Red", out("K2-" + std::to_string(kill)));
    std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
    ::kill(member, SIGKILL);
    waitAtMost(member);
  }
  const pid_t returned = startMember(demo, "Pair", "K2", "Red", out("K2"));
  EXPECT_EQ(waitAtMost(returned), 0) << readFile(out("K2"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("K1"));
  expectTeamRecords(demo, "Pair", "Red", {"K1", "K2"}, 8);
}

// A member who does not come back is replaced by a simulated player for the
// rest of the trial: the team plays to its end, the player orders for the
// member's stage from the first week the member had not ordered, and the
// records say so.
TEST_F(TeamPlay, ReplacedMemberIsPlayedBySimulatedPlayerToTheTrialsEnd) {
  addTeamSetting(demo.db, "Pair", {"Retailer", "Factory"}, 12, 1);
  demo.moveToServer();
  // Member numbers fixed beforehand: by arrival, G2 could be member 1.
  const std::string fix = std::string(QUARN_ADMIN_TOOL) + " team " + demo.dataDir() +
                          " Pair Green G1 G2 > " + out("team") + " 2>&1";
  ASSERT_EQ(std::system(fix.c_str()), 0) << readFile(out("team"));
  const pid_t steady = startMember(demo, "Pair", "G1", "Green", out("G1"), "60");
  const pid_t gone = startMember(demo, "Pair", "G2", "Green", out("G2"));
  // The member leaves once it has ordered a few weeks.
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (countOf(demo, R"(SELECT count(*) AS "n" FROM "datTeamOrder" WHERE "Subject" = ?)",
                 {std::string("G2")}) < 3 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  ::kill(gone, SIGKILL);
  waitAtMost(gone);
  const std::string replace = std::string(QUARN_ADMIN_TOOL) + " replace " + demo.dataDir() +
                              " Pair Green 2 Sterman > " + out("replace") + " 2>&1";
  ASSERT_EQ(std::system(replace.c_str()), 0) << readFile(out("replace"));
  EXPECT_EQ(waitAtMost(steady), 0) << readFile(out("G1"));

  const Rows replaced = demo.server->tables().reads().query(
      R"(SELECT "Player", "FromWeek" FROM "datTeam" WHERE "Team" = 'Green' AND "Member" = 2)");
  ASSERT_EQ(replaced.size(), 1u);
  EXPECT_EQ(replaced.front().cell("Player").toText(), "Sterman");
  const int fromWeek = replaced.front().cell("FromWeek").toInt32();
  EXPECT_NE(readFile(out("replace"))
                .find("is played by Sterman from trial 1, week " + std::to_string(fromWeek)),
            std::string::npos);
  const std::map<WeekStage, Figures> model =
      teamModel(demo.server->stores(), "Pair", "Green", (demo.app / "Input").string());
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
  EXPECT_EQ(demo.server->tables()
                .reads()
                .query(R"(SELECT "Factory" FROM "datTrial" WHERE "Subject" = 'G1')")
                .front()
                .cell("Factory")
                .toText(),
            "Sterman");
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

}  // namespace
}  // namespace quarn::testing
