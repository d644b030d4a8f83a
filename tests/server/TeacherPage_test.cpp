#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <nlohmann/json.hpp>

#include "db/ClassStore.h"
#include "db/ClassTeams.h"
#include "db/OpenDatabase.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/server/PageClient.h"

namespace quarn::testing {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kCode = "QRS234";
constexpr const char* kPassword = "lecture";

json joinOf(const std::string& subject) {
  return {{"type", "joinClass"},
          {"code", kCode},
          {"subject", subject},
          {"questionnaire",
           {{"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}}}};
}

json orderOf(int turn, const std::string& value) {
  return {{"type", "order"}, {"turn", turn}, {"value", value}};
}

http::status statusOf(uint16_t port, const std::string& target) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  stream.connect({asio::ip::make_address("127.0.0.1"), port});
  http::request<http::empty_body> request(http::verb::get, target, 11);
  request.set(http::field::host, "127.0.0.1");
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  return response.result();
}

// The demo with a class opened on its Demo setting, served by the server.
class TeacherPage : public ::testing::Test {
 protected:
  TeacherPage() {
    ClassRow row;
    row.code = kCode;
    row.setting = "Demo";
    row.password = hashClassPassword(kPassword);
    row.identity = ClassIdentity::Id;
    row.opened = "2026-12-08 08:00:00";
    openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().open(row, [] {
      return std::string(kCode);
    });
  }

  // A page of the class at `kind` ("teacher" or "projector"), logged in.
  std::unique_ptr<PageClient> classPage(const std::string& kind) {
    auto page =
        std::make_unique<PageClient>(web->port(), PageOpening{.path = "/ws/" + kind + "/" + kCode});
    page->send({{"type", "classLogin"}, {"password", kPassword}});
    page->receiveUntil("classLoggedIn");
    return page;
  }
  // A student of the class, joined while it was open, in training at the
  // first open week once the class started.
  std::unique_ptr<PageClient> student(const std::string& subject) {
    return std::move(students({subject}).front());
  }
  std::vector<std::unique_ptr<PageClient>> students(const std::vector<std::string>& subjects) {
    std::vector<std::unique_ptr<PageClient>> pages;
    for (const std::string& subject : subjects) {
      pages.push_back(std::make_unique<PageClient>(web->port()));
      pages.back()->send(joinOf(subject));
      pages.back()->receiveUntil("classWaiting");
    }
    const auto stores = openStores(demo.dataDir(), kDefaultDatabaseFile);
    startClass(stores->classes(), stores->teams(), kCode, {},
               [](size_t below) { return below - 1; });
    for (auto& page : pages) page->receiveUntil("weekOpened");
    return pages;
  }
  std::string classState() {
    return std::string(classStateName(
        openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().find(kCode)->state));
  }

  DemoFolder demo;
  std::unique_ptr<RunningServer> web = std::make_unique<RunningServer>(demo.app.string());
};

TEST_F(TeacherPage, ClassPagesAreServedAtTheClassAddressOnly) {
  const struct {
    std::string target;
    http::status status;
  } cases[] = {
      {"/teacher/QRS234", http::status::ok},         {"/teacher/qrs234", http::status::ok},
      {"/projector/QRS234", http::status::ok},       {"/teacher/QRS23", http::status::not_found},
      {"/teacher/QRS2340", http::status::not_found}, {"/teacher/QRS%2001", http::status::not_found},
      {"/teacher/", http::status::not_found},
  };
  for (const auto& c : cases) EXPECT_EQ(statusOf(web->port(), c.target), c.status) << c.target;
}

TEST_F(TeacherPage, WrongPasswordIsRefusedAndNothingIsSent) {
  PageClient page(web->port(), {.path = std::string("/ws/teacher/") + kCode});
  page.send({{"type", "classLogin"}, {"password", "guess"}});
  EXPECT_EQ(page.receive()["reason"], "wrongPassword");
  page.send({{"type", "pauseClass"}});
  EXPECT_EQ(page.receive()["reason"], "notLoggedIn");
  EXPECT_EQ(classState(), "open");
}

TEST_F(TeacherPage, StudentsOrderReachesTheTeacherWithinASecond) {
  auto teacher = classPage("teacher");
  auto b1 = student("B1");
  b1->send({{"type", "skipTraining"}, {"password", "skip"}});
  const int turn = b1->receiveUntil("weekOpened")["turn"].get<int>();
  const auto sent = std::chrono::steady_clock::now();
  b1->send(orderOf(turn, "4"));
  teacher->receiveUntil("classView", [](const json& view) {
    for (const json& s : view["participants"]) {
      // The student's mark: the next week waits for an order.
      if (s["subject"] == "B1" && s["trial"] == 1 && s["week"] == 2) return true;
    }
    return false;
  });
  EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
}

TEST_F(TeacherPage, StartAndPauseAreStoredInTheClass) {
  auto teacher = classPage("teacher");
  teacher->send({{"type", "startClass"}});
  EXPECT_EQ(teacher->receiveUntil("classDone")["of"], "startClass");
  EXPECT_EQ(classState(), "started");
  teacher->send({{"type", "pauseClass"}});
  EXPECT_EQ(teacher->receiveUntil("classDone")["of"], "pauseClass");
  EXPECT_EQ(classState(), "paused");
  EXPECT_EQ(teacher->receiveUntil("classView")["state"], "paused");
}

TEST_F(TeacherPage, StudentWaitsForTheStartAndWhileTheClassIsPaused) {
  PageClient b1(web->port());
  b1.send(joinOf("B1"));
  b1.receiveUntil("classWaiting");
  auto teacher = classPage("teacher");
  teacher->send({{"type", "startClass"}});
  b1.receiveUntil("weekOpened");
  b1.send({{"type", "skipTraining"}, {"password", "skip"}});
  const int turn = b1.receiveUntil("weekOpened")["turn"].get<int>();

  teacher->send({{"type", "pauseClass"}});
  teacher->receiveUntil("classDone");
  EXPECT_EQ(b1.receiveUntil("teamWaiting")["text"],
            "The class is paused. Please wait for your teacher.");
  b1.send(orderOf(turn, "4"));
  EXPECT_EQ(b1.receiveUntil("refused")["reason"], "classPaused");

  teacher->send({{"type", "startClass"}});
  b1.receiveUntil("teamWaiting", [](const json& m) { return m["text"] == ""; });
  b1.send(orderOf(turn, "4"));
  b1.weekAfter(turn);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Trial=1 AND Week=1"), 4);
}

TEST_F(TeacherPage, EndTrainingMovesEveryStudentInTrainingOn) {
  auto both = students({"B1", "B2"});
  auto teacher = classPage("teacher");
  teacher->send({{"type", "endTraining"}});
  teacher->receiveUntil("classDone");
  for (auto& page : both) {
    page->receiveUntil("trainingSkipped");
    EXPECT_EQ(page->receiveUntil("training")["active"], false);
  }
}

TEST_F(TeacherPage, PassPauseMovesTheStudentAtThePauseOn) {
  demo.db.exec(
      "UPDATE tblBlock SET numweeks = 3 WHERE Setting = 'Demo';"
      "UPDATE tblPause SET Trial = 1 WHERE Setting = 'Demo'");
  auto b1 = student("B1");
  b1->send({{"type", "skipTraining"}, {"password", "skip"}});
  for (int week = 1; week <= 3; ++week) {
    b1->send(orderOf(b1->receiveUntil("weekOpened")["turn"].get<int>(), "4"));
  }
  b1->receiveUntil("paused");
  auto teacher = classPage("teacher");
  teacher->send({{"type", "passPause"}});
  // The next trial's first week opens.
  b1->receiveUntil("weekOpened");
}

TEST_F(TeacherPage, ProjectorIsSentTheChartsOfTheLatestTrial) {
  auto b1 = student("B1");
  b1->send({{"type", "skipTraining"}, {"password", "skip"}});
  const int turn = b1->receiveUntil("weekOpened")["turn"].get<int>();
  b1->send(orderOf(turn, "7"));
  b1->weekAfter(turn);
  auto projector = classPage("projector");
  const json charts = projector->receiveUntil("classCharts", [](const json& m) {
    return !m["teams"].empty() && !m["teams"][0]["orders"].empty();
  });
  EXPECT_EQ(charts["trial"], 1);
  EXPECT_EQ(charts["teams"][0]["team"], "B1");
}

TEST_F(TeacherPage, EndedClassShowsEveryPageTheDebriefing) {
  auto teacher = classPage("teacher");
  auto projector = classPage("projector");
  teacher->send({{"type", "endClass"}});
  for (auto* page : {teacher.get(), projector.get()}) {
    const json debriefing = page->receiveUntil("debriefing");
    EXPECT_TRUE(debriefing["teams"].is_array());
    EXPECT_TRUE(debriefing["leagues"].is_array());
  }
}

// A team setting on the lab server: Pair, its members on the Retailer
// (Subject1) and the Factory (Subject2), each training alone; its team T1
// fixed as B1 and P2, and a class opened on it.
class TeacherOnServer : public ::testing::Test {
 protected:
  TeacherOnServer() {
    demo.db.exec(
        "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= 2;"
        "UPDATE b SET Setting = 'Pair', numweeks = 4" +
        memberAssignments({"Retailer", "Factory"}) +
        ", \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
        "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
    copyDemoTraining(demo.db, "Pair");
    ClassRow row;
    row.code = kCode;
    row.setting = "Pair";
    row.password = hashClassPassword(kPassword);
    row.opened = "2026-12-08 08:00:00";
    demo.moveToServer();
    demo.played().stores().classes().open(row, [] { return std::string(kCode); });
    demo.played().stores().teams().fixMembers({"Pair", "T1"}, {"B1", "P2"});
    web = std::make_unique<RunningServer>(demo.app.string());
  }

  DemoFolder demo;
  std::unique_ptr<RunningServer> web;
};

bool memberReplaced(const json& view, int member, const std::string& player) {
  for (const json& team : view["teams"]) {
    for (const json& m : team["members"]) {
      if (team["team"] == "T1" && m["member"] == member && m["replacedBy"] == player) return true;
    }
  }
  return false;
}

TEST_F(TeacherOnServer, ReplacedMemberLetsTheTeamPlayAndItsWeekReachesTheTeacher) {
  PageClient b1(web->port());
  b1.send({{"type", "login"},
           {"subject", "B1"},
           {"setting", "Pair"},
           {"team", "T1"},
           {"questionnaire",
            {{"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}}}});
  b1.receiveUntil("weekOpened");
  b1.send({{"type", "skipTraining"}, {"password", "skip"}});

  PageClient teacher(web->port(), {.path = std::string("/ws/teacher/") + kCode});
  teacher.send({{"type", "classLogin"}, {"password", kPassword}});
  teacher.receiveUntil("classLoggedIn");
  teacher.send({{"type", "replaceMember"}, {"team", "T1"}, {"member", 2}, {"player", "Sterman"}});
  const json done = teacher.receiveUntil("classDone");
  EXPECT_EQ(done["replaced"]["player"], "Sterman");
  EXPECT_EQ(done["replaced"]["subject"], "P2");
  teacher.receiveUntil("classView", [](const json& v) { return memberReplaced(v, 2, "Sterman"); });

  // The team plays with the player in P2's place; B1's order reaches the
  // teacher's page within a second.
  const int turn = b1.receiveUntil("weekOpened")["turn"].get<int>();
  const auto sent = std::chrono::steady_clock::now();
  b1.send(orderOf(turn, "4"));
  teacher.receiveUntil("classView", [](const json& view) {
    return !view["teams"].empty() && view["teams"][0]["week"] == 2;
  });
  EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
}

}  // namespace
}  // namespace quarn::testing
