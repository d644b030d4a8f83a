// The participant's page in a real headless Chromium against the real server
// on a copy of the demo database: real keys and clicks, the records checked
// against a pilot's for the same orders.
#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "app/Pilot.h"
#include "db/ClassStore.h"
#include "db/ClassTeams.h"
#include "server/WebServer.h"
#include "tests/browser/WebDriver.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

namespace asio = boost::asio;
using nlohmann::json;

class RunningServer {
 public:
  // Port 0: one the system chooses.
  RunningServer(const std::string& appFolder, uint16_t port)
      : m_web(m_io, {asio::ip::make_address("127.0.0.1"), port}, appFolder),
        m_thread([this] { m_io.run(); }) {}
  ~RunningServer() {
    m_io.stop();
    m_thread.join();
  }
  uint16_t port() const { return m_web.port(); }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port()) + "/"; }

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

// Counts the page's messages to the server by type, and keeps its logins,
// from the moment it is installed.
const char* const kCountSent = R"(
  window.sentByType = {};
  window.sentLogins = [];
  const send = WebSocket.prototype.send;
  WebSocket.prototype.send = function (text) {
    const message = JSON.parse(text);
    window.sentByType[message.type] = (window.sentByType[message.type] || 0) + 1;
    if (message.type === "login") window.sentLogins.push(message);
    if (message.type === "order") window.sentOrder = message;
    return send.call(this, text);
  };)";

const char* const kTeamWaitingShown = R"(
  const text = document.getElementById("lblTeamWaiting");
  return !text.hidden && text.textContent !== "" && document.getElementById("txtOrder").disabled;)";

// Per road, Factory's production first: "1" where the page shows it with
// its loads, "0" where it is hidden and carries none.
const char* const kShownRoads = R"(
  return [0, 1, 2, 3].map((r) => {
    const road = document.getElementById(`fraRoad_${r}`);
    const loads = [...road.querySelectorAll(".truck")].map((truck) => truck.textContent).join("");
    return road.hidden && loads === "" ? "0" : road.hidden || loads === "" ? "?" : "1";
  }).join("");)";

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

  // Starts the login of a new User ID, up to the questionnaire.
  void startLogin(const std::string& subject) {
    browser.open(web->url());
    waitFor([](const PageState& s) { return s.login; }, "the login");
    browser.type("txtSubjectID", subject);
    browser.type("cboSetting", "Demo");
    browser.click("cmdStart");
    waitFor([](const PageState& s) { return s.newUser; }, "the questionnaire");
  }

  // Logs in a new User ID through the questionnaire, up to the first week.
  void logInNew(const std::string& subject) {
    startLogin(subject);
    browser.type("txtAge", "34");
    browser.click("optGender_1");
    browser.click("cmdOK");
    dismissMessagesUntilOrder();
  }

  // The page on a phone and on a laptop, where QUARN_SCREENSHOT_DIR names
  // a folder (scripts/page-screenshots).
  void takePictures() {
    const char* folder = std::getenv("QUARN_SCREENSHOT_DIR");
    if (!folder) return;
    browser.screenshot(std::string(folder) + "/page-laptop.png");
    browser.resize(360, 740);
    browser.screenshot(std::string(folder) + "/page-phone.png");
    browser.resize(1280, 800);
  }

  // A failed test leaves the page's picture beside the others.
  void TearDown() override {
    const char* folder = std::getenv("QUARN_SCREENSHOT_DIR");
    if (!folder || !HasFailure()) return;
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    browser.screenshot(std::string(folder) + "/failed-" + name + ".png");
  }

  int countSent(const std::string& type) {
    const json count = browser.run("return window.sentByType['" + type + "'] || 0;");
    return count.get<int>();
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
  std::optional<RunningServer> web{std::in_place, demo.app.string(), 0};
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

// How often B1, the Retailer in training, ordered `value` in `week`.
int trainingOrders(const TestDatabase& db, int week, int value) {
  return db.count("datRole", "Subject='B1' AND Role='Retailer' AND Training<>0 AND Week=" +
                                 std::to_string(week) + " AND \"Order\"=" + std::to_string(value));
}

std::vector<int16_t> experimentOrders() {
  std::vector<int16_t> orders;
  for (int week = 0; week < 80; ++week) orders.push_back(static_cast<int16_t>((week * 7) % 13));
  return orders;
}

TEST_F(ParticipantPage, PlaysTheDemoWholeRecordingWhatAPilotRecords) {
  startLogin("B1");
  // The window's check of the age, with its message; what was typed stays.
  browser.type("txtAge", "3");
  browser.click("optGender_1");
  browser.click("cmdOK");
  waitFor([](const PageState& s) { return s.message == "QuestionnaireIncomplete"; },
          "the age refused");
  browser.click("cmdMessageOk");
  EXPECT_EQ(browser.value("txtAge"), "3");
  browser.type("txtAge", "4");
  browser.click("cmdOK");
  dismissMessagesUntilOrder();
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
  waitFor([](const PageState& s) { return !s.skip && !s.orderOpen; }, "the training's end");

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
      browser.type("txtPassword", std::string("guess") + WebDriver::kEnter);
      // A wrong password stays in the box, selected, to be typed over.
      ASSERT_TRUE(WebDriver::waitUntil([&] { return browser.run(kPasswordSelected) == true; }));
      browser.type("txtPassword", std::string("continue") + WebDriver::kEnter);
      waitFor([](const PageState& s) { return !s.pause; }, "the pause's end");
    } else if (s.nextTrial) {
      browser.click("cmdOrder");
    } else {
      // The Distributor's trial, with its forecast, for the README's pictures.
      if (next == 48) takePictures();
      ASSERT_LT(next, orders.size()) << "more weeks than the demo has";
      order(orders[next++]);
      ASSERT_TRUE(WebDriver::waitUntil([&] { return !state().orderOpen; }));
    }
  }
  EXPECT_EQ(next, orders.size());
  EXPECT_EQ(pauses, 1);
  EXPECT_EQ(
      demo.db.count("datUser", "Subject='B1' AND Age=34 AND Gender='Female' AND Major='Other'"), 1);

  PilotOptions options{demo.dataDir(), "Demo", "P1", ordersFromList(orders), {}, {}};
  options.skipTraining = true;
  std::ostringstream out, err;
  ASSERT_EQ(runPilot(options, out, err).exitCode, 0) << err.str();
  const std::vector<TestRow> browserRows = experimentRows(demo.db, "B1");
  EXPECT_EQ(browserRows.size(), orders.size() * kRoleCount);
  EXPECT_EQ(browserRows, experimentRows(demo.db, "P1"));
}

// A trial whose display hides the Retailer's trucks shows that road on the
// page neither at the trial's start nor after a week.
TEST_F(ParticipantPage, HidesTheRoadsTheDisplayHides) {
  demo.db.exec("UPDATE tblBlock SET DisplayOption = 'RetailerHidden' WHERE Setting = 'Demo'");
  logInNew("B1");
  EXPECT_EQ(browser.run(kShownRoads), "1111") << "training shows every road";
  browser.type("txtOrder", "e");
  ASSERT_TRUE(state().skip);
  browser.type("txtSkipPassword", std::string("skip") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return !s.skip && !s.orderOpen; }, "the training's end");
  dismissMessagesUntilOrder();
  EXPECT_EQ(browser.run(kShownRoads), "1110") << "the trial's start";
  order(5);
  ASSERT_TRUE(WebDriver::waitUntil([&] { return !state().orderOpen; }));
  dismissMessagesUntilOrder();
  EXPECT_EQ(browser.run(kShownRoads), "1110") << "after a week";
}

TEST_F(ParticipantPage, OrderBoxTakesAtMostFourDigits) {
  logInNew("B1");
  const struct {
    std::string keys;
    std::string shown;
  } cases[] = {
      {"a1b2c", "12"},    {"-5.5", "55"}, {"+ 9,", "9"},
      {"123456", "1234"}, {"0", "0"},     {"07", "7"},  // a lone 0 is typed over
      {"E", ""},
  };
  for (const auto& typed : cases) {
    for (int i = 0; i < 6; ++i) browser.type("txtOrder", WebDriver::kBackspace);
    browser.type("txtOrder", typed.keys);
    EXPECT_EQ(browser.value("txtOrder"), typed.shown) << typed.keys;
    EXPECT_EQ(browser.enabled("cmdOrder"), !typed.shown.empty()) << typed.keys;
  }
  EXPECT_EQ(demo.db.count("datRole"), 0);
}

TEST_F(ParticipantPage, EnterTwiceOrFastClicksOrderOnce) {
  logInNew("B1");
  browser.run(kCountSent);
  const std::string firstWeek = state().week;
  browser.type("txtOrder", std::string("5") + WebDriver::kEnter + WebDriver::kEnter);
  waitFor([&](const PageState& s) { return s.orderOpen && s.week != firstWeek; }, "week 2");
  EXPECT_EQ(countSent("order"), 1);

  browser.type("txtOrder", "6");
  for (int i = 0; i < 3; ++i) browser.click("cmdOrder");
  waitFor([](const PageState& s) { return s.orderOpen; }, "week 3");
  EXPECT_EQ(countSent("order"), 2);
  EXPECT_EQ(countSent("error"), 0);
  EXPECT_EQ(trainingOrders(demo.db, 1, 5), 1);
  EXPECT_EQ(trainingOrders(demo.db, 2, 6), 1);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=3"), 0);
}

TEST_F(ParticipantPage, SendsTheDecisionTimeFromTheWeekShownToTheOrder) {
  logInNew("B1");
  browser.run(kCountSent);
  // The next week is shown between these two moments.
  const auto ordered = std::chrono::steady_clock::now();
  order(4);
  dismissMessagesUntilOrder();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  order(5);
  const auto sent = std::chrono::steady_clock::now();
  const json message = browser.run("return window.sentOrder;");
  ASSERT_TRUE(message["decisionMs"].is_number_integer()) << message;
  EXPECT_GE(message["decisionMs"].get<int>(), 400);
  EXPECT_LE(message["decisionMs"].get<int64_t>(),
            std::chrono::duration_cast<std::chrono::milliseconds>(sent - ordered).count());
}

TEST_F(ParticipantPage, RefusedOrderStaysInTheBoxToBeTypedOver) {
  // Costs this high hold the training's orders below what the box holds.
  demo.db.exec("UPDATE tblTraining SET CostBackOrder = 100000 WHERE Setting = 'Demo'");
  logInNew("B1");
  browser.type("txtOrder", std::string("9999") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return s.message == "OrderAboveLimit"; }, "the refusal");
  browser.type("cmdMessageOk", WebDriver::kEnter);
  waitFor([](const PageState& s) { return s.message.empty() && s.orderOpen; }, "the box again");
  EXPECT_EQ(browser.value("txtOrder"), "9999");
  EXPECT_EQ(demo.db.count("datRole"), 0);
  // The refused order is selected: the next digits replace it.
  browser.type("txtOrder", std::string("12") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return s.week.starts_with("02"); }, "week 2");
  EXPECT_EQ(trainingOrders(demo.db, 1, 12), 1);
}

TEST_F(ParticipantPage, ShowsTheSettingsLanguage) {
  demo.db.exec("INSERT INTO tblSetting (Setting, Language) VALUES ('Demo', 'de')");
  logInNew("B1");
  waitFor([&](const PageState&) { return browser.text("cmdOrder") == "Bestellen"; },
          "the German caption");
  EXPECT_EQ(browser.text("tagWeek"), "Woche:");
  EXPECT_EQ(browser.text("lblRole_3"), "Einzelhändler");
  EXPECT_EQ(state().week, "01 von 10");
}

TEST_F(ParticipantPage, StudentTypesTheClassCodeAndANameAndIsPlaced) {
  ClassRow row;
  row.setting = "Demo";
  const std::string code = demo.db.stores.classes().open(row, drawClassCode);
  browser.open(web->url());
  waitFor([](const PageState& s) { return s.login; }, "the login");
  browser.click("cmdShowJoin");
  browser.type("txtClassCode", code + WebDriver::kEnter);
  waitFor([&](const PageState&) { return browser.text("lblJoinSetting") == "Setting: Demo"; },
          "the class's setting");
  EXPECT_EQ(browser.text("lblJoinName"), "Your name:");
  if (const char* folder = std::getenv("QUARN_SCREENSHOT_DIR")) {
    browser.resize(360, 740);
    browser.screenshot(std::string(folder) + "/class-join.png");
    browser.resize(1280, 800);
  }
  browser.type("txtJoinName", std::string("Ada L") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return s.newUser; }, "the questionnaire");
  EXPECT_EQ(browser.text("lblSubject"), code + "-001");
  browser.type("txtAge", "19");
  browser.click("optGender_1");
  browser.click("cmdOK");
  // The new student answered while the class is open; it begins once started.
  waitFor(
      [&](const PageState&) {
        return browser.text("lblJoinNote") == "Waiting for the teacher to start";
      },
      "the wait for the class's start");
  ASSERT_TRUE(
      startClass(demo.db.stores.classes(), demo.db.stores.teams(), code, {}, [](size_t below) {
        return below - 1;
      }).started);
  dismissMessagesUntilOrder();
  EXPECT_EQ(demo.db.stores.classes().students(code),
            (std::vector<ClassStudent>{{code, code + "-001", "Ada L", 1, ""}}));
  EXPECT_EQ(demo.db.count("datUser", "Subject='" + code + "-001' AND Setting='Demo'"), 1);
}

TEST_F(ParticipantPage, LogsInAgainAfterTheServerRestarted) {
  logInNew("B1");
  order(4);
  dismissMessagesUntilOrder();
  const uint16_t port = web->port();
  web.reset();
  waitFor([](const PageState& s) { return !s.status.empty() && !s.orderOpen; },
          "the connection's loss shown");
  web.emplace(demo.app.string(), port);
  dismissMessagesUntilOrder();
  EXPECT_EQ(browser.text("lblSubjectName"), "B1");
  EXPECT_EQ(state().status, "");
  // The tab keeps the login, never a password.
  EXPECT_EQ(browser.run("return sessionStorage.getItem('quarn.login');"),
            R"({"subject":"B1","setting":"Demo","team":""})");
  const std::string openWeek = state().week;
  order(7);
  waitFor([&](const PageState& s) { return s.week != openWeek; }, "the next week");
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Role='Retailer' AND \"Order\"=7"), 1);
  EXPECT_EQ(demo.db.count("datUser", "Subject='B1'"), 1);
}

TEST_F(ParticipantPage, AsksBeforeTakingOverAndYesLogsInTakingOver) {
  // A pilot that stays at its second week keeps B1 marked as playing.
  const std::string pilotOut = demo.app.string() + "/pilot.txt";
  const pid_t pilot = startPilot(demo, "B1", pilotOut, {"--stop-after", "1"});
  ASSERT_TRUE(WebDriver::waitUntil([&] {
    return demo.db.count("datRole", "Subject='B1' AND Week=1") == kRoleCount;
  })) << readFile(pilotOut);
  browser.open(web->url());
  waitFor([](const PageState& s) { return s.login; }, "the login");
  browser.run(kCountSent);
  browser.type("txtSubjectID", "B1");
  browser.type("cboSetting", std::string("Demo") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return s.message == "TakeOver"; }, "the question");
  EXPECT_FALSE(browser.run("return document.getElementById('cmdYes').hidden;"));
  EXPECT_FALSE(browser.run("return document.getElementById('cmdNo').hidden;"));
  browser.click("cmdYes");
  ASSERT_TRUE(WebDriver::waitUntil([&] { return countSent("login") == 2; }));
  const json logins = browser.run("return window.sentLogins;");
  EXPECT_FALSE(logins[0].contains("takeOver"));
  EXPECT_EQ(logins[1]["takeOver"], true);
  EXPECT_EQ(logins[1]["subject"], "B1");
  kill(pilot, SIGTERM);
  quarn::testing::waitFor(pilot);
}

TEST_F(ParticipantPage, ReloadComesBackToTheOpenWeek) {
  logInNew("B1");
  if (!browser.hasCookie("quarn_session")) GTEST_SKIP() << "the server keeps no browser's session";
  for (int value : {4, 8}) {
    order(value);
    dismissMessagesUntilOrder();
  }
  const std::string openWeek = state().week;
  browser.reload();
  dismissMessagesUntilOrder();
  EXPECT_EQ(state().week, openWeek);
  order(3);
  waitFor([&](const PageState& s) { return s.week != openWeek; }, "the next week");
  EXPECT_EQ(trainingOrders(demo.db, 3, 3), 1);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Training<>0"), 3 * kRoleCount);
}

// A team setting beside the demo's, on the lab server: its first two
// trials of four weeks, the members on the Retailer (Subject1, B1) and the
// Factory (Subject2, P2), each training alone; team T1 is B1 and P2.
void preparePair(DemoFolder& demo) {
  demo.db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= 2;"
      "UPDATE b SET Setting = 'Pair', numweeks = 4" +
      memberAssignments({"Retailer", "Factory"}) +
      ", \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
      "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  copyDemoTraining(demo.db, "Pair");
  demo.moveToServer();
  const std::string out = demo.db.folder() + "/team.out";
  const std::string fix = std::string(QUARN_ADMIN_TOOL) + " team " + demo.dataDir() +
                          " Pair T1 B1 P2 > " + out + " 2>&1";
  if (std::system(fix.c_str()) != 0) ADD_FAILURE() << readFile(out);
}

std::string pilotOut(const DemoFolder& demo, const std::string& subject) {
  return demo.db.folder() + "/" + subject + ".out";
}

// A pilot of team T1 ordering `orders`, at least `paceMs` apart.
pid_t startMember(const DemoFolder& demo, const std::string& subject,
                  const std::vector<int>& orders, int paceMs) {
  const std::string file = demo.db.folder() + "/" + subject + ".orders";
  std::ofstream lines(file);
  for (int value : orders) lines << value << "\n";
  lines.close();
  return startPilotOf(
      demo, "Pair", subject, pilotOut(demo, subject),
      {"--team", "T1", "--skip-training", "--pace", std::to_string(paceMs), "--orders", file});
}

// The team's experiment rows as stored, without the decision times and
// dates.
std::vector<TestRow> teamRows(DemoFolder& demo) {
  demo.resultsToFile();
  return demo.db.rows(
      "SELECT Subject, Trial, Week, Role, User, [Order], DeltaInventory, Inventory, Delay1, "
      "Delay2, Delay3, Demand, Satisfied, WeeklyCost, TotalCost FROM datRole WHERE Training=0 "
      "ORDER BY Subject, Trial, Week, Role");
}

class PageInATeam : public ParticipantPage {
 protected:
  PageInATeam() { preparePair(demo); }
};

TEST_F(PageInATeam, BrowserAndPilotPlayTheTeamsTrialsToTheEnd) {
  const std::vector<int> orders = {5, 3, 8, 2, 6, 4, 7, 1};
  browser.open(web->url());
  waitFor([](const PageState& s) { return s.login; }, "the login");
  browser.run(kCountSent);
  browser.type("txtSubjectID", "B1");
  browser.type("cboSetting", "Pair");
  browser.type("txtTeam", std::string("T1") + WebDriver::kEnter);
  PageState s;
  ASSERT_TRUE(WebDriver::waitUntil([&] {
    s = state();
    return s.newUser || s.orderOpen || !s.message.empty() ||
           (s.login && browser.enabled("cmdStart"));
  }));
  if (s.login && s.message.empty()) GTEST_SKIP() << "the server serves no team settings";
  const std::vector<int> pilotOrders = {4, 4, 9, 0, 3, 5, 6, 2};
  // The pilot is slower than the browser: the browser's member waits for it.
  const pid_t pilot = startMember(demo, "P2", pilotOrders, 1500);
  if (s.newUser) {
    browser.type("txtAge", "30");
    browser.click("optGender_1");
    browser.click("cmdOK");
  }
  dismissMessagesUntilOrder();
  browser.type("txtOrder", "e");
  browser.type("txtSkipPassword", std::string("skip") + WebDriver::kEnter);
  waitFor([](const PageState& s) { return !s.skip && !s.orderOpen; }, "the training's end");

  size_t next = 0;
  bool sawWaiting = false;
  for (;;) {
    ASSERT_TRUE(WebDriver::waitUntil(
        [&] {
          s = state();
          sawWaiting = sawWaiting || browser.run(kTeamWaitingShown) == true;
          return s.orderOpen || !s.message.empty() || s.nextTrial || s.over;
        },
        std::chrono::seconds(60)))
        << "the page stands still after " << next << " orders\n"
        << readFile(pilotOut(demo, "P2"));
    if (s.over) break;
    if (!s.message.empty()) {
      browser.click("cmdMessageOk");
    } else if (s.nextTrial) {
      browser.click("cmdOrder");
    } else {
      ASSERT_LT(next, orders.size());
      order(orders[next++]);
      ASSERT_TRUE(WebDriver::waitUntil([&] { return !state().orderOpen; }));
    }
  }
  EXPECT_EQ(quarn::testing::waitFor(pilot), 0) << readFile(pilotOut(demo, "P2"));
  EXPECT_EQ(next, orders.size());
  EXPECT_TRUE(sawWaiting);

  DemoFolder pilots;
  preparePair(pilots);
  const pid_t first = startMember(pilots, "B1", orders, 0);
  const pid_t second = startMember(pilots, "P2", pilotOrders, 0);
  EXPECT_EQ(quarn::testing::waitFor(first), 0) << readFile(pilotOut(pilots, "B1"));
  EXPECT_EQ(quarn::testing::waitFor(second), 0) << readFile(pilotOut(pilots, "P2"));
  const std::vector<TestRow> stored = teamRows(demo);
  EXPECT_EQ(stored.size(), 2u * 2 * 4 * kRoleCount);
  EXPECT_EQ(stored, teamRows(pilots));
}

}  // namespace
}  // namespace quarn::testing
