// Students join a class by its code in the browser's sessions: placed in
// teams by arrival or when the door closes, under a User ID the class makes
// from a name or the one they give.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "db/ClassTeams.h"
#include "server/ParticipantSession.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

const json kAnswers = {
    {"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}};

// A browser's session, ticked as the host ticks it.
class Student {
 public:
  Student(const std::string& appFolder, const std::string& device)
      : m_session(appFolder, device,
                  [this](const json& message) { m_received.push_back(message); }) {}

  void send(const json& message) { m_session.receive(message.dump()); }
  void join(const std::string& code, const char* field, const std::string& given) {
    send({{"type", "joinClass"}, {"code", code}, {field, given}, {"questionnaire", kAnswers}});
  }
  // The `nth` message of `type` from the server (the first unless told),
  // waited for (ticking) up to 20 s; null when none came.
  json awaited(const std::string& type, size_t nth = 1) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (;;) {
      size_t seen = 0;
      for (const json& message : m_received) {
        if (message["type"] == type && ++seen == nth) return message;
      }
      if (std::chrono::steady_clock::now() > deadline) return nullptr;
      m_session.tick();
      std::this_thread::sleep_for(10ms);
    }
  }
  std::string transcript() const {
    std::string text;
    for (const json& message : m_received) text += message.dump() + "\n";
    return text;
  }

 private:
  server::ParticipantSession m_session;
  std::vector<json> m_received;
};

// The demo with the team setting Pair (the Retailer and the Factory played
// by members), on the throw-away server.
class ClassOnServer : public ::testing::Test {
 protected:
  ClassOnServer() {
    demo.db.exec(
        "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= 1;"
        "UPDATE b SET Setting = 'Pair', numweeks = 4" +
        memberAssignments({"Retailer", "Factory"}) +
        ", \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
        "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
    copyDemoTraining(demo.db, "Pair");
    // Pair's twin without training, so that its team trial comes first.
    demo.db.exec(
        "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Pair';"
        "UPDATE b SET Setting = 'Duo'; INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
    demo.moveToServer();
  }

  ClassStore& classes() { return demo.server->stores().classes(); }
  std::string open(const std::string& setting, ClassIdentity identity, ClassForming forming) {
    ClassRow row;
    row.setting = setting;
    row.identity = identity;
    row.forming = forming;
    row.leftoverPlayer = "Sterman";
    return classes().open(row, drawClassCode);
  }
  std::unique_ptr<Student> student(const std::string& device) {
    return std::make_unique<Student>(demo.app.string(), device);
  }

  DemoFolder demo;
};

TEST_F(ClassOnServer, StudentsWhoGiveANameArePlacedInTeamsAsTheyArrive) {
  const std::string code = open("Pair", ClassIdentity::Name, ClassForming::Arrival);
  std::vector<std::unique_ptr<Student>> students;
  for (const char* name : {"Ada", "Bob", "Cy"}) {
    students.push_back(student(std::string("browser ") + name));
    students.back()->join(code, "name", name);
    const json started = students.back()->awaited("sessionStarted");
    ASSERT_FALSE(started.is_null()) << students.back()->transcript();
    EXPECT_EQ(started["setting"], "Pair");
  }
  EXPECT_EQ(classes().students(code),
            (std::vector<ClassStudent>{{code, code + "-001", "Ada", 1, code + "-T01"},
                                       {code, code + "-002", "Bob", 2, code + "-T01"},
                                       {code, code + "-003", "Cy", 3, code + "-T02"}}));
  EXPECT_EQ(demo.server->count("datUser", "\"Subject\" LIKE '" + code + "-%'"), 3);
  EXPECT_EQ(demo.server->count("datTeamMember", "\"Team\" = '" + code + "-T01'"), 2);
}

TEST_F(ClassOnServer, StudentsWaitForTheDoorThenPlayInTheTeamsItFormed) {
  const std::string code = open("Pair", ClassIdentity::Id, ClassForming::Random);
  std::vector<std::unique_ptr<Student>> students;
  for (const char* subject : {"S1", "S2", "S3", "S4"}) {
    students.push_back(student(std::string("browser ") + subject));
    students.back()->join(code, "subject", subject);
    ASSERT_FALSE(students.back()->awaited("classWaiting").is_null())
        << students.back()->transcript();
  }
  EXPECT_EQ(demo.server->count("datTeamMember"), 0);
  const ClosedDoor door =
      closeClassDoor(classes(), demo.server->stores().teams(), code, {{"Retailer", "Factory"}},
                     [](size_t below) { return below - 1; });
  ASSERT_EQ(door.teams.size(), 2u);
  for (auto& s : students) {
    ASSERT_FALSE(s->awaited("sessionStarted").is_null()) << s->transcript();
  }
  for (const auto& [team, members] : door.teams) {
    EXPECT_EQ(demo.server->count("datTeamMember", "\"Team\" = '" + team + "' AND \"Fixed\" = 1"),
              2);
  }
}

// A student left over by arrival waits for a team-mate until the door
// closes; then the class's player takes the open stage and the student
// plays the team's weeks alone with it.
TEST_F(ClassOnServer, StudentLeftOverPlaysWithTheClasssPlayerOnceTheDoorCloses) {
  const std::string code = open("Duo", ClassIdentity::Name, ClassForming::Arrival);
  std::vector<std::unique_ptr<Student>> students;
  for (const char* name : {"Ada", "Bob", "Cy"}) {
    students.push_back(student(std::string("browser ") + name));
    students.back()->join(code, "name", name);
  }
  Student& cy = *students.back();
  const json forming = cy.awaited("teamWaiting");
  ASSERT_FALSE(forming.is_null()) << cy.transcript();
  EXPECT_EQ(forming["text"], "Waiting for your team: 1 of 2 here (" + code + "-003)");
  closeClassDoor(classes(), demo.server->stores().teams(), code, {{"Retailer", "Factory"}},
                 [](size_t below) { return below - 1; });
  const json week1 = cy.awaited("weekOpened");
  ASSERT_FALSE(week1.is_null()) << cy.transcript();
  cy.send({{"type", "order"}, {"turn", week1["turn"]}, {"value", "4"}});
  ASSERT_FALSE(cy.awaited("weekOpened", 2).is_null()) << cy.transcript();
  EXPECT_EQ(demo.server->count("datRole", "\"Subject\" = '" + code +
                                              "-003' AND \"Week\" = 1 AND \"Role\" = 'Factory' "
                                              "AND \"User\" = 0"),
            1);
  EXPECT_EQ(
      demo.server->count(
          "datTeam", "\"Team\" = '" + code + "-T02' AND \"Member\" = 2 AND \"Player\" = 'Sterman'"),
      1);
}

TEST_F(ClassOnServer, JoinIsRefusedWhereTheClassTakesNobody) {
  const std::string open1 = open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  const std::string closed = open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  const std::string ended = open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  classes().arrive(closed, "Early", "");
  classes().setState(closed, ClassState::Closed);
  classes().setState(ended, ClassState::Ended);
  const struct {
    std::string code;
    std::string subject;
    const char* reason;
  } cases[] = {
      {"ZZZZZZ", "A", "unknownClass"},
      {closed, "Late", "classClosed"},
      {ended, "A", "classEnded"},
      {open1, "Bad,Name", "subjectRefused"},
  };
  for (const auto& c : cases) {
    auto s = student("browser " + c.subject);
    s->join(c.code, "subject", c.subject);
    const json refused = s->awaited("refused");
    ASSERT_FALSE(refused.is_null()) << s->transcript();
    EXPECT_EQ(refused["reason"], c.reason) << c.code;
  }
  auto early = student("browser early");
  early->join(closed, "subject", "early");
  EXPECT_FALSE(early->awaited("sessionStarted").is_null()) << early->transcript();
}

}  // namespace
}  // namespace quarn::testing
