#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "db/ClassStore.h"
#include "tests/support/EngineDatabases.h"
#include "tests/support/PlanRows.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

// A server with the team setting "Team" (two members) and the
// single-participant setting "Demo".
class ClassCommands : public ::testing::Test {
 protected:
  ClassCommands() {
    db.insert("tblPlayer", {{"Name", "Bot"}});
    db.insert("tblPlayer", {{"Name", "Passer"}});
    db.insert("tblDisplay", {{"Configuration", "Standard"},
                             {"Factory", "Everything"},
                             {"Distributor", "Everything"},
                             {"Wholesaler", "Everything"},
                             {"Retailer", "Everything"}});
    db.insert("tblDisplayOption", {{"Option", "Everything"}});
    db.insert(
        "tblBlock",
        planRow(false, {{"Setting", "Team"}, {"Factory", "Subject2"}, {"Retailer", "Subject1"}}));
    db.insert("tblBlock", planRow(false));
    fs::create_directories(folder);
    std::ofstream(passwordFile) << "chalk\n";
    ::chmod(passwordFile.c_str(), 0600);
  }
  ~ClassCommands() override { fs::remove_all(folder); }

  std::string run(std::vector<std::string> args) {
    args.insert(args.begin() + 1, db.connection());
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    std::string said;
    try {
      EXPECT_EQ(admin::cmdClass(args), 0);
      said = out.str();
    } catch (const std::exception& refusal) {
      said = std::string("refused: ") + refusal.what();
    }
    std::cout.rdbuf(saved);
    return said;
  }
  std::string open(std::vector<std::string> more) {
    std::vector<std::string> args = {"open", more.front(), "--password-file", passwordFile};
    if (std::find(more.begin(), more.end(), "--url") == more.end()) {
      args.insert(args.end(), {"--url", "http://lab.example.org:8080/"});
    }
    args.insert(args.end(), more.begin() + 1, more.end());
    return run(args);
  }
  static std::string codeIn(const std::string& said) {
    std::smatch found;
    if (!std::regex_search(said, found, std::regex("/join/([A-Z2-9]{6})"))) return "";
    return found[1];
  }
  ClassStore& classes() { return db.stores().classes(); }

  ServerDatabase db;
  const std::string folder = ::testing::TempDir() + "class_commands_" + std::to_string(getpid());
  const std::string passwordFile = folder + "/password";
};

TEST_F(ClassCommands, OpenPrintsTheCodeAndItsJoinAddress) {
  const std::string said = open({"Demo", "--identity", "id"});
  const std::string code = codeIn(said);
  ASSERT_FALSE(code.empty()) << said;
  EXPECT_NE(said.find("Students join at http://lab.example.org:8080/join/" + code + "\n"),
            std::string::npos);
  const auto row = classes().find(code);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->setting, "Demo");
  EXPECT_EQ(row->identity, ClassIdentity::Id);
  EXPECT_TRUE(teacherPasswordOpens(classes(), code, "chalk"));
}

TEST_F(ClassCommands, OpenWritesTheQrCodeAsPngOrSvg) {
  const std::string png = folder + "/code.png", svg = folder + "/code.svg";
  open({"Demo", "--qr", png});
  open({"Demo", "--qr", svg});
  std::string head(8, '\0');
  std::ifstream(png, std::ios::binary).read(head.data(), 8);
  EXPECT_EQ(head, "\x89PNG\r\n\x1a\n");
  std::stringstream text;
  text << std::ifstream(svg).rdbuf();
  EXPECT_NE(text.str().find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
}

TEST_F(ClassCommands, OpenRefusesWhatNoClassCanPlay) {
  const struct {
    std::vector<std::string> args;
    const char* refusal;
  } cases[] = {
      {{"Nothing"}, "tblBlock has no rows for this setting"},
      {{"Team", "--leftover-player", "Nobody"}, "tblPlayer has no player named Nobody"},
      {{"Team", "--forming", "alphabetical"}, "usage:"},
      {{"Team", "--url", "lab.example.org"}, "must begin with http:// or https://"},
  };
  for (const auto& c : cases) {
    const std::string said = open(c.args);
    EXPECT_NE(said.find(c.refusal), std::string::npos) << c.args.back() << ": " << said;
  }
  EXPECT_EQ(db.count("datClass"), 0);
}

TEST_F(ClassCommands, CloseShufflesTheWaitingStudentsIntoTeams) {
  const std::string code = codeIn(open({"Team", "--forming", "random"}));
  for (const char* subject : {"A", "B", "C", "D", "E"}) classes().arrive(code, subject, "");
  const std::string said = run({"close", code});
  EXPECT_NE(said.find("Class " + code + " is closed"), std::string::npos);
  std::map<std::string, std::vector<std::string>> teams;
  for (const ClassStudent& student : classes().students(code)) {
    teams[student.team].push_back(student.subject);
  }
  ASSERT_EQ(teams.size(), 3u) << said;
  EXPECT_EQ(teams[code + "-T01"].size(), 2u);
  EXPECT_EQ(teams[code + "-T02"].size(), 2u);
  EXPECT_EQ(teams[code + "-T03"].size(), 1u);
  for (const auto& [team, subjects] : teams) {
    const auto members = db.stores().teams().members({"Team", team});
    ASSERT_EQ(members.size(), 2u) << team;
    for (size_t m = 0; m < subjects.size(); ++m) EXPECT_TRUE(members[m].fixed);
  }
  EXPECT_EQ(db.stores().teams().members({"Team", code + "-T03"})[1].player, "Bot");
  EXPECT_NE(
      said.find("Team " + code + "-T03 has 1 of 2 members: Bot plays member 2 from the start"),
      std::string::npos)
      << said;
  EXPECT_EQ(classes().find(code)->state, ClassState::Closed);
}

TEST_F(ClassCommands, StartClosesAnOpenClassesDoorThenLetsItsStudentsPlay) {
  const std::string code = codeIn(open({"Team", "--forming", "random"}));
  for (const char* subject : {"A", "B", "C", "D"}) classes().arrive(code, subject, "");
  const std::string said = run({"start", code});
  EXPECT_NE(said.find("Class " + code + " is closed"), std::string::npos) << said;
  EXPECT_NE(said.find("Class " + code + " has started"), std::string::npos) << said;
  for (const ClassStudent& student : classes().students(code)) {
    EXPECT_FALSE(student.team.empty()) << student.subject;
  }
  EXPECT_EQ(db.stores().teams().members({"Team", code + "-T02"}).size(), 2u);
  EXPECT_EQ(classes().find(code)->state, ClassState::Started);
}

TEST_F(ClassCommands, StartGoesOnFromEveryStateButEnded) {
  const struct {
    ClassState before;
    const char* said;
  } cases[] = {
      {ClassState::Closed, "has started"},
      {ClassState::Paused, "has started"},
      {ClassState::Started, "has started"},
      {ClassState::Ended, "refused: Class"},
  };
  for (const auto& c : cases) {
    const std::string code = codeIn(open({"Demo"}));
    classes().setState(code, c.before);
    const std::string said = run({"start", code});
    EXPECT_NE(said.find(c.said), std::string::npos) << classStateName(c.before) << ": " << said;
    EXPECT_EQ(said.find("is closed"), std::string::npos) << said;
    EXPECT_EQ(classes().find(code)->state,
              c.before == ClassState::Ended ? ClassState::Ended : ClassState::Started);
  }
}

// A class formed by arrival: the last team, partly filled, plays with its
// students; the door says so.
TEST_F(ClassCommands, CloseGivesTheLastArrivalTeamsOpenStagesToThePlayer) {
  const std::string code = codeIn(open({"Team", "--leftover-player", "Passer"}));
  for (const char* subject : {"A", "B", "C"}) {
    classes().arrive(code, subject, "");
    const std::string team = classes().placeByArrival(code, subject, 2);
    db.stores().teams().join({"Team", team}, subject, 2);
  }
  const std::string said = run({"close", code});
  EXPECT_NE(said.find("Team " + code +
                      "-T02 has 1 of 2 members: Passer plays member 2 from the "
                      "start"),
            std::string::npos)
      << said;
  EXPECT_EQ(db.stores().teams().members({"Team", code + "-T02"}),
            (std::vector<TeamMember>{{1, "C", false, true}, {2, "", false, true, "Passer"}}));
}

TEST_F(ClassCommands, ListShowsEachClassWithItsStateAndStudents) {
  const std::string open1 = codeIn(open({"Demo"}));
  const std::string open2 = codeIn(open({"Team"}));
  classes().arrive(open2, "A", "");
  run({"end", open1});
  const std::string said = run({"list"});
  EXPECT_TRUE(std::regex_search(said, std::regex(open1 + " +Demo +ended +0 ")));
  EXPECT_TRUE(std::regex_search(said, std::regex(open2 + " +Team +open +1 ")));
}

}  // namespace
}  // namespace quarn::testing
