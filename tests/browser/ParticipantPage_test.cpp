// The participant's page in a real headless Chromium against the real server
// on a copy of the demo database: real keys and clicks, the records checked
// against a pilot's for the same orders.
#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "app/Pilot.h"
#include "server/WebServer.h"
#include "tests/browser/WebDriver.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

namespace asio = boost::asio;
using nlohmann::json;

class RunningServer {
 public:
  explicit RunningServer(const std::string& appFolder)
      : m_web(m_io, {asio::ip::make_address("127.0.0.1"), 0}, appFolder),
        m_thread([this] { m_io.run(); }) {}
  ~RunningServer() {
    m_io.stop();
    m_thread.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(m_web.port()) + "/"; }

 private:
  asio::io_context m_io{1};
  server::WebServer m_web;
  std::thread m_thread;
};

// What the page shows, read in one call.
struct PageState {
  std::string message;  // the open message box's kind; empty: none
  bool pause = false, skip = false, login = false, newUser = false;
  bool orderOpen = false, nextTrial = false, over = false, training = false;
  std::string week, trial, status;
};

const char* const kReadState = R"(
  const $ = (id) => document.getElementById(id);
  const main = !$("frmMain").hidden;
  return {
    message: $("dlgMessage").open ? $("dlgMessage").dataset.kind : "",
    pause: $("frmPause").open, skip: $("frmPassword").open,
    login: !$("frmLogin").hidden, newUser: !$("frmNewUser").hidden,
    orderOpen: main && !$("txtOrder").disabled,
    nextTrial: main && $("txtOrder").disabled && !$("cmdOrder").disabled,
    over: !$("fraClosing").hidden, training: !$("lblTraining").hidden,
    week: $("lblWeek").textContent, trial: $("lblTrial").textContent,
    status: $("status").hidden ? "" : $("status").textContent };)";

// Counts the page's messages to the server by type, from the moment it is
// installed.
const char* const kCountSent = R"(
  window.sentByType = {};
  const send = WebSocket.prototype.send;
  WebSocket.prototype.send = function (text) {
    const type = JSON.parse(text).type;
    window.sentByType[type] = (window.sentByType[type] || 0) + 1;
    return send.call(this, text);
  };)";

const char* const kPasswordSelected = R"(
  const box = document.getElementById("txtPassword");
  return box.value !== "" && box.selectionStart === 0 && box.selectionEnd === box.value.length;)";

class ParticipantPage : public ::testing::Test {
 protected:
  PageState state() {
    const json s = browser.run(kReadState);
    return {s["message"],   s["pause"], s["skip"],     s["login"], s["newUser"], s["orderOpen"],
            s["nextTrial"], s["over"],  s["training"], s["week"],  s["trial"],   s["status"]};
  }

  void waitFor(const std::function<bool(const PageState&)>& condition, const char* what) {
    ASSERT_TRUE(WebDriver::waitUntil([&] { return condition(state()); })) << "waited for " << what;
  }

  // Logs in a new User ID through the questionnaire, up to the first week.
  void logInNew(const std::string& subject) {
    browser.open(web.url());
    waitFor([](const PageState& s) { return s.login; }, "the login");
    browser.type("txtSubjectID", subject);
    browser.type("cboSetting", "Demo");
    browser.click("cmdStart");
    waitFor([](const PageState& s) { return s.newUser; }, "the questionnaire");
    browser.type("txtAge", "3");
    browser.click("optGender_1");
    browser.click("cmdOK");
    waitFor([](const PageState& s) { return s.message == "QuestionnaireIncomplete"; },
            "the age refused");
    browser.click("cmdMessageOk");
    EXPECT_EQ(browser.value("txtAge"), "3");
    browser.type("txtAge", std::string(WebDriver::kBackspace) + "34");
    browser.click("cmdOK");
    dismissMessagesUntilOrder();
  }

  // Presses OK on every message box until the order box opens.
  void dismissMessagesUntilOrder() {
    for (;;) {
      PageState s;
      ASSERT_TRUE(WebDriver::waitUntil([&] {
        s = state();
        return s.orderOpen || !s.message.empty() || s.nextTrial;
      })) << "the page stands still";
      if (!s.message.empty()) {
        browser.click("cmdMessageOk");
      } else if (s.orderOpen) {
        return;
      } else {
        browser.click("cmdOrder");
      }
    }
  }

  // Types the order and Enter, and waits until the page has locked the box.
  void order(int value) { browser.type("txtOrder", std::to_string(value) + WebDriver::kEnter); }

  DemoFolder demo;
  RunningServer web{demo.app.string()};
  WebDriver browser{1280, 800};
};

// The weeks' rows of the experiment's trials as stored, without what differs
// between two participants (the User ID, the decision time, the date).
std::vector<TestRow> experimentRows(const TestDatabase& db, const std::string& subject) {
  return db.rows(
      "SELECT Trial, Training, Week, Role, User, [Order], DeltaInventory, Inventory, Delay1, "
      "Delay2, Delay3, Demand, Satisfied, WeeklyCost, TotalCost FROM datRole WHERE Subject='" +
      subject + "' AND Training=0 ORDER BY Trial, Week, Role");
}

std::vector<int16_t> experimentOrders() {
  std::vector<int16_t> orders;
  for (int week = 0; week < 80; ++week) orders.push_back(static_cast<int16_t>((week * 7) % 13));
  return orders;
}

TEST_F(ParticipantPage, PlaysTheDemoWholeRecordingWhatAPilotRecords) {
  logInNew("B1");
  EXPECT_TRUE(state().training);
  order(5);
  dismissMessagesUntilOrder();
  // The moderator's key, a wrong password, then the right one.
  browser.type("txtOrder", "e");
  ASSERT_TRUE(state().skip);
  browser.type("txtSkipPassword", std::string("wrong") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return s.message == "IncorrectPassword"; }, "the refusal");
  browser.click("cmdMessageOk");
  browser.type("txtSkipPassword", std::string("skip") + WebDriver::kEnter);

  const std::vector<int16_t> orders = experimentOrders();
  size_t next = 0;
  int pauses = 0;
  for (;;) {
    PageState s;
    ASSERT_TRUE(WebDriver::waitUntil([&] {
      s = state();
      return s.orderOpen || !s.message.empty() || s.nextTrial || s.pause || s.over;
    })) << "the page stands still after "
        << next << " orders";
    if (s.over) break;
    if (!s.message.empty()) {
      browser.click("cmdMessageOk");
    } else if (s.pause) {
      ++pauses;
      browser.type("txtPassword",
                   std::string(pauses == 1 ? "guess" : "continue") + WebDriver::kEnter);
      // A wrong password stays in the box, selected, to be typed over.
      if (pauses == 1) {
        EXPECT_TRUE(WebDriver::waitUntil([&] { return browser.run(kPasswordSelected) == true; }));
      }
    } else if (s.nextTrial) {
      browser.click("cmdOrder");
    } else {
      ASSERT_LT(next, orders.size()) << "more weeks than the demo has";
      order(orders[next++]);
      ASSERT_TRUE(WebDriver::waitUntil([&] { return !state().orderOpen; }));
    }
  }
  EXPECT_EQ(next, orders.size());
  EXPECT_GE(pauses, 2);
  EXPECT_EQ(demo.db.count("datUser", "Subject='B1' AND Age=34 AND Gender='Female'"), 1);

  PilotOptions options{demo.dataDir(), "Demo", "P1", ordersFromList(orders), {}, {}};
  options.skipTraining = true;
  std::ostringstream out, err;
  ASSERT_EQ(runPilot(options, out, err).exitCode, 0) << err.str();
  const std::vector<TestRow> browserRows = experimentRows(demo.db, "B1");
  EXPECT_EQ(browserRows.size(), orders.size() * kRoleCount);
  EXPECT_EQ(browserRows, experimentRows(demo.db, "P1"));
}

}  // namespace
}  // namespace quarn::testing
