// The researcher's commands on a demo session played by the pilot.
#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <sstream>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/PlanRows.h"
#include "tests/support/TeamRecords.h"
#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

// Runs an in-process command and returns what it printed.
std::string printed(int (*command)(const std::vector<std::string>&),
                    const std::vector<std::string>& args) {
  std::ostringstream out;
  std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
  const int code = command(args);
  std::cout.rdbuf(saved);
  EXPECT_EQ(code, 0);
  return out.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> split;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) split.push_back(line);
  return split;
}

// The field at `index` of a CSV line without quoted fields.
std::string field(const std::string& line, size_t index) {
  std::istringstream in(line);
  std::string value;
  for (size_t i = 0; i <= index; ++i) std::getline(in, value, ',');
  return value;
}

// Runs the tool with `args`; its standard output (or `stream`) goes to
// `file` when one is named.
int runToolInto(const std::vector<std::string>& args, const std::string& file,
                int stream = STDOUT_FILENO) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!file.empty()) {
      const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, stream);
    }
    std::vector<char*> argv{const_cast<char*>(QUARN_ADMIN_TOOL)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QUARN_ADMIN_TOOL, argv.data());
    ::_exit(127);
  }
  return waitFor(pid);
}

int runTool(const std::vector<std::string>& args) {
  return runToolInto(args, "");
}

TEST(ResearcherResults, ReportFitAndSimulateReadAPilotedDemo) {
  DemoFolder demo;
  ASSERT_EQ(waitFor(startPilot(demo, "P1", demo.db.folder() + "/pilot.out")), 0)
      << readFile(demo.db.folder() + "/pilot.out");

  const std::vector<std::string> fit = lines(printed(admin::cmdFit, {demo.db.path()}));
  ASSERT_EQ(fit.size(), 7u);  // the header, one row per experiment trial, a blank and the note
  EXPECT_EQ(fit[4].substr(0, 30), "P1       Demo     4      Facto");

  // The demand file lies in the Input folder beside the data folder.
  const std::vector<std::string> table =
      lines(printed(admin::cmdSimulate, {demo.dataDir() + "/quarn.mdb", "Demo", "--as", "Sterman",
                                         "--runs", "5", "--seed", "1"}));
  // Two lines of title, a blank, the header, 4 x 4 rows; the demo has no
  // noise, which a blank and a line say.
  ASSERT_EQ(table.size(), 4u + 16u + 2u);
  EXPECT_NE(table[0].find("seed 1"), std::string::npos);
  EXPECT_EQ(table.back().rfind("Every run came out the same", 0), 0u);

  const std::string out = demo.db.folder() + "/report";
  ASSERT_EQ(runTool({"report", demo.db.path(), "--out", out}), 0);
  EXPECT_TRUE(fs::exists(out + "/index.html"));
  EXPECT_TRUE(fs::exists(out + "/P1.pdf"));
  EXPECT_TRUE(fs::exists(out + "/overview.pdf"));
  // Four per trial; the amplification by stage and the class's orders in
  // each of the four trials.
  EXPECT_EQ(std::distance(fs::directory_iterator(out + "/pictures"), fs::directory_iterator()),
            16 + 1 + 4);
  // The participant's total cost in measures.csv is the trial's end cost.
  const std::vector<std::string> measures = lines(readFile(out + "/measures.csv"));
  ASSERT_EQ(measures.size(), 1u + 16u);
  for (const TestRow& row :
       demo.db.rows("SELECT Trial, EndCost FROM datTrial WHERE Training=0 ORDER BY Trial")) {
    const std::string prefix = "P1,Demo," + std::to_string(intOf(row, "Trial")) + ",";
    size_t found = 0;
    for (const std::string& line : measures) {
      // The participant's row has Participant (the sixth field) 1; the
      // trial is complete and its treatment comes from the demo's plan.
      if (line.rfind(prefix, 0) == 0 && field(line, 5) == "1") {
        EXPECT_NE(line.find(",20,18," + std::to_string(intOf(row, "EndCost")) + ","),
                  std::string::npos)
            << line;
        EXPECT_EQ(field(line, 16), "20") << line;       // PlannedWeeks
        EXPECT_FALSE(field(line, 17).empty()) << line;  // DemandSource
        EXPECT_FALSE(field(line, 19).empty()) << line;  // DisplayOption
        EXPECT_EQ(field(line, 24), "1") << line;        // Complete
        ++found;
      }
    }
    EXPECT_EQ(found, 1u) << prefix;
  }
}

// Trainee played an experiment trial in Other, and only training in Demo.
TEST(ResearcherResults, ReportSaysThatAParticipantPlayedTrainingOnlyInTheSetting) {
  DemoFolder demo;
  for (const auto& [subject, setting, trial] :
       {std::tuple{"P1", "Demo", 1}, {"Trainee", "Demo", -1}, {"Trainee", "Other", 1}}) {
    demo.db.insert("datRole", {{"Subject", subject},
                               {"Setting", setting},
                               {"Trial", trial},
                               {"Training", trial < 0},
                               {"Week", 1},
                               {"Role", "Retailer"}});
  }
  const std::string out = demo.db.folder() + "/report";
  const std::string errors = demo.db.folder() + "/report.err";
  EXPECT_NE(runToolInto({"report", demo.db.path(), "--subject", "trainee", "--setting", "Demo",
                         "--out", out},
                        errors, STDERR_FILENO),
            0);
  EXPECT_NE(readFile(errors).find("Participant Trainee played training only in setting Demo: "
                                  "no experiment trial is recorded"),
            std::string::npos)
      << readFile(errors);
  EXPECT_FALSE(fs::exists(out));
}

// The data folder's quarn.conf names the server the pilot played into; fit
// reads the same table from it as from the file the results are copied to.
TEST(ResearcherResults, FitOnAServerAgreesWithTheSameSessionInAFile) {
  DemoFolder demo;
  demo.moveToServer();
  ASSERT_EQ(waitFor(startPilot(demo, "P1", demo.db.folder() + "/pilot.out")), 0)
      << readFile(demo.db.folder() + "/pilot.out");

  const std::string onServer = printed(admin::cmdFit, {demo.dataDir()});
  demo.resultsToFile();
  const std::string inFile = printed(admin::cmdFit, {demo.db.path()});
  EXPECT_EQ(lines(onServer).size(), 7u) << onServer;
  EXPECT_EQ(onServer, inFile);
}

// Two piloted participants whose trial 2 datTeam ties into team Red: the
// report reads datTeam from the file and from the server alike. (The
// pilots played alone; this checks how the report finds a team's records,
// not the team's play.)
TEST(ResearcherResults, ReportFindsTheMembersOfATeamTrialInFileAndServer) {
  DemoFolder demo;
  for (const char* subject : {"P1", "P2"}) {
    ASSERT_EQ(waitFor(startPilot(demo, subject, demo.db.folder() + "/pilot.out")), 0)
        << readFile(demo.db.folder() + "/pilot.out");
  }
  demo.db.insert("datTeam", {{"Setting", "Demo"},
                             {"Team", "Red"},
                             {"Trial", 2},
                             {"Member", 1},
                             {"Role", "Factory"},
                             {"Subject", "P1"}});
  demo.db.insert("datTeam", {{"Setting", "Demo"},
                             {"Team", "Red"},
                             {"Trial", 2},
                             {"Member", 2},
                             {"Role", "Retailer"},
                             {"Subject", "P2"},
                             {"Player", "Sterman"},
                             {"FromWeek", 12}});
  const auto check = [&](const std::string& database, const std::string& out) {
    ASSERT_EQ(runTool({"report", database, "--out", out, "--runs", "0"}), 0);
    EXPECT_TRUE(fs::exists(out + "/pictures/team-Red-Demo-trial2-team.png"));
    EXPECT_FALSE(fs::exists(out + "/pictures/P1-Demo-trial2-orders.png"));
    EXPECT_TRUE(fs::exists(out + "/pictures/P1-Demo-trial3-orders.png"));
    int teamRows = 0;
    for (const std::string& line : lines(readFile(out + "/measures.csv"))) {
      if (line.find(",Demo,2,") == std::string::npos) continue;
      EXPECT_EQ(line.substr(line.size() - 6), line.rfind("P1,", 0) == 0 ? ",Red,1" : ",Red,2");
      ++teamRows;
    }
    EXPECT_EQ(teamRows, 8);
    EXPECT_NE(readFile(out + "/index.html").find("P2 (member 2), Sterman from week 12"),
              std::string::npos);
  };
  check(demo.db.path(), demo.db.folder() + "/from-file");
  demo.moveToServer();
  check(demo.dataDir(), demo.db.folder() + "/from-server");
}

// Writes the members' records of a team trial as the game stores them.
void insertTeamTrial(EngineDatabase& db, const TeamTrialRows& rows) {
  for (const RecordedRows& member : rows.byMember) {
    for (const WeekRow& w : member.weeks) {
      db.insert("datRole", {{"Subject", w.subject},
                            {"Setting", w.setting},
                            {"Trial", w.trial},
                            {"Training", false},
                            {"Week", w.week},
                            {"Role", w.role},
                            {"User", w.participant ? 6 : 0},
                            {"Order", w.stage.order},
                            {"DeltaInventory", w.stage.deltaInventory},
                            {"Inventory", w.stage.inventory},
                            {"Delay1", w.stage.delaySlots.at(0)},
                            {"Delay2", w.stage.delaySlots.at(1)},
                            {"Demand", w.stage.demand},
                            {"Satisfied", w.stage.satisfied},
                            {"WeeklyCost", w.stage.weeklyCost},
                            {"TotalCost", w.stage.totalCost},
                            {"TransactionTime", w.stage.decisionTime}});
    }
    for (const TrialRow& t : member.trials) {
      db.insert("datTrial", {{"Subject", t.subject},
                             {"Setting", t.setting},
                             {"Trial", t.trial},
                             {"Training", false},
                             {"Weeks", t.weeks},
                             {"Delay", t.delay},
                             {"EndCost", 0},
                             {"Factory", t.players[0]},
                             {"Distributor", t.players[1]},
                             {"Wholesaler", t.players[2]},
                             {"Retailer", t.players[3]}});
    }
  }
  for (const TeamRow& row : rows.team) {
    db.insert("datTeam", {{"Setting", row.setting},
                          {"Team", row.team},
                          {"Trial", row.trial},
                          {"Member", row.seat.member},
                          {"Role", roleName(row.seat.role)},
                          {"Subject", row.seat.subject}});
  }
}

// Settings Team2, Team3 and Team4 on the server, played by teams of 2, 3 and
// 4 members, every member's 10 weeks recorded. `report` (every setting, so with the
// simulated percentiles) and `simulate` stand the Sterman player in for
// every member.
TEST(ResearcherResults, ReportAndSimulateATeamSettingOfTwoThreeAndFourMembers) {
  DemoFolder demo;
  demo.moveToServer();
  EngineDatabase& db = demo.played();
  const std::vector<std::vector<TeamMemberPlan>> teams = {
      {{"P07", kFactory}, {"P12", kRetailer}},
      {{"P07", kWholesaler}, {"P12", kRetailer}, {"P03", kDistributor}},
      {{"P07", kRetailer}, {"P12", kWholesaler}, {"P03", kDistributor}, {"P20", kFactory}}};
  std::vector<std::string> settings;
  for (size_t i = 0; i < teams.size(); ++i) {
    const std::string setting = "Team" + std::to_string(teams[i].size());
    settings.push_back(setting);
    Columns row = planRow(false, {{"Setting", setting},
                                  {"DisplayOption", "ShowAll"},
                                  {"Factory", "Sterman"},
                                  {"Distributor", "Sterman"},
                                  {"Wholesaler", "Sterman"},
                                  {"Retailer", "Sterman"}});
    for (size_t m = 0; m < teams[i].size(); ++m) {
      row[roleName(teams[i][m].role)] = "Subject" + std::to_string(m + 1);
    }
    db.insert("tblBlock", row);
    TeamTrialRows rows = teamTrialRows("Red", 1, teams[i]);
    for (RecordedRows& member : rows.byMember) {
      for (WeekRow& w : member.weeks) w.setting = setting;
      for (TrialRow& t : member.trials) t.setting = setting;
    }
    for (TeamRow& seat : rows.team) seat.setting = setting;
    insertTeamTrial(db, rows);
  }

  const std::string out = demo.db.folder() + "/report";
  ASSERT_EQ(runTool({"report", demo.dataDir(), "--out", out, "--runs", "20"}), 0);
  // Every member of the three trials has its percentile among the runs.
  const std::string index = readFile(out + "/index.html");
  const std::regex ranked(
      R"(<tr><td>\d+</td><td>P\d\d</td><td>\w+</td><td>-?\d+</td><td>-?\d+</td><td>\d+</td></tr>)");
  EXPECT_EQ(std::distance(std::sregex_iterator(index.begin(), index.end(), ranked),
                          std::sregex_iterator()),
            2 + 3 + 4);

  const std::string printedTable = demo.db.folder() + "/simulate.out";
  for (size_t i = 0; i < teams.size(); ++i) {
    const int code = runToolInto(
        {"simulate", demo.dataDir(), settings[i], "--runs", "5", "--seed", "1"}, printedTable);
    ASSERT_EQ(code, 0) << readFile(printedTable);
    size_t standIns = 0;
    for (const std::string& line : lines(readFile(printedTable))) {
      if (line.find("Sterman *") != std::string::npos) ++standIns;
    }
    EXPECT_EQ(standIns, teams[i].size()) << readFile(printedTable);
  }
}

}  // namespace
}  // namespace quarn::testing
