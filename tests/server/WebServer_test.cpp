#include "server/WebServer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "server/SessionCookie.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/server/PageClient.h"

namespace quarn::testing {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = asio::ssl;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;
using namespace std::chrono_literals;

// Waits until `condition` holds; false when it did not within kPatience.
bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// GET `target`, carrying `cookie` unless empty.
template <class Stream>
http::response<http::string_body> get(Stream& stream, const std::string& target,
                                      const std::string& cookie) {
  http::request<http::empty_body> request(http::verb::get, target, 11);
  request.set(http::field::host, "127.0.0.1");
  if (!cookie.empty()) request.set(http::field::cookie, cookie);
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  return response;
}

http::response<http::string_body> get(uint16_t port, const std::string& target,
                                      const std::string& cookie = "") {
  asio::io_context io;
  beast::tcp_stream stream(io);
  stream.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  return get(stream, target, cookie);
}

// The cookie a response sets, as the browser sends it back; empty: none.
std::string cookieSetBy(const http::response<http::string_body>& response) {
  const std::string setCookie(response[http::field::set_cookie]);
  return setCookie.substr(0, setCookie.find(';'));
}

json loginOf(const std::string& subject) {
  return {{"type", "login"},
          {"subject", subject},
          {"setting", "Demo"},
          {"questionnaire",
           {{"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}}}};
}

json orderOf(int turn, const std::string& value) {
  return {{"type", "order"}, {"turn", turn}, {"value", value}};
}

// Logs in a participant and returns the first open week's turn.
int logIn(PageClient& page, const std::string& subject) {
  page.send(loginOf(subject));
  return page.receiveUntil("weekOpened")["turn"].get<int>();
}

std::string cookieOf(const std::string& token) {
  return "quarn_session=" + token;
}

class WebServerSessions : public ::testing::Test {
 protected:
  DemoFolder demo;
  RunningServer web{demo.app.string()};
  const std::string cookie = cookieOf(server::newSessionToken());
};

TEST_F(WebServerSessions, PageWithoutAWellFormedCookieIsGivenOne) {
  const std::string kept = cookieOf(server::newSessionToken());
  const struct {
    std::string target;
    std::string cookie;
    bool given;
  } cases[] = {
      {"/", "", true},
      {"/?from=class", "", true},
      {"/", "quarn_session=abc", true},
      {"/", "theme=dark", true},
      {"/", kept, false},
      {"/", "theme=dark; " + kept, false},
      {"/texts/de.json", "", false},
  };
  for (const auto& c : cases) {
    const auto response = get(web.port(), c.target, c.cookie);
    EXPECT_EQ(response.result(), http::status::ok) << c.target;
    const std::string given = cookieSetBy(response);
    EXPECT_EQ(!given.empty(), c.given) << c.target << " " << c.cookie;
    if (!given.empty()) {
      EXPECT_TRUE(server::sessionTokenOf(given)) << given;
      EXPECT_EQ(std::string(response[http::field::set_cookie]),
                given + "; Path=/; HttpOnly; SameSite=Strict");
    }
  }
  EXPECT_NE(cookieSetBy(get(web.port(), "/")), cookieSetBy(get(web.port(), "/")));
}

TEST_F(WebServerSessions, ClassJoinAddressServesTheParticipantsPage) {
  const std::string page = get(web.port(), "/").body();
  for (const char* target : {"/join/K7PQ2M", "/join/k7pq2m?lang=de", "/?class=K7PQ2M"}) {
    const auto response = get(web.port(), target, "");
    EXPECT_EQ(response.result(), http::status::ok) << target;
    EXPECT_EQ(response.body(), page) << target;
    EXPECT_FALSE(cookieSetBy(response).empty()) << target;
  }
  EXPECT_EQ(get(web.port(), "/join/K7PQ2M/page.js", "").result(), http::status::not_found);
}

TEST_F(WebServerSessions, PageThatComesBackWithItsCookieFindsItsOpenWeek) {
  auto first = std::make_unique<PageClient>(web.port(), PageOpening{.cookie = cookie});
  const int turn = logIn(*first, "B1");
  first->close();
  first.reset();

  PageClient again(web.port(), {.cookie = cookie});
  again.send(orderOf(turn, "4"));
  again.weekAfter(turn);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
  EXPECT_EQ(web.sessionCount(), 1u);
}

TEST_F(WebServerSessions, PageWithAnotherCookieOrNoneIsANewSession) {
  PageClient playing(web.port(), {.cookie = cookie});
  const int turn = logIn(playing, "B1");
  for (const std::string& other : {cookieOf(server::newSessionToken()), std::string()}) {
    PageClient page(web.port(), {.cookie = other});
    page.send(orderOf(turn, "4"));
    EXPECT_EQ(page.receiveUntil("error")["reason"], "notNow") << other;
  }
  EXPECT_EQ(demo.db.count("datRole"), 0);
}

TEST_F(WebServerSessions, SecondPageWithTheSameCookieEndsTheFirst) {
  PageClient first(web.port(), {.cookie = cookie});
  const int turn = logIn(first, "B1");
  PageClient second(web.port(), {.cookie = cookie});
  EXPECT_EQ(first.receiveUntil("ended")["reason"], "openedElsewhere");
  EXPECT_EQ(first.closedWith().code, websocket::close_code::normal);

  second.send(orderOf(turn, "4"));
  second.weekAfter(turn);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
}

TEST_F(WebServerSessions, SessionWithoutCookieLeavesWithItsPage) {
  auto page = std::make_unique<PageClient>(web.port());
  logIn(*page, "B1");
  EXPECT_EQ(web.sessionCount(), 1u);
  page->close();
  EXPECT_TRUE(eventually([&] { return web.sessionCount() == 0; }));
}

TEST_F(WebServerSessions, DatabaseWaitOfOneSessionDoesNotHoldAnother) {
  PageClient slow(web.port(), {.cookie = cookie});
  PageClient quick(web.port(), {.cookie = cookieOf(server::newSessionToken())});
  const int slowTurn = logIn(slow, "B1");
  const int quickTurn = logIn(quick, "B2");

  // Another program holds the file: the slow session's order waits for it.
  SqlCipherConnection holder(demo.db.path(), OpenMode::ReadWrite);
  holder.executeScript("BEGIN EXCLUSIVE;");
  slow.send(orderOf(slowTurn, "4"));
  for (int i = 0; i < 5; ++i) {
    quick.send(orderOf(quickTurn + 1, "4"));
    EXPECT_EQ(quick.receive(5s)["reason"], "wrongTurn");
  }
  const Rows stored = holder.query("SELECT count(*) FROM datRole WHERE Subject='B1'");
  EXPECT_EQ(std::get<int64_t>(stored.front().values().front()), 0);
  holder.executeScript("ROLLBACK;");

  slow.weekAfter(slowTurn);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
}

TEST(WebServerKeeping, SessionWithoutPageLeavesMemoryButKeepsItsGame) {
  DemoFolder demo;
  server::WebServerOptions options;
  options.keepWithoutPage = 100ms;
  RunningServer web(demo.app.string(), options);
  const std::string cookie = cookieOf(server::newSessionToken());
  auto page = std::make_unique<PageClient>(web.port(), PageOpening{.cookie = cookie});
  const int turn = logIn(*page, "B1");
  page->send(orderOf(turn, "4"));
  page->weekAfter(turn);
  page->close();
  page.reset();

  ASSERT_TRUE(eventually([&] { return web.sessionCount() == 0; }));
  // The participant is still marked as playing, as after a crash.
  EXPECT_EQ(demo.db.count("datPlaying", "Subject='B1'"), 1);
  PageClient again(web.port(), {.cookie = cookie});
  again.send(orderOf(turn + 1, "4"));
  EXPECT_EQ(again.receiveUntil("error")["reason"], "notNow");
  again.send(loginOf("B1"));
  again.receiveUntil("weekOpened");
  EXPECT_EQ(demo.db.count("datUser", "Subject='B1'"), 1);
}

// Opens a page with a cookie of its own making and closes it, nobody
// logging in: a session the server may keep waiting for it.
void openAndLeave(uint16_t port) {
  PageClient page(port, {.cookie = cookieOf(server::newSessionToken())});
  page.close();
}

// Made-up cookies cannot fill the server's memory: beyond the bound, the
// sessions in which nobody logged in are let go, and the game waits on.
TEST(WebServerKeeping, SessionsWithoutPageBeyondTheBoundLetGoThoseWithoutAGame) {
  DemoFolder demo;
  server::WebServerOptions options;
  options.maxWithoutPage = 2;
  RunningServer web(demo.app.string(), options);
  const std::string cookie = cookieOf(server::newSessionToken());
  auto page = std::make_unique<PageClient>(web.port(), PageOpening{.cookie = cookie});
  const int turn = logIn(*page, "B1");
  page->close();
  page.reset();

  for (int i = 0; i < 6; ++i) openAndLeave(web.port());
  EXPECT_TRUE(eventually([&] { return web.sessionCount() == 2; })) << web.sessionCount();

  PageClient again(web.port(), {.cookie = cookie});
  again.send(orderOf(turn, "4"));
  again.weekAfter(turn);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
}

// A session with a game is never let go early, however many there are.
TEST(WebServerKeeping, SessionsWithAGameAreKeptBeyondTheBound) {
  DemoFolder demo;
  server::WebServerOptions options;
  options.maxWithoutPage = 1;
  RunningServer web(demo.app.string(), options);
  const std::vector<std::string> subjects = {"B1", "B2"};
  std::vector<std::string> cookies;
  int turn = 0;
  for (const std::string& subject : subjects) {
    cookies.push_back(cookieOf(server::newSessionToken()));
    PageClient page(web.port(), {.cookie = cookies.back()});
    turn = logIn(page, subject);
    page.close();
  }
  openAndLeave(web.port());
  EXPECT_TRUE(eventually([&] { return web.sessionCount() == 2; })) << web.sessionCount();

  for (size_t i = 0; i < subjects.size(); ++i) {
    PageClient again(web.port(), {.cookie = cookies[i]});
    again.send(orderOf(turn, "4"));
    again.weekAfter(turn);
    EXPECT_EQ(demo.db.count("datRole", "Subject='" + subjects[i] + "' AND Week=1"), kRoleCount);
  }
}

// A throw-away certificate for 127.0.0.1 with its key, made by openssl.
struct Certificate {
  Certificate(const fs::path& folder, const std::string& name)
      : certificate((folder / (name + ".crt")).string()), key((folder / (name + ".key")).string()) {
    const pid_t pid = startProcess(
        {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
         "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
         "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate},
        (folder / (name + ".log")).string());
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0) << "openssl req";
  }
  std::string certificate;
  std::string key;
};

TEST(WebServerTls, ServesThePageAndTheGameOverTls) {
  DemoFolder demo;
  const Certificate lab(demo.db.folder(), "lab");
  server::WebServerOptions options;
  options.tls = server::TlsFiles{lab.certificate, lab.key};
  RunningServer web(demo.app.string(), options);
  ssl::context browserTls(ssl::context::tls_client);
  browserTls.load_verify_file(lab.certificate);
  browserTls.set_verify_mode(ssl::verify_peer);

  asio::io_context io;
  beast::ssl_stream<beast::tcp_stream> stream(io, browserTls);
  beast::get_lowest_layer(stream).connect(
      tcp::endpoint(asio::ip::make_address("127.0.0.1"), web.port()));
  stream.handshake(ssl::stream_base::client);
  const auto response = get(stream, "/", "");
  EXPECT_EQ(response.result(), http::status::ok);
  EXPECT_NE(response.body().find("/ws"), std::string::npos);
  const std::string setCookie(response[http::field::set_cookie]);
  EXPECT_NE(setCookie.find("; Secure"), std::string::npos) << setCookie;

  PageClient page(web.port(), {.cookie = cookieSetBy(response), .tls = &browserTls});
  const int turn = logIn(page, "B1");
  page.send(orderOf(turn, "4"));
  page.weekAfter(turn);
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1' AND Week=1"), kRoleCount);
}

TEST(WebServerTls, RefusesUnusableCertificateFilesNamingThem) {
  TestDatabase place;
  const fs::path folder = place.folder();
  const Certificate lab(folder, "lab"), other(folder, "other");
  const std::string garbage = (folder / "garbage.pem").string();
  std::ofstream(garbage) << "not a certificate\n";
  const std::string missing = (folder / "missing.pem").string();
  const struct {
    std::string certificate, key, named;
  } cases[] = {
      {missing, lab.key, missing},         {garbage, lab.key, garbage},
      {lab.key, lab.key, lab.key},         {lab.certificate, missing, missing},
      {lab.certificate, garbage, garbage}, {lab.certificate, other.key, other.key},
  };
  for (const auto& c : cases) {
    asio::io_context io;
    server::WebServerOptions options;
    options.tls = server::TlsFiles{c.certificate, c.key};
    try {
      server::WebServer web(io, {asio::ip::make_address("127.0.0.1"), 0}, folder.string(), options);
      ADD_FAILURE() << c.certificate << " with " << c.key << " was taken";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.named), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace quarn::testing
