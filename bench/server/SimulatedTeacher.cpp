#include "bench/server/SimulatedTeacher.h"

#include <boost/asio/ip/tcp.hpp>

namespace quarn::bench {

namespace asio = boost::asio;
namespace beast = boost::beast;
using nlohmann::json;
using tcp = asio::ip::tcp;

SimulatedTeacher::SimulatedTeacher(asio::io_context& io, uint16_t port, std::string code,
                                   std::string password, Clock::time_point runStart)
    : m_socket(io),
      m_port(port),
      m_code(std::move(code)),
      m_password(std::move(password)),
      m_runStart(runStart) {}

double SimulatedTeacher::sinceStart() const {
  return std::chrono::duration<double, std::milli>(Clock::now() - m_runStart).count();
}

void SimulatedTeacher::start() {
  const tcp::endpoint server(asio::ip::make_address("127.0.0.1"), m_port);
  beast::get_lowest_layer(m_socket).async_connect(
      server, [self = shared_from_this()](beast::error_code error) {
        if (error) return self->fail("connect: " + error.message());
        beast::error_code ignored;
        beast::get_lowest_layer(self->m_socket).socket().set_option(tcp::no_delay(true), ignored);
        const std::string host = "127.0.0.1:" + std::to_string(self->m_port);
        self->m_socket.async_handshake(
            host, "/ws/teacher/" + self->m_code, [self](beast::error_code error) {
              if (error) return self->fail("handshake: " + error.message());
              self->read();
              self->send({{"type", "classLogin"}, {"password", self->m_password}});
            });
      });
}

void SimulatedTeacher::startClass() {
  m_startWanted = true;
  if (m_loggedIn) send({{"type", "startClass"}});
}

void SimulatedTeacher::read() {
  m_socket.async_read(m_buffer, [self = shared_from_this()](beast::error_code error, size_t) {
    if (self->m_closed) return;
    if (error) return self->fail("read: " + error.message());
    const size_t bytes = self->m_buffer.size();
    const json message =
        json::parse(beast::buffers_to_string(self->m_buffer.data()), nullptr, false);
    self->m_buffer.consume(bytes);
    if (message.is_discarded() || !message.is_object() || !message.contains("type") ||
        !message["type"].is_string()) {
      return self->fail("not a message of the protocol");
    }
    self->take(message, bytes);
    if (!self->m_closed) self->read();
  });
}

void SimulatedTeacher::take(const json& message, size_t bytes) {
  const std::string type = message["type"].get<std::string>();
  if (type == "classLoggedIn") {
    m_loggedIn = true;
    if (m_startWanted) send({{"type", "startClass"}});
  } else if (type == "classView") {
    view(message, bytes);
  } else if (type == "classDone" && message.value("of", "") == "startClass") {
    m_started = true;
  } else if (type == "refused" || type == "error") {
    // The page stays open: what the server refused is reported.
    if (m_failure.empty()) {
      m_failure = type + " " + message.value("of", "") + ": " + message.value("reason", "");
    }
  }
}

// Notes, for each student whose shown week moved on, when the view showed it.
void SimulatedTeacher::view(const json& message, size_t bytes) {
  ++m_views;
  m_viewBytes += bytes;
  const auto teams = message.find("teams");
  if (teams == message.end() || !teams->is_array()) return;
  const double now = sinceStart();
  for (const json& team : *teams) {
    for (const auto& [subject, shown] : shownWeeks(team)) {
      const auto last = m_lastShown.find(subject);
      if (last != m_lastShown.end() && last->second >= shown) continue;
      m_lastShown[subject] = shown;
      m_sightings[subject].push_back({now, shown});
    }
  }
}

void SimulatedTeacher::send(const json& message) {
  if (m_closed) return;
  m_outbox.push_back(message.dump());
  if (m_outbox.size() == 1) write();
}

void SimulatedTeacher::write() {
  m_socket.text(true);
  m_socket.async_write(asio::buffer(m_outbox.front()),
                       [self = shared_from_this()](beast::error_code error, size_t) {
                         if (error) return self->fail("write: " + error.message());
                         self->m_outbox.pop_front();
                         if (!self->m_outbox.empty()) self->write();
                       });
}

void SimulatedTeacher::fail(const std::string& why) {
  if (m_closed) return;
  if (m_failure.empty()) m_failure = why;
  stop();
}

void SimulatedTeacher::stop() {
  if (m_closed) return;
  m_closed = true;
  beast::error_code ignored;
  beast::get_lowest_layer(m_socket).socket().close(ignored);
}

}  // namespace quarn::bench
