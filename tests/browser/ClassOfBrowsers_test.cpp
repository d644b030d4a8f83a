// A class of eight students and its teacher, each in a headless Chromium of
// its own, against the real server on a copy of the demo database: the
// students join by the class's code with real keys and are placed in two
// teams of four as they arrive; the teacher's page starts the class and
// shows it live; a week clock orders for two students who order nothing;
// the teacher ends the class, and the teacher's page and the projector view
// (the teacher's second tab) show the debriefing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "db/ClassStore.h"
#include "tests/browser/WebDriver.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/server/PageClient.h"

namespace quarn::testing {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kCode = "KLM234";
constexpr const char* kPassword = "chalk";
constexpr const char* kSetting = "Class";
constexpr int kWeeks = 3;
// Each week's time: long enough to drive a team's four browsers in turn on a
// busy machine, short enough to wait for once.
constexpr int kWeekSeconds = 15;
// The week in which some students order nothing and the clock orders.
constexpr int kClockWeek = 2;
// Members 1 to 4 play these stages.
const std::vector<std::string> kStages = {"Retailer", "Wholesaler", "Distributor", "Factory"};

struct StudentPlan {
  const char* name;
  std::vector<int> orders;  // one a week; the clock's week is ordered by the clock
  bool letsTheClockOrder = false;
};

// In order of arrival: the first four make the first team.
const StudentPlan kClass[] = {
    {"Ada", {4, 5, 6}}, {"Ben", {6, 0, 7}, true}, {"Cleo", {5, 9, 3}}, {"Dev", {8, 4, 4}},
    {"Eva", {4, 4, 4}}, {"Finn", {3, 7, 5}},      {"Gia", {9, 2, 8}},  {"Hal", {7, 0, 6}, true},
};

// The clock's rule is the student's last order: in its week, what the
// student ordered the week before.
int orderOfWeek(const StudentPlan& plan, int week) {
  if (plan.letsTheClockOrder && week == kClockWeek) return plan.orders[kClockWeek - 2];
  return plan.orders[week - 1];
}

// What a student's page shows, read in one call.
struct PageState {
  std::string message;  // the open message box's kind; empty: none
  bool questionnaire = false, orderOpen = false, nextTrial = false, over = false;
  std::string week;
};

const char* const kReadState = R"(
  const $ = (id) => document.getElementById(id);
  const main = !$("frmMain").hidden;
  return {
    message: $("dlgMessage").open ? $("dlgMessage").dataset.kind : "",
    questionnaire: !$("frmNewUser").hidden,
    orderOpen: main && !$("txtOrder").disabled,
    nextTrial: main && $("txtOrder").disabled && !$("cmdOrder").disabled,
    over: !$("fraClosing").hidden,
    week: $("lblWeek").textContent };)";

// Keeps every text the week clock's line shows, from the moment it is
// installed: the clock's order is shown until the next week opens.
const char* const kKeepClockTexts = R"(
  window.clockTexts = [];
  const line = document.getElementById("lblWeekClock");
  new MutationObserver(() => window.clockTexts.push(line.textContent))
    .observe(line, { childList: true, characterData: true, subtree: true });)";

std::string twoDigits(int week) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", week);
  return text;
}

struct Student {
  const StudentPlan& plan;
  WebDriver browser{360, 740};  // a phone
  std::string subject;
  std::string team;
  int member = 0;

  PageState state() {
    const json s = browser.run(kReadState);
    return {s["message"], s["questionnaire"], s["orderOpen"], s["nextTrial"], s["over"], s["week"]};
  }
};

class ClassOfBrowsers : public ::testing::Test {
 protected:
  ClassOfBrowsers() {
    demo.db.exec(
        "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= 1;"
        "UPDATE b SET Setting = '" +
        std::string(kSetting) + "', numweeks = " + std::to_string(kWeeks) +
        memberAssignments(kStages) + "; INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
    demo.db.insert("tblSetting", {{"Setting", kSetting}, {"WeekSeconds", kWeekSeconds}});
    ClassRow row;
    row.code = kCode;
    row.setting = kSetting;
    row.password = hashClassPassword(kPassword);
    row.identity = ClassIdentity::Name;
    row.forming = ClassForming::Arrival;
    row.leftoverPlayer = "Sterman";
    row.opened = "2026-12-08 08:00:00";
    demo.db.stores.classes().open(row, [] { return std::string(kCode); });
    for (const StudentPlan& plan : kClass) students.push_back(std::make_unique<Student>(plan));
  }

  // A failed test leaves every page's picture where QUARN_SCREENSHOT_DIR
  // names a folder.
  void TearDown() override {
    const char* folder = std::getenv("QUARN_SCREENSHOT_DIR");
    if (!folder || !HasFailure()) return;
    const std::string failed = std::string(folder) + "/failed-class-";
    teacher.screenshot(failed + "teacher.png");
    for (const auto& student : students) {
      student->browser.screenshot(failed + student->plan.name + ".png");
    }
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(web.port()) + "/" + path + "/" + kCode;
  }

  // The teacher's page or the projector view in the teacher's shown tab,
  // logged in with the class's password.
  void teacherLogsIn(const std::string& page, const std::string& shown) {
    teacher.open(url(page));
    ASSERT_TRUE(WebDriver::waitUntil([&] { return !hidden("login"); })) << page;
    teacher.type("password", kPassword);
    teacher.click("logIn");
    ASSERT_TRUE(WebDriver::waitUntil([&] { return !hidden(shown); })) << page;
  }
  bool hidden(const std::string& id) {
    return teacher.run("return document.getElementById('" + id + "').hidden;").get<bool>();
  }
  int count(const std::string& selector) {
    return teacher.run("return document.querySelectorAll('" + selector + "').length;").get<int>();
  }
  std::string textOf(const std::string& selector) {
    return teacher.run("const e = document.querySelector('" + selector +
                       "'); return e ? e.textContent : '';");
  }

  // The student opens the class's join address, types a name and answers
  // the questionnaire, and is counted in the class.
  void join(Student& student) {
    WebDriver& page = student.browser;
    page.open(url("join"));
    page.run(kKeepClockTexts);
    ASSERT_TRUE(WebDriver::waitUntil([&] {
      return page.run("return !document.getElementById('txtJoinName').hidden;") == true;
    })) << "the name's box";
    const size_t before = demo.db.stores.classes().students(kCode).size();
    page.type("txtJoinName", std::string(student.plan.name) + WebDriver::kEnter);
    ASSERT_TRUE(WebDriver::waitUntil([&] { return student.state().questionnaire; }))
        << "the questionnaire";
    page.type("txtAge", "19");
    page.click("optGender_0");
    page.click("cmdOK");
    ASSERT_TRUE(WebDriver::waitUntil([&] {
      return !student.state().questionnaire &&
             demo.db.stores.classes().students(kCode).size() == before + 1;
    })) << student.plan.name
        << " in the class";
  }

  // Presses OK on every message box until the order box of `week` opens.
  void untilWeekOpens(Student& student, int week) {
    for (;;) {
      PageState s;
      ASSERT_TRUE(WebDriver::waitUntil(
          [&] {
            s = student.state();
            return s.orderOpen || !s.message.empty() || s.nextTrial || s.over;
          },
          std::chrono::seconds(kWeekSeconds + 20)))
          << student.plan.name << " stands still before week " << week;
      if (!s.message.empty()) {
        student.browser.click("cmdMessageOk");
        continue;
      }
      ASSERT_TRUE(s.orderOpen) << student.plan.name << " has no week " << week;
      ASSERT_TRUE(s.week.starts_with(twoDigits(week))) << student.plan.name << ": " << s.week;
      return;
    }
  }

  // Types the week's order and Enter; waits until the page locked the box.
  void order(Student& student, int week) {
    ASSERT_NO_FATAL_FAILURE(untilWeekOpens(student, week));
    student.browser.type("txtOrder",
                         std::to_string(orderOfWeek(student.plan, week)) + WebDriver::kEnter);
    ASSERT_TRUE(WebDriver::waitUntil([&] { return !student.state().orderOpen; }));
  }

  // The student's page shows what the clock ordered.
  bool showsTheClocksOrder(Student& student) {
    const std::string text =
        "The time for this week ran out: " + std::to_string(orderOfWeek(student.plan, kClockWeek)) +
        " was ordered for you.";
    return student.browser.run("return window.clockTexts.includes('" + text + "');") == true;
  }

  // Goes on past the trial's end to the game over.
  void untilGameOver(Student& student) {
    for (;;) {
      PageState s;
      ASSERT_TRUE(WebDriver::waitUntil([&] {
        s = student.state();
        return s.over || !s.message.empty() || s.nextTrial || s.orderOpen;
      })) << student.plan.name
          << " stands still after the last week";
      if (s.over) return;
      ASSERT_FALSE(s.orderOpen) << student.plan.name << " has more weeks: " << s.week;
      student.browser.click(s.message.empty() ? "cmdOrder" : "cmdMessageOk");
    }
  }

  // The student's orders of the trial as the team stored them.
  std::vector<TestRow> teamOrders(const Student& student) {
    return demo.db.rows("SELECT Week, [Order], Clock FROM datTeamOrder WHERE Team = '" +
                        student.team + "' AND Member = " + std::to_string(student.member) +
                        " AND Training = 0 ORDER BY Week");
  }
  // Who played the student's stage each week of the trial, by the student's
  // records: 6 the student, 8 the clock.
  std::vector<TestRow> stageUsers(const Student& student) {
    return demo.db.rows("SELECT Week, User FROM datRole WHERE Subject = '" + student.subject +
                        "' AND Training = 0 AND Role = '" + kStages.at(student.member - 1) +
                        "' ORDER BY Week");
  }

  DemoFolder demo;
  RunningServer web{demo.app.string()};
  WebDriver teacher{1280, 800};
  std::vector<std::unique_ptr<Student>> students;
};

TEST_F(ClassOfBrowsers, PlaysATeamSettingWithTheClockFromTheJoinCodeToTheDebriefing) {
  ASSERT_NO_FATAL_FAILURE(teacherLogsIn("teacher", "desk"));
  const std::string desk = teacher.tab();
  const std::string projector = teacher.openTab();
  ASSERT_NO_FATAL_FAILURE(teacherLogsIn("projector", "screen"));
  teacher.showTab(desk);

  for (auto& student : students) ASSERT_NO_FATAL_FAILURE(join(*student));
  teacher.click("startClass");
  ASSERT_TRUE(WebDriver::waitUntil([&] { return teacher.text("state") == "started"; }));
  // Placed by arrival: the first four in the first team.
  ASSERT_TRUE(WebDriver::waitUntil([&] {
    return demo.db.count("datTeamMember", "Team LIKE '" + std::string(kCode) + "-T%'") == 8 &&
           count("#teams tbody tr") == 2;
  })) << "the teams, stored and on the teacher's page";
  const std::vector<ClassStudent> placed = demo.db.stores.classes().students(kCode);
  ASSERT_EQ(placed.size(), students.size());
  for (size_t i = 0; i < placed.size(); ++i) {
    EXPECT_EQ(placed[i].name, students[i]->plan.name);
    EXPECT_EQ(placed[i].team, std::string(kCode) + (i < 4 ? "-T01" : "-T02"));
    students[i]->subject = placed[i].subject;
    students[i]->team = placed[i].team;
    students[i]->member = static_cast<int>(intOf(
        demo.db.rows("SELECT Member FROM datTeamMember WHERE Subject = '" + placed[i].subject + "'")
            .at(0),
        "Member"));
  }

  for (int week = 1; week <= kWeeks; ++week) {
    SCOPED_TRACE("week " + std::to_string(week));
    for (auto& student : students) {
      if (week == kClockWeek && student->plan.letsTheClockOrder) {
        ASSERT_NO_FATAL_FAILURE(untilWeekOpens(*student, week));
      } else {
        ASSERT_NO_FATAL_FAILURE(order(*student, week));
      }
    }
    if (week != kClockWeek) continue;
    // The teacher sees whom each team waits for while their clocks run.
    for (const auto& student : students) {
      if (!student->plan.letsTheClockOrder) continue;
      ASSERT_TRUE(WebDriver::waitUntil([&] {
        return textOf("#teams tr[data-team=\"" + student->team + "\"] td.waiting")
            .starts_with(student->subject);
      })) << "the teacher sees "
          << student->team << " wait for " << student->subject;
    }
    teacher.showTab(projector);
    EXPECT_TRUE(WebDriver::waitUntil([&] { return count("#live polyline") == 4 * 2; }))
        << "the projector's live charts: a line a team on each stage's chart";
    teacher.showTab(desk);
    for (auto& student : students) {
      if (!student->plan.letsTheClockOrder) continue;
      EXPECT_TRUE(WebDriver::waitUntil([&] { return showsTheClocksOrder(*student); },
                                       std::chrono::seconds(kWeekSeconds + 20)))
          << student->plan.name << " is shown the clock's order";
    }
  }
  for (auto& student : students) ASSERT_NO_FATAL_FAILURE(untilGameOver(*student));

  teacher.click("endClass");
  teacher.acceptDialog();
  ASSERT_TRUE(WebDriver::waitUntil([&] { return count("#places tbody tr") == 2; }))
      << "the teacher's debriefing";
  const json places = teacher.run(
      "return [...document.querySelectorAll('#places tbody tr')].map("
      "(tr) => [tr.cells[0].textContent, tr.cells[1].textContent]);");
  for (const json& place : places) {
    EXPECT_TRUE(place[0] == "1 of 2" || place[0] == "2 of 2") << place;
  }
  EXPECT_NE(places[0][1], places[1][1]);
  teacher.showTab(projector);
  EXPECT_TRUE(WebDriver::waitUntil([&] {
    return !hidden("debriefing") && count("#places tbody tr") == 2 &&
           count("#debriefCharts polyline") == 4 * 2;
  })) << "the projector's debriefing";

  for (const auto& student : students) {
    SCOPED_TRACE(student->plan.name);
    std::vector<TestRow> orders, users;
    for (int week = 1; week <= kWeeks; ++week) {
      const bool byClock = student->plan.letsTheClockOrder && week == kClockWeek;
      orders.push_back({{"Week", int64_t{week}},
                        {"Order", int64_t{orderOfWeek(student->plan, week)}},
                        {"Clock", int64_t{byClock}}});
      users.push_back({{"Week", int64_t{week}}, {"User", int64_t{byClock ? 8 : 6}}});
    }
    EXPECT_EQ(teamOrders(*student), orders);
    EXPECT_EQ(stageUsers(*student), users);
  }
  EXPECT_EQ(demo.db.count("datTeamOrder", "Clock = 1"), 2) << "the clock ordered for nobody else";
}

}  // namespace
}  // namespace quarn::testing
