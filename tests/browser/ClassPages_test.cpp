// The teacher's page and the projector view of a class in a real headless
// Chromium, against the real server on a copy of the demo database, with
// students playing beside them through the page's protocol.
#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <cstdlib>
#include <thread>

#include "db/ClassStore.h"
#include "db/OpenDatabase.h"
#include "server/WebServer.h"
#include "tests/browser/WebDriver.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/server/PageClient.h"

namespace quarn::testing {
namespace {

using nlohmann::json;

constexpr const char* kCode = "QRS234";
constexpr const char* kPassword = "lecture";

// The orders of the students, one list each: each swings more than the one
// before, as a class's chains do.
const std::vector<std::vector<int>> kOrders = {
    {4, 4, 5, 6, 6, 5, 4, 4, 5, 5},
    {4, 6, 8, 9, 7, 4, 2, 3, 6, 8},
    {4, 8, 12, 14, 9, 2, 0, 4, 10, 12},
};

// A student of the Demo setting who skips training and plays `orders`.
void playStudent(uint16_t port, const std::string& subject, const std::vector<int>& orders) {
  PageClient page(port);
  page.send({{"type", "login"},
             {"subject", subject},
             {"setting", "Demo"},
             {"questionnaire",
              {{"age", 20}, {"gender", "Male"}, {"schoolYear", "Other"}, {"major", "Other"}}}});
  page.receiveUntil("weekOpened");
  page.send({{"type", "skipTraining"}, {"password", "skip"}});
  int turn = page.receiveUntil("weekOpened")["turn"].get<int>();
  for (size_t n = 0; n < orders.size(); ++n) {
    page.send({{"type", "order"}, {"turn", turn}, {"value", std::to_string(orders[n])}});
    if (n + 1 < orders.size()) turn = page.weekAfter(turn);
  }
}

class ClassPages : public ::testing::Test {
 protected:
  ClassPages() {
    ClassRow row;
    row.code = kCode;
    row.setting = "Demo";
    row.password = hashClassPassword(kPassword);
    row.opened = "2026-12-08 08:00:00";
    openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().open(row, [] {
      return std::string(kCode);
    });
  }

  std::string url(const std::string& page) const {
    return "http://127.0.0.1:" + std::to_string(web.port()) + "/" + page + "/" + kCode;
  }
  void logIn(const std::string& page, const std::string& shown) {
    browser.open(url(page));
    ASSERT_TRUE(WebDriver::waitUntil([&] { return !hidden("login"); })) << "the login";
    browser.type("password", kPassword);
    browser.click("logIn");
    ASSERT_TRUE(WebDriver::waitUntil([&] { return !hidden(shown); })) << page;
  }
  bool hidden(const std::string& id) {
    return browser.run("return document.getElementById('" + id + "').hidden;").get<bool>();
  }
  int count(const std::string& selector) {
    return browser.run("return document.querySelectorAll('" + selector + "').length;").get<int>();
  }
  // The picture of the page, where QUARN_SCREENSHOT_DIR names a folder
  // (scripts/page-screenshots).
  void takePicture(const std::string& name) {
    if (const char* folder = std::getenv("QUARN_SCREENSHOT_DIR")) {
      browser.screenshot(std::string(folder) + "/" + name + ".png");
    }
  }

  DemoFolder demo;
  RunningServer web{demo.app.string()};
  WebDriver browser{1280, 800};
};

TEST_F(ClassPages, TeacherLogsInSeesAStudentAndPausesTheClass) {
  logIn("teacher", "desk");
  playStudent(web.port(), "S1", {4, 5});
  ASSERT_TRUE(WebDriver::waitUntil([&] { return count("#students tbody tr") == 1; }));
  EXPECT_EQ(browser.run("return document.querySelector('#students tbody td').textContent;"), "S1");
  browser.click("startClass");
  ASSERT_TRUE(WebDriver::waitUntil([&] { return browser.text("state") == "started"; }));
  browser.click("pauseClass");
  ASSERT_TRUE(WebDriver::waitUntil([&] { return browser.text("state") == "paused"; }));
  EXPECT_FALSE(browser.enabled("pauseClass"));
  EXPECT_EQ(std::string(classStateName(
                openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().find(kCode)->state)),
            "paused");
}

TEST_F(ClassPages, WrongPasswordLeavesTheTeacherAtTheLogin) {
  browser.open(url("teacher"));
  ASSERT_TRUE(WebDriver::waitUntil([&] { return !hidden("login"); }));
  browser.type("password", "guess");
  browser.click("logIn");
  ASSERT_TRUE(WebDriver::waitUntil(
      [&] { return browser.text("status") == "That is not the class's password."; }));
  EXPECT_TRUE(hidden("desk"));
}

TEST_F(ClassPages, ProjectorDrawsEveryStudentsOrdersAndTheDebriefing) {
  for (size_t i = 0; i < kOrders.size(); ++i) {
    playStudent(web.port(), "S" + std::to_string(i + 1), kOrders[i]);
  }
  browser.resize(1600, 900);
  logIn("projector", "screen");
  // Four stages' charts with a line per student, and the variance's bars.
  ASSERT_TRUE(WebDriver::waitUntil([&] { return count("#live polyline") == 4 * 3; }));
  EXPECT_GE(count("#live rect"), 4);
  takePicture("projector");

  logIn("teacher", "desk");
  browser.click("debrief");
  ASSERT_TRUE(WebDriver::waitUntil([&] { return count("#places tbody tr") == 3; }));
}

}  // namespace
}  // namespace quarn::testing
