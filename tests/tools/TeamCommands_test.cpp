#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "db/DbError.h"
#include "tests/support/EngineDatabases.h"
#include "tests/support/PlanRows.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// A server with the team setting "Team" (member 1 the Retailer and member 2
// the Factory in its first trial of 10 weeks, the other way round in the
// second) and the single-participant setting "Demo".
class TeamCommands : public ::testing::Test {
 protected:
  TeamCommands() {
    addPlan(db);
    db.insert("tblBlock", planRow(false, {{"Setting", "Team"},
                                          {"Index", 1},
                                          {"Factory", "Subject2"},
                                          {"Retailer", "Subject1"}}));
    db.insert("tblBlock", planRow(false, {{"Setting", "Team"},
                                          {"Index", 2},
                                          {"Factory", "Subject1"},
                                          {"Retailer", "Subject2"}}));
    db.insert("tblBlock", planRow(false));
  }
  static void addPlan(EngineDatabase& database) {
    database.insert("tblPlayer", {{"Name", "Bot"}});
    database.insert("tblPlayer", {{"Name", "Passer"}});
    database.insert("tblDisplay", {{"Configuration", "Standard"},
                                   {"Factory", "Everything"},
                                   {"Distributor", "Everything"},
                                   {"Wholesaler", "Everything"},
                                   {"Retailer", "Everything"}});
    database.insert("tblDisplayOption", {{"Option", "Everything"}});
  }

  // Runs the command; what it printed, or its refusal's text.
  std::string run(admin::CommandFunction command, const std::vector<std::string>& args) {
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    std::string said;
    try {
      EXPECT_EQ(command(args), 0);
      said = out.str();
    } catch (const QuarnError& refusal) {
      said = "refused: " + refusal.description();
    }
    std::cout.rdbuf(saved);
    return said;
  }
  std::string team(std::vector<std::string> args) {
    args.insert(args.begin(), db.connection());
    return run(admin::cmdTeam, args);
  }
  std::string replace(std::vector<std::string> args) {
    args.insert(args.begin(), db.connection());
    return run(admin::cmdReplace, args);
  }
  void order(const TeamKey& key, int16_t trial, int16_t member, int16_t weeks) {
    for (int16_t week = 1; week <= weeks; ++week) {
      db.stores().teams().storeOrder(key, {trial, false, week, member, 4, "P", 900});
    }
  }

  ServerDatabase db;
};

TEST_F(TeamCommands, TeamFixesTheMembersInTheOrderGiven) {
  EXPECT_EQ(team({"Team", "T1", "P12", "P07"}),
            "Team T1 of setting Team: member 1 P12, member 2 P07\n");
  EXPECT_EQ(db.stores().teams().members({"Team", "T1"}),
            (std::vector<TeamMember>{{1, "P12", true}, {2, "P07", true}}));
}

TEST_F(TeamCommands, TeamRefusesWhatCannotFormTheSettingsTeam) {
  const struct {
    std::vector<std::string> args;
    std::string refusal;
  } cases[] = {
      {{"Team", "T1", "P1"}, "The teams of setting Team have 2 members, not 1"},
      {{"Team", "T1", "P1", "P2", "P3"}, "The teams of setting Team have 2 members, not 3"},
      {{"Demo", "T1", "P1", "P2"},
       "Setting Demo is not played by teams: no row of tblBlock names Subject1 .. Subject4"},
      {{"Team", "T1", "P1", "P1"},
       "The members of team T1 of setting Team cannot be fixed: "
       "P1 is named twice"},
  };
  for (const auto& c : cases) EXPECT_EQ(team(c.args), "refused: " + c.refusal);
  EXPECT_EQ(db.count("datTeamMember"), 0);
  EXPECT_THROW(admin::cmdTeam({db.connection(), "Team", "T1"}), admin::UsageError);
}

// `team` takes names as the login takes them: what the login refuses is
// refused with the login's reason, and User IDs and team names are one name
// whatever their letter case. A User ID belongs to one team of a setting.
TEST_F(TeamCommands, TeamRefusesWhatTheLoginRefusesOrMerges) {
  ASSERT_EQ(team({"Team", "Green", "P1", "P2"}),
            "Team Green of setting Team: member 1 P1, member 2 P2\n");
  const std::string cannot = "The members of team T1 of setting Team cannot be fixed: ";
  const struct {
    std::vector<std::string> args;
    std::string refusal;
  } cases[] = {
      {{"Team", "T1", "a", "A"}, cannot + "A is named twice"},
      {{"Team", "T1", "", "P3"},
       "The User ID \"\" is refused as the login refuses it: Please enter a User ID."},
      {{"Team", "T1", std::string(10000, 'x'), "P3"},
       "The User ID \"" + std::string(10000, 'x') +
           "\" is refused as the login refuses it: A User ID has at most 21 characters.  Please "
           "enter another User ID."},
      {{"Team", "T1", "P3",
        "P\xE2\x80\x8B"
        "4"},
       "The User ID \"P<U+200B>4\" is refused as the login refuses it: A User ID cannot hold "
       "invisible characters or spaces other than the ordinary space.  Please enter another User "
       "ID."},
      {{"Team", "T1", "P3", "p1"}, cannot + "p1 is a member of team Green already"},
      {{"Team", "", "P3", "P4"},
       "The team name \"\" is refused as the login refuses it: This setting is played by teams.  "
       "Please type your team's name in the Team box."},
      {{"Team", "a,b", "P3", "P4"},
       "The team name \"a,b\" is refused as the login refuses it: A team name cannot hold a comma, "
       "any of the characters / \\ : * ? \" < > | or control characters.  Please type another "
       "name in the Team box."},
      {{"Team", "a\nb", "P3", "P4"},
       "The team name \"a\\x0ab\" is refused as the login refuses it: A team name cannot hold a "
       "comma, any of the characters / \\ : * ? \" < > | or control characters.  Please type "
       "another name in the Team box."},
      {{"Team", "GREEN", "P3", "P4"},
       "The members of team Green of setting Team cannot be fixed: it has members already (P1, "
       "P2); correct them with quarngame-admin team --correct"},
  };
  for (const auto& c : cases) EXPECT_EQ(team(c.args), "refused: " + c.refusal);
  EXPECT_EQ(db.count("datTeamMember"), 2);
}

// A team fixed wrongly is fixed anew with --correct (its name in any letter
// case), as long as it has not played; a member logged in keeps its place.
TEST_F(TeamCommands, CorrectFixesATeamAnewUntilItHasPlayed) {
  team({"Team", "T1", "P1", "P2"});
  EXPECT_EQ(team({"Team", "t1", "P1", "P3", "--correct"}),
            "Team T1 of setting Team: member 1 P1, member 2 P3\n");
  EXPECT_EQ(db.stores().teams().members({"Team", "T1"}),
            (std::vector<TeamMember>{{1, "P1", true}, {2, "P3", true}}));

  db.insert("datPlaying", {{"Subject", "p3"},
                           {"Setting", "Team"},
                           {"Host", "lab-2"},
                           {"Process", int64_t{42}},
                           {"Since", int64_t{1}},
                           {"LastWeek", int64_t{1}}});
  EXPECT_EQ(team({"Team", "T1", "P1", "P4", "--correct"}),
            "refused: The members of team T1 of setting Team cannot be corrected: P3 is logged in "
            "as member 2: close that session first");
  EXPECT_EQ(team({"Team", "T1", "P3", "P1", "--correct"}),
            "refused: The members of team T1 of setting Team cannot be corrected: P3 is logged in "
            "as member 2: close that session first");
  EXPECT_EQ(team({"Team", "T1", "P4", "P3", "--correct"}),
            "Team T1 of setting Team: member 1 P4, member 2 P3\n");

  order({"Team", "T1"}, 1, 1, 1);
  EXPECT_EQ(team({"Team", "T1", "P5", "P3", "--correct"}),
            "refused: The members of team T1 of setting Team cannot be corrected: it has played "
            "already");
  // Member 1 has ordered and member 2 is logged in: both count as here.
  EXPECT_EQ(db.stores().teams().members({"Team", "T1"}),
            (std::vector<TeamMember>{{1, "P4", true, true}, {2, "P3", true, true}}));
}

// The workstations read the demand files from their own disks: `team` and
// `replace` given the server alone need no Input folder.
TEST_F(TeamCommands, TeamAndReplaceNeedNoDemandFiles) {
  db.insert("tblBlock", planRow(false, {{"Setting", "Fed"},
                                        {"Input", "demand.txt"},
                                        {"Factory", "Subject2"},
                                        {"Retailer", "Subject1"}}));
  ASSERT_FALSE(std::filesystem::exists("Input/demand.txt"));
  EXPECT_EQ(team({"Fed", "T1", "P1", "P2"}), "Team T1 of setting Fed: member 1 P1, member 2 P2\n");
  EXPECT_EQ(replace({"Fed", "T1", "2", "Bot"}),
            "Member 2 (P2) of team T1 is played by Bot from trial 1, week 1 to the trial's end\n");
}

TEST_F(TeamCommands, TeamAndReplaceWorkOnADatabaseFile) {
  FileDatabase file;
  addPlan(file);
  file.insert(
      "tblBlock",
      planRow(false, {{"Setting", "Team"}, {"Factory", "Subject2"}, {"Retailer", "Subject1"}}));
  EXPECT_EQ(run(admin::cmdTeam, {file.folder(), "Team", "T1", "P1", "P2"}),
            "Team T1 of setting Team: member 1 P1, member 2 P2\n");
  EXPECT_EQ(run(admin::cmdReplace, {file.folder(), "Team", "T1", "1", "Bot"}),
            "Member 1 (P1) of team T1 is played by Bot from trial 1, week 1 to the trial's end\n");
  EXPECT_EQ(file.count("datTeam", R"("Player" = 'Bot')"), 1);
}

// The replacement starts after the member's last order: within the trial,
// or with the next one (where the member plays another stage) once every
// week of it is ordered.
TEST_F(TeamCommands, ReplaceSaysFromWhichTrialAndWeekThePlayerPlays) {
  team({"Team", "T1", "P12", "P07"});
  team({"Team", "T2", "P20", "P21"});
  order({"Team", "T1"}, 1, 2, 4);
  order({"Team", "T2"}, 1, 1, 10);
  EXPECT_EQ(replace({"Team", "T1", "2", "passer"}),
            "Member 2 (P07) of team T1 is played by Passer from trial 1, week 5 to the trial's "
            "end\n");
  EXPECT_EQ(replace({"Team", "T2", "1", "Bot"}),
            "Member 1 (P20) of team T2 is played by Bot from trial 2, week 1 to the trial's end\n");
  EXPECT_EQ(db.stores().teams().replacements({"Team", "T2"}, 2),
            (std::vector<TeamTrialMember>{{2, 1, "Factory", "P20", "Bot", 1}}));
}

TEST_F(TeamCommands, ReplaceRefusesAMemberOrPlayerThatIsNotThere) {
  team({"Team", "T1", "P12", "P07"});
  order({"Team", "Done"}, 2, 1, 10);
  db.stores().teams().fixMembers({"Team", "Done"}, {"P1", "P2"});
  const struct {
    std::vector<std::string> args;
    std::string refusal;
  } cases[] = {
      {{"Team", "T1", "3", "Bot"},
       "MEMBER must be a whole number from 1 to 2, not 3 (the teams of setting Team have 2 "
       "members)"},
      {{"Team", "T1", "one", "Bot"},
       "MEMBER must be a whole number from 1 to 2, not one (the teams of setting Team have 2 "
       "members)"},
      {{"Team", "T1", "1", "Nobody"}, "tblPlayer has no player named Nobody"},
      {{"Team", "Nobody", "1", "Bot"},
       "Member 1 of team Nobody of setting Team cannot be replaced: the team has no such member"},
      {{"Team", "Done", "1", "Bot"},
       "Member 1 of team Done of setting Team has played every trial: nothing is left to "
       "replace"},
      {{"Demo", "T1", "1", "Bot"},
       "Setting Demo is not played by teams: no row of tblBlock names Subject1 .. Subject4"},
  };
  for (const auto& c : cases) EXPECT_EQ(replace(c.args), "refused: " + c.refusal);
  EXPECT_EQ(db.count("datTeam"), 0);
}

}  // namespace
}  // namespace quarn::testing
