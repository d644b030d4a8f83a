// The moderator's live view of teams that real pilot processes play on the
// throw-away server: `watch --once --json` read in each state a team can be
// in, the pilots held there with --stop-after or --wait-at-pauses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "db/postgres/PgConnection.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

// A pair setting on the demo's first two trials, three weeks each: member 1
// at the Retailer and member 2 at the Factory in trial 1, the other way
// round in trial 2, the middle stages simulated; a pause after trial 1. Its
// training is the demo's: each member trains alone, unless `together`
// names the members in it (six weeks a training trial).
void addPairSetting(TestDatabase& db, const std::string& setting, bool together = false) {
  db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= 2;"
      "UPDATE b SET Setting = '" +
      setting +
      "', numweeks = 3, \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
      "UPDATE b SET \"Retailer\" = 'Subject1', \"Factory\" = 'Subject2' WHERE \"Index\" = 1;"
      "UPDATE b SET \"Retailer\" = 'Subject2', \"Factory\" = 'Subject1' WHERE \"Index\" = 2;"
      "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  db.exec("INSERT INTO tblPause (Setting, Trial, Password) VALUES ('" + setting + "', 1, 'go on')");
  copyDemoTraining(db, setting);
  if (together) trainTogether(db, setting, {"Retailer", "Factory"}, 6);
}

class TeamWatchView : public ::testing::Test {
 protected:
  void SetUp() override {
    addPairSetting(demo.db, "Pair");
    addPairSetting(demo.db, "Together", true);
    demo.moveToServer();
  }
  void TearDown() override {
    for (const pid_t pid : m_pilots) {
      if (::waitpid(pid, nullptr, WNOHANG) != 0) continue;  // ended, and waited for
      ::kill(pid, SIGKILL);
      waitFor(pid);
    }
  }

  std::string out(const std::string& name) const { return demo.db.folder() + "/" + name + ".out"; }

  // A member's pilot of `team`, left running until the test ends.
  pid_t member(const std::string& setting, const std::string& team, const std::string& subject,
               std::vector<std::string> options) {
    options.insert(options.begin(), {"--team", team});
    const pid_t pid = startPilotOf(demo, setting, subject, out(subject), options);
    m_pilots.push_back(pid);
    return pid;
  }

  // Runs the admin tool; its output goes to `name`.out.
  void tool(const std::string& name, const std::string& arguments) {
    const std::string command =
        std::string(QUARN_ADMIN_TOOL) + " " + arguments + " > " + out(name) + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(out(name));
  }

  // Waits (30 s at most) until every one of `subjects` is marked as playing
  // in `state` at Trial `trial` (its recorded number), week `week`; a trial
  // of 0 takes any trial and week.
  void waitForMarks(const std::vector<std::string>& subjects, const std::string& state, int trial,
                    int week) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (;;) {
      int64_t marked = 0;
      for (const std::string& subject : subjects) {
        marked += countOf(R"(SELECT count(*) AS "n" FROM "datPlaying" WHERE "Subject" = ?
                             AND "State" = ? AND (? = 0 OR ("Trial" = ? AND "Week" = ?)))",
                          {subject, state, int64_t{trial}, int64_t{trial}, int64_t{week}});
      }
      if (marked == static_cast<int64_t>(subjects.size())) return;
      if (std::chrono::steady_clock::now() > deadline) {
        FAIL() << "not every member reached " << state << " at trial " << trial << ", week "
               << week;
      }
      std::this_thread::sleep_for(20ms);
    }
  }

  int64_t countOf(const std::string& sql, const SqlParams& params) {
    return demo.server->tables().reads().query(sql, params).front().cell("n").toInt32();
  }

  // A change to the server's rows, as the moderator makes it with psql.
  void change(const std::string& sql) { PgConnection(demo.server->connection()).exec(sql); }

  // The team's object of one `watch --once --json` view (null when the
  // view does not list the team).
  Json teamView(const std::string& team) {
    tool("watch", "watch " + demo.dataDir() + " --once --json");
    std::istringstream lines(readFile(out("watch")));
    for (std::string line; std::getline(lines, line);) {
      const Json object = Json::parse(line);
      if (object.contains("team") && object["team"] == team) return object;
    }
    ADD_FAILURE() << "team " << team << " not in the view:\n" << readFile(out("watch"));
    return Json();
  }

  DemoFolder demo;

 private:
  std::vector<pid_t> m_pilots;
};

// The member numbers by the order of the team's members in a view.
Json memberField(const Json& view, const char* field) {
  Json values = Json::array();
  for (const Json& m : view["members"]) values.push_back(m[field]);
  return values;
}

// A team still forming shows who is here.
TEST_F(TeamWatchView, AFormingTeamShowsWhoIsHere) {
  member("Pair", "Forms", "F1", {"--skip-training"});
  waitForMarks({"F1"}, "team", 0, 0);
  const Json view = teamView("Forms");
  EXPECT_EQ(view["state"], "Waiting for your team: 1 of 2 here (F1)");
  EXPECT_EQ(view["trial"], nullptr);
  EXPECT_EQ(view["here"], 1);
}

// Members who train alone are each at a training trial and week of their
// own: the view says so instead of a team waiting at no trial.
TEST_F(TeamWatchView, MembersTrainingAloneShowTheirOwnTrialAndWeek) {
  tool("team", "team " + demo.dataDir() + " Pair Alone A1 A2");
  member("Pair", "Alone", "A1", {"--stop-after", "1"});
  member("Pair", "Alone", "A2", {"--stop-after", "2"});
  waitForMarks({"A1"}, "order", -1, 2);
  waitForMarks({"A2"}, "order", -1, 3);
  const Json view = teamView("Alone");
  EXPECT_EQ(view["state"], "each member trains alone");
  EXPECT_EQ(view["waitingFor"], Json::array());
  EXPECT_EQ(memberField(view, "trial"), Json::parse("[-1, -1]"));
  EXPECT_EQ(memberField(view, "training"), Json::parse("[true, true]"));
  EXPECT_EQ(memberField(view, "week"), Json::parse("[2, 3]"));
  EXPECT_EQ(memberField(view, "state"), Json::parse(R"(["order", "order"])"));
}

// A team training together waits for the member who has not ordered the
// open training week; the other has.
TEST_F(TeamWatchView, ATeamTrainingTogetherWaitsForTheMemberStillToOrder) {
  tool("team", "team " + demo.dataDir() + " Together Drill T1 T2");
  member("Together", "Drill", "T1", {"--stop-after", "2"});
  member("Together", "Drill", "T2", {"--stop-after", "1"});
  waitForMarks({"T1"}, "team", -1, 1);
  waitForMarks({"T2"}, "order", -1, 2);
  const Json view = teamView("Drill");
  EXPECT_EQ(view["trial"], 1);
  EXPECT_EQ(view["training"], true);
  EXPECT_EQ(view["week"], 2);
  EXPECT_EQ(view["weeks"], 6);
  EXPECT_EQ(view["ordered"], Json::parse(R"(["T1"])"));
  EXPECT_EQ(view["waitingFor"], Json::parse(R"(["T2"])"));
  EXPECT_EQ(memberField(view, "role"), Json::parse(R"(["Retailer", "Factory"])"));
}

// One member's moderator skips the training the team plays together after
// the other member ordered its first training week: the team stands at the
// first week of trial 1, waiting for both, not at the training week.
TEST_F(TeamWatchView, AfterTheTrainingSkipTheTeamIsAtTheFirstTrial) {
  tool("team", "team " + demo.dataDir() + " Together Skip S1 S2");
  // S2 waits for the team in training before S1 comes: S2 then orders its
  // first training week whenever S1's moderator skips.
  member("Together", "Skip", "S2", {"--stop-after", "1"});
  waitForMarks({"S2"}, "team", 0, 0);
  member("Together", "Skip", "S1", {"--skip-training", "--stop-after", "0"});
  waitForMarks({"S1", "S2"}, "order", 1, 1);
  const Json view = teamView("Skip");
  EXPECT_EQ(view["trial"], 1);
  EXPECT_EQ(view["training"], false);
  EXPECT_EQ(view["week"], 1);
  EXPECT_EQ(view["weeks"], 3);
  EXPECT_EQ(view["ordered"], Json::array());
  EXPECT_EQ(view["waitingFor"], Json::parse(R"(["S1", "S2"])"));
  EXPECT_EQ(view["state"].get<std::string>().rfind("waiting for S1, S2 since", 0), 0u)
      << view["state"];
}

// A pause holds both members: the trial's last week is played, each member
// sits in the pause.
TEST_F(TeamWatchView, APausedTeamShowsItsTrialPlayedAndItsMembersInThePause) {
  tool("team", "team " + demo.dataDir() + " Pair Pause P1 P2");
  for (const char* subject : {"P1", "P2"}) {
    member("Pair", "Pause", subject, {"--skip-training", "--wait-at-pauses"});
  }
  waitForMarks({"P1", "P2"}, "pause", 1, 3);
  const Json view = teamView("Pause");
  EXPECT_EQ(view["trial"], 1);
  EXPECT_EQ(view["week"], 3);
  EXPECT_EQ(view["weeks"], 3);
  EXPECT_EQ(view["state"], "the trial's last week is played");
  EXPECT_EQ(memberField(view, "state"), Json::parse(R"(["pause", "pause"])"));
}

// Once the pause is passed the team stands at the next trial's first week,
// each member at its stage of that trial (the stages rotate), also a member
// whose workstation is gone and whose mark the moderator cleared.
TEST_F(TeamWatchView, AfterThePauseTheTeamIsAtTheNextTrialWithItsStages) {
  tool("team", "team " + demo.dataDir() + " Pair Next N1 N2");
  member("Pair", "Next", "N1", {"--skip-training", "--stop-after", "3"});
  const pid_t leaving =
      member("Pair", "Next", "N2", {"--skip-training", "--wait-at-pauses", "--stop-after", "3"});
  waitForMarks({"N1", "N2"}, "order", 2, 1);
  ::kill(leaving, SIGKILL);
  waitFor(leaving);
  change(R"(DELETE FROM "datPlaying" WHERE "Subject" = 'N2')");
  const Json view = teamView("Next");
  EXPECT_EQ(view["trial"], 2);
  EXPECT_EQ(view["week"], 1);
  EXPECT_EQ(view["weeks"], 3);
  EXPECT_EQ(view["waitingFor"], Json::parse(R"(["N1", "N2"])"));
  EXPECT_EQ(memberField(view, "role"), Json::parse(R"(["Factory", "Retailer"])"));
  EXPECT_EQ(memberField(view, "state"), Json::parse(R"(["order", "closed"])"));
}

// The moderator replaces the member the team waited for: the week that
// completes is played then, and the next week's wait counts from there,
// not from the other member's order typed long before.
TEST_F(TeamWatchView, AfterAReplacementTheWaitCountsFromTheWeekItCompleted) {
  tool("team", "team " + demo.dataDir() + " Pair Swap R1 R2");
  member("Pair", "Swap", "R1", {"--skip-training", "--stop-after", "2"});
  member("Pair", "Swap", "R2", {"--skip-training", "--stop-after", "1"});
  waitForMarks({"R1"}, "team", 1, 1);
  waitForMarks({"R2"}, "order", 1, 2);
  // R1's order of week 2 was typed ten minutes ago.
  change(R"(UPDATE "datTeamOrder" SET "Stored" = "Stored" - 600
             WHERE "Team" = 'Swap' AND "Week" = 2)");
  tool("replace", "replace " + demo.dataDir() + " Pair Swap 2 Sterman");
  waitForMarks({"R1"}, "order", 1, 3);
  const Json view = teamView("Swap");
  EXPECT_EQ(view["week"], 3);
  EXPECT_EQ(view["waitingFor"], Json::parse(R"(["R1"])"));
  ASSERT_TRUE(view["waitingSeconds"].is_number()) << view;
  EXPECT_LT(view["waitingSeconds"].get<int64_t>(), 120) << view;
  EXPECT_EQ(memberField(view, "replacedBy"), Json::parse(R"([null, "Sterman"])"));
}

// A team that played its last trial to the end is finished: the view says
// so (and how many weeks the trial had) for as long as it lists the team.
TEST_F(TeamWatchView, AFinishedTeamIsFinished) {
  tool("team", "team " + demo.dataDir() + " Pair Done D1 D2");
  const pid_t first =
      startPilotOf(demo, "Pair", "D1", out("D1"), {"--team", "Done", "--skip-training"});
  const pid_t second =
      startPilotOf(demo, "Pair", "D2", out("D2"), {"--team", "Done", "--skip-training"});
  EXPECT_EQ(waitFor(first), 0) << readFile(out("D1"));
  EXPECT_EQ(waitFor(second), 0) << readFile(out("D2"));
  const Json view = teamView("Done");
  EXPECT_EQ(view["trial"], 2);
  EXPECT_EQ(view["week"], 3);
  EXPECT_EQ(view["weeks"], 3);
  EXPECT_EQ(view["waitingFor"], Json::array());
  EXPECT_EQ(view["state"], "finished: every trial is played");
}

}  // namespace
}  // namespace quarn::testing
