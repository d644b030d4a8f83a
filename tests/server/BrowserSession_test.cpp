#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "app/Pilot.h"
#include "server/Protocol.h"
#include "server/WebServer.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;

// The server on a port of its own, on its one thread, playing in the demo's
// application folder.
class RunningServer {
 public:
  explicit RunningServer(const std::string& appFolder)
      : m_web(m_io, {asio::ip::make_address("127.0.0.1"), 0}, appFolder),
        m_thread([this] { m_io.run(); }) {}
  ~RunningServer() {
    m_io.stop();
    m_thread.join();
  }
  uint16_t port() const { return m_web.port(); }

 private:
  asio::io_context m_io{1};
  server::WebServer m_web;
  std::thread m_thread;
};

constexpr auto kPatience = std::chrono::seconds(20);

// A page's side of the WebSocket, as a browser speaks it.
class PageClient {
 public:
  // `origin`: the page's origin as a browser names it; empty: none named.
  explicit PageClient(uint16_t port, const std::string& origin = "") {
    tcp::resolver resolver(m_io);
    asio::connect(m_socket.next_layer(), resolver.resolve("127.0.0.1", std::to_string(port)));
    m_socket.set_option(
        websocket::stream_base::decorator([origin](websocket::request_type& request) {
          if (!origin.empty()) request.set(http::field::origin, origin);
        }));
    m_socket.handshake("127.0.0.1:" + std::to_string(port), "/ws");
  }

  void sendText(const std::string& text) { m_socket.write(asio::buffer(text)); }
  void send(const json& message) { sendText(message.dump()); }

  // The next message; a server that sends none within kPatience fails the
  // test rather than hanging it.
  json receive() {
    beast::flat_buffer buffer;
    std::optional<beast::error_code> result;
    m_socket.async_read(buffer, [&result](beast::error_code error, size_t) { result = error; });
    m_io.restart();
    m_io.run_for(kPatience);
    if (!result) throw std::runtime_error("no message from the server");
    if (*result) throw beast::system_error(*result);
    json message = json::parse(beast::buffers_to_string(buffer.data()));
    received.push_back(message);
    return message;
  }
  // Reads up to and including the next message of `type`.
  json receiveUntil(const std::string& type) {
    for (;;) {
      json message = receive();
      if (message["type"] == type) return message;
    }
  }
  // Whether the server closed the connection, and with which status.
  websocket::close_reason closedWith() {
    try {
      for (;;) receive();
    } catch (const beast::system_error& error) {
      EXPECT_EQ(error.code(), websocket::error::closed);
    }
    return m_socket.reason();
  }

  std::vector<json> received;

 private:
  asio::io_context m_io;
  websocket::stream<tcp::socket> m_socket{m_io};
};

const json kQuestionnaire = {
    {"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}};

json loginOf(const std::string& subject) {
  return {{"type", "login"},
          {"subject", subject},
          {"setting", "Demo"},
          {"questionnaire", kQuestionnaire}};
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
  EXPECT_NO_THROW(PageClient(web.port(), "http://" + own));
  EXPECT_NO_THROW(PageClient(web.port(), "https://" + own));
  for (const std::string& foreign : std::vector<std::string>{
           "http://evil.example", "http://" + own + ".evil.example", "null", "http://127.0.0.1"}) {
    try {
      PageClient page(web.port(), foreign);
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

TEST_F(BrowserSession, RefusesTheLoginToATeamSettingStoringNothing) {
  demo.db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo';"
      "UPDATE b SET Setting = 'Teams', \"Retailer\" = 'Subject1', \"Factory\" = 'Subject2';"
      "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  copyDemoTraining(demo.db, "Teams");
  PageClient page(web.port());
  json login = loginOf("B1");
  login["setting"] = "Teams";
  login["team"] = "T1";
  page.send(login);
  const json answer = page.receiveUntil("refused");
  EXPECT_EQ(answer["reason"], "teamsNotServed");
  EXPECT_EQ(demo.db.count("datUser"), 0);
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

}  // namespace
}  // namespace quarn::testing
