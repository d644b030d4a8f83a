// Students join a class by its code in the browser's sessions: placed in
// teams by arrival or when the door closes, under a User ID the class makes
// from a name or the one they give; held until the teacher starts the
// class; passed on by the teacher's word, on the file and on the server.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "db/ClassTeams.h"
#include "db/OpenDatabase.h"
#include "server/ClassBoard.h"
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
  // Whether a message of `type` came since the `from`th message.
  bool receivedSince(size_t from, const std::string& type) const {
    for (size_t i = from; i < m_received.size(); ++i) {
      if (m_received[i]["type"] == type) return true;
    }
    return false;
  }
  size_t received() const { return m_received.size(); }
  void tick() { m_session.tick(); }
  // The first message of `type` after the `from`th, waited for as awaited().
  json awaitedAfter(size_t from, const std::string& type) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    for (;;) {
      for (size_t i = from; i < m_received.size(); ++i) {
        if (m_received[i]["type"] == type) return m_received[i];
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

// Where the class plays: the demo's file, or the throw-away server.
struct OnFile {
  static constexpr bool kServer = false;
};
struct OnServer {
  static constexpr bool kServer = true;
};
struct EngineName {
  template <class T>
  static std::string GetName(int) {
    return T::kServer ? "Server" : "File";
  }
};

// The demo with the team setting Pair (the Retailer and the Factory played
// by members).
template <class Engine>
class ClassJoin : public ::testing::Test {
 protected:
  ClassJoin() {
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
    // Demo's pause after its first trial, three weeks long.
    demo.db.exec(
        "UPDATE tblBlock SET numweeks = 3 WHERE Setting = 'Demo';"
        "UPDATE tblPause SET Trial = 1 WHERE Setting = 'Demo'");
    if (Engine::kServer) demo.moveToServer();
  }

  ClassStore& classes() { return demo.played().stores().classes(); }
  std::string open(const std::string& setting, ClassIdentity identity, ClassForming forming) {
    ClassRow row;
    row.setting = setting;
    row.identity = identity;
    row.forming = forming;
    row.leftoverPlayer = "Sterman";
    return classes().open(row, drawClassCode);
  }
  // Starts the class; `trials` names a team setting's member stages.
  StartedClass start(const std::string& code, const TeamTrialRoles& trials = {}) {
    return startClass(classes(), demo.played().stores().teams(), code, trials,
                      [](size_t below) { return below - 1; });
  }
  std::unique_ptr<Student> student(const std::string& device) {
    return std::make_unique<Student>(demo.app.string(), device);
  }
  // A student of the started class `code` on Demo, past training, waiting
  // at the pause after the first trial.
  std::unique_ptr<Student> studentAtPause(const std::string& code, const std::string& subject) {
    auto s = student("browser " + subject);
    s->join(code, "subject", subject);
    EXPECT_FALSE(s->awaited("weekOpened").is_null()) << s->transcript();
    size_t from = s->received();
    s->send({{"type", "skipTraining"}, {"password", "skip"}});
    for (int week = 1; week <= 3; ++week) {
      const json opened = s->awaitedAfter(from, "weekOpened");
      from = s->received();
      s->send({{"type", "order"}, {"turn", opened["turn"]}, {"value", "4"}});
    }
    EXPECT_FALSE(s->awaitedAfter(from, "paused").is_null()) << s->transcript();
    return s;
  }
  // `s` looks at the class as it stands now (not as the process read it
  // for all its students lately).
  void lookAgain(Student& s, const std::string& code) {
    server::ClassBoard::shared().forget(
        openStores(demo.dataDir(), kDefaultDatabaseFile)->location(), code);
    s.tick();
  }

  DemoFolder demo;
};

// Pair's and Duo's member stages.
const TeamTrialRoles kPair = {{"Retailer", "Factory"}};

using BothEngines = ::testing::Types<OnFile, OnServer>;
TYPED_TEST_SUITE(ClassJoin, BothEngines, EngineName);

TYPED_TEST(ClassJoin, StudentsWhoGiveANameArePlacedInTeamsAsTheyArrive) {
  const std::string code = this->open("Pair", ClassIdentity::Name, ClassForming::Arrival);
  std::vector<std::unique_ptr<Student>> students;
  for (const char* name : {"Ada", "Bob", "Cy"}) {
    students.push_back(this->student(std::string("browser ") + name));
    students.back()->join(code, "name", name);
    ASSERT_FALSE(students.back()->awaited("classWaiting").is_null())
        << students.back()->transcript();
  }
  EXPECT_EQ(this->classes().students(code),
            (std::vector<ClassStudent>{{code, code + "-001", "Ada", 1, code + "-T01"},
                                       {code, code + "-002", "Bob", 2, code + "-T01"},
                                       {code, code + "-003", "Cy", 3, code + "-T02"}}));
  ASSERT_TRUE(this->start(code, kPair).started);
  for (auto& s : students) {
    const json started = s->awaited("sessionStarted");
    ASSERT_FALSE(started.is_null()) << s->transcript();
    EXPECT_EQ(started["setting"], "Pair");
  }
  EXPECT_EQ(this->demo.played().count("datUser", "\"Subject\" LIKE '" + code + "-%'"), 3);
  EXPECT_EQ(this->demo.played().count("datTeamMember", "\"Team\" = '" + code + "-T01'"), 2);
}

TYPED_TEST(ClassJoin, StudentsWaitForTheStartThenPlayInTheTeamsTheDoorFormed) {
  const std::string code = this->open("Pair", ClassIdentity::Id, ClassForming::Random);
  std::vector<std::unique_ptr<Student>> students;
  for (const char* subject : {"S1", "S2", "S3", "S4"}) {
    students.push_back(this->student(std::string("browser ") + subject));
    students.back()->join(code, "subject", subject);
    ASSERT_FALSE(students.back()->awaited("classWaiting").is_null())
        << students.back()->transcript();
  }
  EXPECT_EQ(this->demo.played().count("datTeamMember"), 0);
  const StartedClass start = this->start(code, kPair);
  ASSERT_EQ(start.door.teams.size(), 2u);
  for (auto& s : students) {
    ASSERT_FALSE(s->awaited("sessionStarted").is_null()) << s->transcript();
  }
  for (const auto& [team, members] : start.door.teams) {
    EXPECT_EQ(
        this->demo.played().count("datTeamMember", "\"Team\" = '" + team + "' AND \"Fixed\" = 1"),
        2);
  }
}

TYPED_TEST(ClassJoin, StudentsAreHeldUntilTheTeacherStartsTheClass) {
  const std::string code = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  auto early = this->student("browser early");
  early->join(code, "subject", "Early");
  ASSERT_FALSE(early->awaited("classWaiting").is_null()) << early->transcript();
  // A closed door holds the student still.
  ASSERT_TRUE(closeClassDoor(this->classes(), this->demo.played().stores().teams(), code, {},
                             [](size_t below) { return below - 1; })
                  .closed);
  this->lookAgain(*early, code);
  EXPECT_FALSE(early->receivedSince(0, "sessionStarted")) << early->transcript();
  EXPECT_EQ(this->demo.played().count("datUser", "\"Subject\" = 'Early'"), 0);

  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(this->start(code).started);
  ASSERT_FALSE(early->awaited("sessionStarted").is_null()) << early->transcript();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

TYPED_TEST(ClassJoin, NewStudentAnswersTheQuestionnaireBeforeWaiting) {
  const std::string code = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  auto s = this->student("browser new");
  s->send({{"type", "joinClass"}, {"code", code}, {"subject", "New"}});
  const json refused = s->awaited("refused");
  ASSERT_FALSE(refused.is_null()) << s->transcript();
  EXPECT_EQ(refused["reason"], "questionnaireNeeded");
  EXPECT_FALSE(s->receivedSince(0, "classWaiting")) << s->transcript();
  s->join(code, "subject", "New");
  ASSERT_FALSE(s->awaited("classWaiting").is_null()) << s->transcript();
  ASSERT_TRUE(this->start(code).started);
  ASSERT_FALSE(s->awaited("sessionStarted").is_null()) << s->transcript();
  EXPECT_EQ(this->demo.played().count("datUser", "\"Subject\" = 'New' AND \"Age\" = 30"), 1);
}

TYPED_TEST(ClassJoin, StudentComingBackToAStartedClassPlaysAtOnce) {
  const std::string code = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  this->classes().arrive(code, "Early", "");
  ASSERT_TRUE(this->start(code).started);
  this->classes().setState(code, ClassState::Paused);
  auto back = this->student("browser early");
  back->join(code, "subject", "early");
  ASSERT_FALSE(back->awaited("sessionStarted").is_null()) << back->transcript();
  EXPECT_FALSE(back->receivedSince(0, "classWaiting")) << back->transcript();
}

// A student left over by arrival waits for the start; then the class's
// player takes the open stage and the student plays the team's weeks alone
// with it.
TYPED_TEST(ClassJoin, StudentLeftOverPlaysWithTheClasssPlayerOnceTheClassStarts) {
  const std::string code = this->open("Duo", ClassIdentity::Name, ClassForming::Arrival);
  std::vector<std::unique_ptr<Student>> students;
  for (const char* name : {"Ada", "Bob", "Cy"}) {
    students.push_back(this->student(std::string("browser ") + name));
    students.back()->join(code, "name", name);
  }
  Student& cy = *students.back();
  ASSERT_FALSE(cy.awaited("classWaiting").is_null()) << cy.transcript();
  this->start(code, kPair);
  const json week1 = cy.awaited("weekOpened");
  ASSERT_FALSE(week1.is_null()) << cy.transcript();
  cy.send({{"type", "order"}, {"turn", week1["turn"]}, {"value", "4"}});
  ASSERT_FALSE(cy.awaited("weekOpened", 2).is_null()) << cy.transcript();
  EXPECT_EQ(this->demo.played().count("datRole", "\"Subject\" = '" + code +
                                                     "-003' AND \"Week\" = 1 AND \"Role\" = "
                                                     "'Factory' AND \"User\" = 0"),
            1);
  EXPECT_EQ(this->demo.played().count("datTeam", "\"Team\" = '" + code +
                                                     "-T02' AND \"Member\" = 2 AND \"Player\" "
                                                     "= 'Sterman'"),
            1);
}

TYPED_TEST(ClassJoin, JoinIsRefusedWhereTheClassTakesNobody) {
  const std::string open1 = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  const std::string started = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  const std::string ended = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  this->classes().arrive(started, "Early", "");
  this->start(started);
  this->classes().setState(ended, ClassState::Ended);
  const struct {
    std::string code;
    std::string subject;
    const char* reason;
  } cases[] = {
      {"ZZZZZZ", "A", "unknownClass"},
      {started, "Late", "classClosed"},
      {ended, "A", "classEnded"},
      {open1, "Bad,Name", "subjectRefused"},
  };
  for (const auto& c : cases) {
    auto s = this->student("browser " + c.subject);
    s->join(c.code, "subject", c.subject);
    const json refused = s->awaited("refused");
    ASSERT_FALSE(refused.is_null()) << s->transcript();
    EXPECT_EQ(refused["reason"], c.reason) << c.code;
  }
}

TYPED_TEST(ClassJoin, TeachersWordEndsTrainingOfThoseInItWhenGiven) {
  const std::string code = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  auto a = this->student("browser A");
  auto b = this->student("browser B");
  a->join(code, "subject", "A");
  b->join(code, "subject", "B");
  this->start(code);
  for (auto* s : {a.get(), b.get()}) ASSERT_FALSE(s->awaited("weekOpened").is_null());
  // Given through the database, as by the teacher's page of another server.
  ASSERT_TRUE(openStores(this->demo.dataDir(), kDefaultDatabaseFile)
                  ->classes()
                  .giveWord(code, ClassWord::EndTraining));
  for (auto* s : {a.get(), b.get()}) {
    EXPECT_FALSE(s->awaited("trainingSkipped").is_null()) << s->transcript();
  }
  EXPECT_EQ(this->classes().find(code)->trainingsEnded, 1);
  auto late = this->student("browser late");
  this->classes().arrive(code, "Late", "");
  late->join(code, "subject", "Late");
  ASSERT_FALSE(late->awaited("weekOpened").is_null()) << late->transcript();
  this->lookAgain(*late, code);
  EXPECT_FALSE(late->receivedSince(0, "trainingSkipped")) << late->transcript();
}

TYPED_TEST(ClassJoin, TeachersWordPassesThoseAtAPauseWhenGiven) {
  const std::string code = this->open("Demo", ClassIdentity::Id, ClassForming::Arrival);
  for (const char* subject : {"A", "B", "C"}) this->classes().arrive(code, subject, "");
  this->start(code);
  auto a = this->studentAtPause(code, "A");
  auto b = this->studentAtPause(code, "B");
  size_t fromA = a->received(), fromB = b->received();
  openStores(this->demo.dataDir(), kDefaultDatabaseFile)
      ->classes()
      .giveWord(code, ClassWord::PassPause);
  // The next trial's first week opens.
  EXPECT_FALSE(a->awaitedAfter(fromA, "weekOpened").is_null()) << a->transcript();
  EXPECT_FALSE(b->awaitedAfter(fromB, "weekOpened").is_null()) << b->transcript();

  auto c = this->studentAtPause(code, "C");
  const size_t fromC = c->received();
  this->lookAgain(*c, code);
  EXPECT_FALSE(c->receivedSince(fromC, "weekOpened")) << c->transcript();
  this->classes().giveWord(code, ClassWord::PassPause);
  EXPECT_FALSE(c->awaitedAfter(fromC, "weekOpened").is_null()) << c->transcript();
}

}  // namespace
}  // namespace quarn::testing
