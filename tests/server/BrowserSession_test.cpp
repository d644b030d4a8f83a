#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "app/Pilot.h"
#include "server/ParticipantSession.h"
#include "server/Protocol.h"
#include "server/Translations.h"
#include "server/WebServer.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/server/PageClient.h"

namespace quarn::testing {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;

// A page attached to a session directly, as the server's host attaches it:
// each message is handed to the session and its answers are kept.
class SessionPage {
 public:
  SessionPage(const std::string& appFolder, const std::string& device)
      : m_session(appFolder, device, [this](const json& message) { received.push_back(message); }) {
  }

  void send(const json& message) { m_session.receive(message.dump()); }
  void sendText(const std::string& text) { m_session.receive(text); }
  server::ParticipantSession& session() { return m_session; }

  // The messages of `type` received since the last clear().
  std::vector<json> ofType(const std::string& type) const {
    std::vector<json> found;
    for (const json& message : received) {
      if (message["type"] == type) found.push_back(message);
    }
    return found;
  }
  std::vector<std::string> types() const {
    std::vector<std::string> found;
    for (const json& message : received) found.push_back(message["type"]);
    return found;
  }
  // The turn of the last week opened; none fails the test.
  int openTurn() const {
    const std::vector<json> weeks = ofType("weekOpened");
    if (weeks.empty()) throw std::runtime_error("no week was opened");
    return weeks.back()["turn"].get<int>();
  }
  void clear() { received.clear(); }

  std::vector<json> received;

 private:
  server::ParticipantSession m_session;
};

const json kQuestionnaire = {
    {"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}};

json loginOf(const std::string& subject) {
  return {{"type", "login"},
          {"subject", subject},
          {"setting", "Demo"},
          {"questionnaire", kQuestionnaire}};
}

// A known participant's login: no questionnaire.
json knownLogin(const std::string& subject) {
  return {{"type", "login"}, {"subject", subject}, {"setting", "Demo"}};
}

json orderOf(int turn, const json& value) {
  return {{"type", "order"}, {"turn", turn}, {"value", value}};
}

// The weeks' rows as stored, without what differs between two
// participants (the User ID, the decision time, the date and time).
std::vector<TestRow> roleRows(const TestDatabase& db, const std::string& subject, int weeks) {
  return db.rows(
      "SELECT Trial, Training, Week, Role, User, PNoise, [Order], DeltaInventory, Inventory, "
      "Delay1, Delay2, Delay3, Demand, Satisfied, WeeklyCost, TotalCost FROM datRole "
      "WHERE Subject='" +
      subject + "' AND Trial=-1 AND Week<=" + std::to_string(weeks) + " ORDER BY Week, Role");
}

class BrowserSession : public ::testing::Test {
 protected:
  // Logs in a new participant and returns the first open week's turn.
  int logIn(PageClient& page, const std::string& subject) {
    page.send(loginOf(subject));
    return page.receiveUntil("weekOpened")["turn"].get<int>();
  }

  DemoFolder demo;
  RunningServer web{demo.app.string()};
};

TEST_F(BrowserSession, ServesThePageAtTheRoot) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  tcp::resolver resolver(io);
  stream.connect(resolver.resolve("127.0.0.1", std::to_string(web.port())));
  http::request<http::empty_body> request(http::verb::get, "/", 11);
  request.set(http::field::host, "127.0.0.1");
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  EXPECT_EQ(response.result(), http::status::ok);
  EXPECT_NE(response.body().find("/ws"), std::string::npos);
}

TEST_F(BrowserSession, TakesTheWebSocketOnlyFromItsOwnPage) {
  const std::string own = "127.0.0.1:" + std::to_string(web.port());
  EXPECT_NO_THROW(PageClient(web.port(), {.origin = "http://" + own}));
  EXPECT_NO_THROW(PageClient(web.port(), {.origin = "https://" + own}));
  for (const std::string& foreign : std::vector<std::string>{
           "http://evil.example", "http://" + own + ".evil.example", "null", "http://127.0.0.1"}) {
    try {
      PageClient page(web.port(), {.origin = foreign});
      ADD_FAILURE() << foreign << " was taken";
    } catch (const beast::system_error& error) {
      EXPECT_EQ(error.code(), websocket::error::upgrade_declined) << foreign;
    }
  }
}

TEST_F(BrowserSession, PlayedWeeksRecordWhatThePilotRecords) {
  const std::vector<int16_t> orders = {4, 7, 0, 12, 4};
  PageClient page(web.port());
  int turn = logIn(page, "B1");
  for (int16_t order : orders) {
    page.send(orderOf(turn, std::to_string(order)));
    turn = page.receiveUntil("weekOpened")["turn"].get<int>();
  }

  PilotOptions options{demo.dataDir(), "Demo", "P1", ordersFromList(orders), {}, {}};
  std::ostringstream out, err;
  ASSERT_EQ(runPilot(options, out, err).exitCode, 0) << err.str();

  const int weeks = static_cast<int>(orders.size());
  const std::vector<TestRow> browser = roleRows(demo.db, "B1", weeks);
  EXPECT_EQ(browser.size(), orders.size() * kRoleCount);
  EXPECT_EQ(browser, roleRows(demo.db, "P1", weeks));
  EXPECT_EQ(demo.db.count("datUser", "Subject='B1' AND Major='Other'"), 1);
}

TEST_F(BrowserSession, RefusesFaultyMessagesStoringNothing) {
  PageClient page(web.port());
  const int turn = logIn(page, "B1");
  const struct {
    std::string text;
    std::string reason;
  } faulty[] = {
      {"not json", "malformed"},
      {"[1,2]", "malformed"},
      {R"({"value":3})", "malformed"},
      {R"({"type":5})", "malformed"},
      {R"({"type":"weekOpened","turn":1})", "unknownType"},
      {R"({"type":"fly"})", "unknownType"},
      {orderOf(turn, "-1").dump(), "invalid"},
      {orderOf(turn, "+1").dump(), "invalid"},
      {orderOf(turn, "1e3").dump(), "invalid"},
      {orderOf(turn, "12345").dump(), "invalid"},
      {orderOf(turn, " 12").dump(), "invalid"},
      {orderOf(turn, "").dump(), "invalid"},
      {orderOf(turn, 12.5).dump(), "invalid"},
      {orderOf(turn, -3).dump(), "invalid"},
      {orderOf(turn, 10000).dump(), "invalid"},
      {json{{"type", "order"}, {"value", "3"}}.dump(), "invalid"},
      {orderOf(turn + 1, "3").dump(), "wrongTurn"},
      {orderOf(turn - 1, "3").dump(), "wrongTurn"},
      {json{{"type", "pause"}, {"password", "x"}}.dump(), "notNow"},
      {loginOf("B2").dump(), "notNow"},
  };
  for (const auto& message : faulty) {
    page.sendText(message.text);
    const json answer = page.receive();
    EXPECT_EQ(answer["type"], "error") << message.text;
    EXPECT_EQ(answer["reason"], message.reason) << message.text;
  }
  EXPECT_EQ(demo.db.count("datRole"), 0);
  EXPECT_EQ(demo.db.count("datUser", "Subject='B2'"), 0);

  // The week is still open and takes its order.
  page.send(orderOf(turn, "3"));
  page.receiveUntil("weekOpened");
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1 AND Role='Retailer'"), 1);
}

// A team's orders are kept by the lab server only: on the database file
// each browser of a team setting is told so, as a workstation is, and its
// session ends with nothing stored.
TEST_F(BrowserSession, TeamSettingOnTheFileIsRefusedToEachBrowser) {
  demo.db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo';"
      "UPDATE b SET Setting = 'Teams', \"Retailer\" = 'Subject1', \"Factory\" = 'Subject2';"
      "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  copyDemoTraining(demo.db, "Teams");
  for (const std::string subject : {"B1", "B2"}) {
    SessionPage page(demo.app.string(), "browser " + subject);
    json login = loginOf(subject);
    login["setting"] = "Teams";
    login["team"] = "T1";
    page.send(login);
    ASSERT_EQ(page.ofType("message").size(), 1u) << subject;
    EXPECT_EQ(page.ofType("message")[0]["kind"], "PlanRefused") << subject;
    EXPECT_EQ(page.types().back(), "ended") << subject;
    EXPECT_TRUE(page.session().ended()) << subject;
  }
  EXPECT_EQ(demo.db.count("datUser"), 0);
  EXPECT_EQ(demo.db.count("datPlaying"), 0);
}

TEST_F(BrowserSession, ClosesOnAnOversizedMessageStoringNothing) {
  PageClient page(web.port());
  const int turn = logIn(page, "B1");
  json order = orderOf(turn, "3");
  order["padding"] = std::string(server::kMaxMessageBytes, 'x');
  page.send(order);
  EXPECT_EQ(page.closedWith().code, websocket::close_code::too_big);
  EXPECT_EQ(demo.db.count("datRole"), 0);
}

TEST_F(BrowserSession, ASecondOrderForTheOpenWeekIsNotStoredTwice) {
  PageClient page(web.port());
  const int turn = logIn(page, "B1");
  // Both leave before any answer comes back, as a double Enter does.
  page.send(orderOf(turn, "5"));
  page.send(orderOf(turn, "6"));
  const json next = page.receiveUntil("weekOpened");
  EXPECT_EQ(page.receiveUntil("error")["reason"], "wrongTurn");
  EXPECT_EQ(next["turn"], turn + 1);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=2"), 0);
}

TEST_F(BrowserSession, ASecondBrowserIsAskedBeforeTakingAParticipantOver) {
  SessionPage first(demo.app.string(), "browser aaaa");
  first.send(loginOf("B1"));
  const int turn = first.openTurn();

  SessionPage second(demo.app.string(), "browser bbbb");
  second.send(knownLogin("B1"));
  const json asked = second.ofType("message").back();
  EXPECT_EQ(asked["kind"], "TakeOver");
  EXPECT_EQ(asked["style"], "yesNoWarning");
  EXPECT_EQ(asked["answer"], "no");
  EXPECT_EQ(second.ofType("refused").at(0)["reason"], "refused");
  EXPECT_TRUE(second.ofType("weekOpened").empty());

  json yes = knownLogin("B1");
  yes["takeOver"] = true;
  second.send(yes);
  EXPECT_FALSE(second.ofType("weekOpened").empty());
  EXPECT_EQ(demo.db.count("datPlaying", "Subject='B1' AND Host LIKE '% browser bbbb'"), 1);

  // The first browser's next order finds the participant taken over: its
  // session ends and records nothing.
  first.send(orderOf(turn, "4"));
  EXPECT_EQ(first.ofType("message").back()["kind"], "TakenOverElsewhere");
  EXPECT_TRUE(first.session().ended());
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1'"), 0);
}

// A server that restarts is another process: the same browser finds its
// mark left by a process that has ended and goes on unasked; another
// browser is still asked.
TEST_F(BrowserSession, TheSameBrowserResumesAfterARestartUnasked) {
  {
    SessionPage before(demo.app.string(), "browser aaaa");
    before.send(loginOf("B1"));
    before.send(orderOf(before.openTurn(), "4"));
  }
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  demo.db.exec("UPDATE datPlaying SET Process = " + std::to_string(ended));

  SessionPage other(demo.app.string(), "browser bbbb");
  other.send(knownLogin("B1"));
  EXPECT_EQ(other.ofType("message").back()["kind"], "TakeOver");

  SessionPage after(demo.app.string(), "browser aaaa");
  after.send(knownLogin("B1"));
  for (const json& message : after.ofType("message")) EXPECT_NE(message["kind"], "TakeOver");
  EXPECT_FALSE(after.ofType("weekOpened").empty());
  EXPECT_EQ(demo.db.count("datPlaying", "Subject='B1' AND Host LIKE '% browser aaaa'"), 1);
}

TEST_F(BrowserSession, ANewUserIdNeedsTheQuestionnaireBeforeAnythingIsStored) {
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send(knownLogin("B1"));
  EXPECT_EQ(page.ofType("refused").at(0),
            (json{{"type", "refused"}, {"of", "login"}, {"reason", "questionnaireNeeded"}}));
  EXPECT_EQ(demo.db.count("datUser"), 0);
  EXPECT_EQ(demo.db.count("datPlaying"), 0);

  page.send(loginOf("B1"));
  EXPECT_FALSE(page.ofType("weekOpened").empty());
  EXPECT_EQ(demo.db.count("datUser", "Subject='B1'"), 1);
}

TEST_F(BrowserSession, AnIncompleteQuestionnaireIsRefusedWithTheWindowsMessage) {
  const std::string gender = "Please indicate gender";
  const std::string age = "Please enter your age (I know you're older than 5)";
  const struct {
    json answers;
    std::string text;
  } cases[] = {
      {{{"age", 30}}, gender},
      {{{"age", 30}, {"gender", "female"}}, gender},
      {{{"gender", "Male"}}, age},
      {{{"age", 4}, {"gender", "Male"}}, age},
      {{{"age", 100}, {"gender", "Male"}}, age},
  };
  SessionPage page(demo.app.string(), "browser aaaa");
  for (const auto& c : cases) {
    page.clear();
    json login = loginOf("B1");
    login["questionnaire"] = c.answers;
    page.send(login);
    ASSERT_FALSE(page.ofType("message").empty()) << c.answers;
    const json said = page.ofType("message").back();
    EXPECT_EQ(said["kind"], "QuestionnaireIncomplete") << c.answers;
    EXPECT_EQ(said["text"], c.text) << c.answers;
    EXPECT_EQ(page.ofType("refused").at(0)["reason"], "refused") << c.answers;
  }
  EXPECT_EQ(demo.db.count("datUser"), 0);
  EXPECT_EQ(demo.db.count("datPlaying"), 0);
}

TEST_F(BrowserSession, PromptsComeInTheSettingsLanguage) {
  demo.db.exec(
      "DELETE FROM tblSetting WHERE Setting = 'Demo';"
      "INSERT INTO tblSetting (Setting, Language) VALUES ('Demo', 'de')");
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send(loginOf("B1"));
  const char* intro = "First, we will have some training trials...";
  const std::string german = server::translated("de", "GameSession", intro);
  ASSERT_NE(german, intro);
  bool found = false;
  for (const json& message : page.ofType("message")) {
    if (message["kind"] != "TrainingIntro") continue;
    found = true;
    EXPECT_EQ(message["text"], german);
  }
  EXPECT_TRUE(found);
}

TEST_F(BrowserSession, GameOverShowsTheCompletionLinkWithTheUserIdEncoded) {
  demo.db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' LIMIT 1;"
      "UPDATE b SET Setting = 'Short', numweeks = 2, JumpWeek = 1; INSERT INTO tblBlock SELECT * "
      "FROM b;"
      "DROP TABLE b; INSERT INTO tblSetting (Setting, CompletionLink) VALUES "
      "('Short', 'https://panel.example.org/done?pid={id}&src=quarn')");
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send({{"type", "login"},
             {"subject", "Zoë &1"},
             {"setting", "Short"},
             {"questionnaire", kQuestionnaire}});
  page.send(orderOf(page.openTurn(), "4"));
  page.send(orderOf(page.openTurn(), "4"));
  ASSERT_EQ(page.ofType("gameOver").size(), 1u);
  const std::vector<json> links = page.ofType("completionLink");
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0]["address"], "https://panel.example.org/done?pid=Zo%C3%AB%20%261&src=quarn");
}

TEST_F(BrowserSession, TheDecisionTimeIsThePagesMeasure) {
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send(loginOf("B1"));
  for (const int64_t measured : {int64_t{1234}, int64_t{0}, int64_t{INT32_MAX}}) {
    json order = orderOf(page.openTurn(), "4");
    order["decisionMs"] = measured;
    page.send(order);
  }
  EXPECT_EQ(
      demo.db.rows("SELECT Week, TransactionTime FROM datRole WHERE Subject='B1' AND "
                   "User=6 ORDER BY Week"),
      (std::vector<TestRow>{{{"Week", int64_t{1}}, {"TransactionTime", int64_t{1234}}},
                            {{"Week", int64_t{2}}, {"TransactionTime", int64_t{0}}},
                            {{"Week", int64_t{3}}, {"TransactionTime", int64_t{INT32_MAX}}}}));
  // The text file's line of the week carries it too (after User ID,
  // setting, trial, week and two more fields).
  const std::string text = readFile(demo.textFile("B1"));
  const size_t line = text.find("B1,Demo,-1,1,");
  ASSERT_NE(line, std::string::npos) << text;
  size_t field = line;
  for (int i = 0; i < 6; ++i) field = text.find(',', field) + 1;
  EXPECT_EQ(text.substr(field, 5), "1234,");
}

TEST_F(BrowserSession, AWrongDecisionTimeIsRefusedStoringNothing) {
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send(loginOf("B1"));
  const int turn = page.openTurn();
  for (const json& measured :
       {json(-1), json(int64_t{INT32_MAX} + 1), json(12.5), json("12"), json(true), json()}) {
    page.clear();
    json order = orderOf(turn, "4");
    order["decisionMs"] = measured;
    page.send(order);
    EXPECT_EQ(page.types(), std::vector<std::string>{"error"}) << measured;
    EXPECT_EQ(page.received.at(0)["reason"], "invalid") << measured;
  }
  EXPECT_EQ(demo.db.count("datRole"), 0);
}

TEST_F(BrowserSession, AResentStateLetsAFreshPageOrderTheOpenWeek) {
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send(loginOf("B1"));
  page.send(orderOf(page.openTurn(), "4"));
  const int turn = page.openTurn();

  page.clear();
  page.session().resendState();
  EXPECT_EQ(page.types(), (std::vector<std::string>{"sessionStarted", "language", "training",
                                                    "trialStarted", "figures", "weekOpened"}));
  EXPECT_EQ(page.openTurn(), turn);

  page.clear();
  page.send(orderOf(turn, "5"));
  EXPECT_EQ(page.openTurn(), turn + 1);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=2"), kRoleCount);
}

// A page addresses its own session only: a field that names anything else
// refuses the whole message.
TEST_F(BrowserSession, AFieldBeyondTheMessagesOwnIsRefusedStoringNothing) {
  SessionPage page(demo.app.string(), "browser aaaa");
  json foreignLogin = loginOf("B2");
  foreignLogin["workstation"] = "lab-3";
  json foreignAnswers = loginOf("B2");
  foreignAnswers["questionnaire"]["subject"] = "B3";
  for (const json& message : {foreignLogin, foreignAnswers}) {
    page.clear();
    page.send(message);
    EXPECT_EQ(page.types(), std::vector<std::string>{"error"}) << message;
    EXPECT_EQ(page.received.at(0)["reason"], "invalid") << message;
  }
  EXPECT_EQ(demo.db.count("datUser"), 0);

  page.send(loginOf("B1"));
  const int turn = page.openTurn();
  json forOther = orderOf(turn, "4");
  forOther["subject"] = "B2";
  json withRole = orderOf(turn, "4");
  withRole["role"] = "Factory";
  json pauseFor = {{"type", "pause"}, {"password", "continue"}, {"subject", "B2"}};
  for (const json& message : {forOther, withRole, pauseFor}) {
    page.clear();
    page.send(message);
    EXPECT_EQ(page.types(), std::vector<std::string>{"error"}) << message;
    EXPECT_EQ(page.received.at(0)["reason"], "invalid") << message;
  }
  EXPECT_EQ(demo.db.count("datRole"), 0);
}

TEST_F(BrowserSession, AReplayedOrderIsTheWrongTurnStoringOneWeek) {
  SessionPage page(demo.app.string(), "browser aaaa");
  page.send(loginOf("B1"));
  const json order = orderOf(page.openTurn(), "4");
  page.send(order);
  page.clear();
  page.send(order);
  EXPECT_EQ(page.types(), std::vector<std::string>{"error"});
  EXPECT_EQ(page.received.at(0)["reason"], "wrongTurn");
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=2"), 0);
}

TEST_F(BrowserSession, MovesBeforeTheLoginAreRefusedStoringNothing) {
  SessionPage page(demo.app.string(), "browser aaaa");
  for (const json& message : {orderOf(1, "4"), json{{"type", "pause"}, {"password", "continue"}},
                              json{{"type", "skipTraining"}, {"password", "skip"}}}) {
    page.clear();
    page.send(message);
    EXPECT_EQ(page.types(), std::vector<std::string>{"error"}) << message;
    EXPECT_EQ(page.received.at(0)["reason"], "notNow") << message;
  }
  EXPECT_EQ(demo.db.count("datUser"), 0);
  EXPECT_EQ(demo.db.count("datPlaying"), 0);
  EXPECT_EQ(demo.db.count("datRole"), 0);
}

// Guessing the moderator's password in a loop: each guess is refused, and
// the connection's rate holds the loop back; the pause stays.
TEST_F(BrowserSession, APausePasswordGuessedInALoopIsRefusedAndHeldBack) {
  demo.db.exec(
      "UPDATE tblBlock SET numweeks = 3 WHERE Setting = 'Demo';"
      "UPDATE tblPause SET Trial = 1 WHERE Setting = 'Demo'");
  PageClient page(web.port());
  logIn(page, "B1");
  page.send({{"type", "skipTraining"}, {"password", "skip"}});
  for (int week = 1; week <= 3; ++week) {
    page.send(orderOf(page.receiveUntil("weekOpened")["turn"].get<int>(), "4"));
  }
  page.receiveUntil("paused");
  const int rows = demo.db.count("datRole");

  constexpr int kGuesses = 60;
  for (int guess = 0; guess < kGuesses; ++guess) {
    page.send({{"type", "pause"}, {"password", "guess" + std::to_string(guess)}});
  }
  std::map<std::string, int> answers;
  for (int guess = 0; guess < kGuesses; ++guess) {
    const json answer = page.receive();
    answers[answer["type"].get<std::string>() + " " + answer["reason"].get<std::string>()] += 1;
  }
  EXPECT_GT(answers["refused incorrectPassword"], 0);
  EXPECT_GT(answers["error tooMany"], 0);
  EXPECT_EQ(answers["refused incorrectPassword"] + answers["error tooMany"], kGuesses);
  EXPECT_EQ(demo.db.count("datRole"), rows);
  EXPECT_EQ(demo.db.count("datPlaying", "Subject='B1' AND State='pause'"), 1);
}

}  // namespace
}  // namespace quarn::testing
