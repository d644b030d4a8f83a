#include "bench/server/SimulatedPage.h"

#include <boost/asio/ip/tcp.hpp>
#include <functional>

namespace quarn::bench {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using nlohmann::json;
using tcp = asio::ip::tcp;

namespace {

// A page that hears nothing for this long while it waits has lost its game.
constexpr auto kStall = std::chrono::seconds(60);

const json kQuestionnaire = {
    {"age", 21}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}};

// The moves after which a page waits for the server: the next week, the
// trial's end, a pause or the game's end answers the order before them.
bool answersAnOrder(const std::string& type) {
  return type == "weekOpened" || type == "trialEnded" || type == "paused" || type == "gameOver";
}

}  // namespace

SimulatedPage::SimulatedPage(asio::io_context& io, PagePlan plan, Clock::time_point runStart,
                             unsigned seed)
    : m_socket(io),
      m_pace(io),
      m_watchdog(io),
      m_plan(std::move(plan)),
      m_runStart(runStart),
      m_random(seed),
      m_subject(m_plan.subject) {}

void SimulatedPage::start(std::chrono::milliseconds delay) {
  m_pace.expires_after(delay);
  m_pace.async_wait([self = shared_from_this()](beast::error_code error) {
    if (!error) self->connect();
  });
}

double SimulatedPage::sinceStart() const {
  return std::chrono::duration<double, std::milli>(Clock::now() - m_runStart).count();
}

void SimulatedPage::connect() {
  watch();
  const tcp::endpoint server(asio::ip::make_address("127.0.0.1"), m_plan.port);
  beast::get_lowest_layer(m_socket).async_connect(
      server, [self = shared_from_this()](beast::error_code error) {
        if (error) return self->fail("connect: " + error.message());
        // As a browser's socket: each message leaves at once.
        beast::error_code ignored;
        beast::get_lowest_layer(self->m_socket).socket().set_option(tcp::no_delay(true), ignored);
        const std::string host = "127.0.0.1:" + std::to_string(self->m_plan.port);
        self->m_socket.async_handshake(host, "/ws", [self](beast::error_code error) {
          if (error) return self->fail("handshake: " + error.message());
          self->read();
          if (self->m_student.code.empty()) {
            self->logIn(true);
          } else {
            self->joinClass();
          }
        });
      });
}

void SimulatedPage::read() {
  m_socket.async_read(m_buffer, [self = shared_from_this()](beast::error_code error, size_t) {
    if (self->m_closed) return;
    if (error) return self->fail("read: " + error.message());
    const json message =
        json::parse(beast::buffers_to_string(self->m_buffer.data()), nullptr, false);
    self->m_buffer.consume(self->m_buffer.size());
    if (message.is_discarded() || !message.is_object() || !message.contains("type") ||
        !message["type"].is_string()) {
      return self->fail("not a message of the protocol");
    }
    self->watch();
    try {
      self->take(message);
    } catch (const json::exception& error) {
      return self->fail(std::string("a field of the wrong type: ") + error.what());
    }
    if (!self->m_closed) self->read();
  });
}

void SimulatedPage::take(const json& message) {
  const std::string type = message["type"].get<std::string>();
  if (message.contains("text") && message["text"].is_string()) m_lastText = message["text"];
  if (answersAnOrder(type)) answerPending();
  if (type == "trialStarted") {
    m_role = message.value("role", -1);
    m_trial = counterNumber(message.value("counter", "")).value_or(0);
  } else if (type == "classJoined") {
    classJoined(message);
  } else if (type == "clockOrdered") {
    clockOrdered();
  } else if (type == "figures") {
    figures(message);
  } else if (type == "weekOpened") {
    weekOpened(message);
  } else if (type == "trialEnded") {
    m_trialsEnded.insert(m_trial);
  } else if (type == "paused") {
    afterPace([this] { send({{"type", "pause"}, {"password", m_plan.pausePassword}}); });
  } else if (type == "gameOver") {
    m_gameOver = true;
    finish();
  } else if (type == "refused") {
    refused(message);
  } else if (type == "error") {
    const std::string reason = message.value("reason", "");
    // The order the clock overtook came when its week was closed: the page
    // frees its order field and goes on, as the browser's does.
    if (m_orderOvertaken && (reason == "notNow" || reason == "wrongTurn")) {
      m_orderOvertaken = false;
      return;
    }
    ++m_errors;
    fail("error " + reason + ": " + message.value("detail", ""));
  } else if (type == "ended") {
    fail("ended: " + message.value("reason", ""));
  }
}

void SimulatedPage::logIn(bool withQuestionnaire) {
  json login = {{"type", "login"}, {"subject", m_plan.subject}, {"setting", m_plan.setting}};
  if (!m_plan.team.empty()) login["team"] = m_plan.team;
  if (withQuestionnaire) login["questionnaire"] = kQuestionnaire;
  send(login);
}

void SimulatedPage::joinClass() {
  send({{"type", "joinClass"},
        {"code", m_student.code},
        {"name", m_student.name},
        {"questionnaire", kQuestionnaire}});
}

void SimulatedPage::classJoined(const json& message) {
  m_subject = message.value("subject", m_subject);
  m_joinedClass = true;
}

void SimulatedPage::figures(const json& message) {
  // Orders what its own stage was ordered (as a careful participant passes
  // the demand on), when the page shows it.
  const auto roles = message.find("roles");
  if (m_role < 0 || roles == message.end() || !roles->is_array() ||
      static_cast<size_t>(m_role) >= roles->size()) {
    return;
  }
  const json& own = (*roles)[static_cast<size_t>(m_role)];
  const auto ordered = own.find("recentOrder");
  if (ordered != own.end() && ordered->is_number_integer()) {
    m_ownOrder = std::clamp(ordered->get<int>(), 0, 40);
  }
}

void SimulatedPage::weekOpened(const json& message) {
  m_turn = message.value("turn", 0);
  m_week = counterNumber(message.value("counter", "")).value_or(0);
  // A week shown again (the page's state sent anew) is no week more.
  if (std::pair{m_trial, m_week} != m_lastOpened) {
    m_lastOpened = {m_trial, m_week};
    if (++m_weeksOpened == m_student.vanishAtWeek) return vanish();
  }
  m_weekShown = Clock::now();
  if (!m_firstWeekMs) m_firstWeekMs = sinceStart();
  m_reorderedAfterRefusal = false;
  afterPace([this] { orderOpenWeek(); });
}

void SimulatedPage::refused(const json& message) {
  const std::string of = message.value("of", "");
  const std::string reason = message.value("reason", "");
  if (of == "login" && reason == "questionnaireNeeded" && !m_askedAgain) {
    m_askedAgain = true;
    return m_student.code.empty() ? logIn(true) : joinClass();
  }
  if (of == "order" && !m_reorderedAfterRefusal) {
    // Above the trial's limit: the typed order stays, a smaller one follows.
    m_pendingOrder.reset();
    m_orders.pop_back();
    m_reorderedAfterRefusal = true;
    m_ownOrder = 0;
    return orderOpenWeek();
  }
  // What the server said before the refusal tells why.
  fail("refused " + of + ": " + reason + (m_lastText.empty() ? "" : " (" + m_lastText + ")"));
}

// The week clock ordered the open week for the page's stage: what the page
// was about to order goes, and an order already sent for the week did not
// close it (the server refuses it when it comes).
void SimulatedPage::clockOrdered() {
  m_clockOrdered.insert({m_trial, m_week});
  m_pace.cancel();
  if (m_pendingOrder && *m_pendingOrder + 1 == m_orders.size()) {
    m_orders.pop_back();
    m_pendingOrder.reset();
    m_orderOvertaken = true;
    ++m_overtaken;
  }
}

void SimulatedPage::answerPending() {
  if (!m_pendingOrder) return;
  m_orders[*m_pendingOrder].answeredMs = sinceStart();
  m_pendingOrder.reset();
}

// The participant's think time: the pace, jittered by up to half of it
// either way, so that the pages do not order in step.
void SimulatedPage::afterPace(std::function<void()> move) {
  const auto pace = m_plan.pace.count();
  std::uniform_int_distribution<long> jitter(pace / 2, pace + pace / 2);
  m_pace.expires_after(std::chrono::milliseconds(jitter(m_random)));
  m_pace.async_wait([self = shared_from_this(), move = std::move(move)](beast::error_code error) {
    if (!error && !self->m_closed) move();
  });
}

void SimulatedPage::orderOpenWeek() {
  const auto decision =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_weekShown);
  m_orders.push_back({m_plan.team.empty() ? m_subject : m_plan.team, m_subject, m_trial, m_week,
                      sinceStart(), std::nullopt});
  m_pendingOrder = m_orders.size() - 1;
  m_orderOvertaken = false;
  send({{"type", "order"},
        {"turn", m_turn},
        {"value", std::to_string(m_ownOrder)},
        {"decisionMs", decision.count()}});
}

void SimulatedPage::send(const json& message) {
  m_outbox.push_back(message.dump());
  if (m_outbox.size() == 1) write();
}

void SimulatedPage::write() {
  m_socket.text(true);
  m_socket.async_write(asio::buffer(m_outbox.front()),
                       [self = shared_from_this()](beast::error_code error, size_t) {
                         if (error) return self->fail("write: " + error.message());
                         self->m_outbox.pop_front();
                         if (!self->m_outbox.empty()) self->write();
                       });
}

void SimulatedPage::watch() {
  m_watchdog.expires_after(kStall);
  m_watchdog.async_wait([self = shared_from_this()](beast::error_code error) {
    if (!error && !self->m_closed) self->fail("nothing heard for a minute");
  });
}

void SimulatedPage::fail(const std::string& why) {
  if (m_closed) return;
  if (m_failure.empty()) m_failure = why;
  finish();
}

void SimulatedPage::abandon() {
  if (m_closed) return;
  m_failure = "still playing at the run's time limit";
  closeSocket();
}

// As a browser's tab that is closed, or a phone whose battery ran out: the
// connection ends without a word.
void SimulatedPage::vanish() {
  m_vanished = true;
  closeSocket();
}

void SimulatedPage::closeSocket() {
  m_closed = true;
  m_pace.cancel();
  m_watchdog.cancel();
  beast::error_code ignored;
  beast::get_lowest_layer(m_socket).socket().close(ignored);
}

void SimulatedPage::finish() {
  m_closed = true;
  m_pace.cancel();
  m_watchdog.cancel();
  if (m_socket.is_open()) {
    m_socket.async_close(websocket::close_code::normal,
                         [self = shared_from_this()](beast::error_code) {});
  }
}

}  // namespace quarn::bench
