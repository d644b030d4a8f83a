#pragma once

// The teacher's page of a class as bench_class simulates it: one WebSocket
// to quarngame-server's /ws/teacher/CODE, logged in with the class's
// password, on the io_context of the students' pages. It starts the class
// when told, and records when the live view first showed each student's
// orders of a week (the view's "classView" messages).

#include <boost/asio/io_context.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "bench/server/ClassFigures.h"

namespace quarn::bench {

class SimulatedTeacher : public std::enable_shared_from_this<SimulatedTeacher> {
 public:
  using Clock = std::chrono::steady_clock;

  SimulatedTeacher(boost::asio::io_context& io, uint16_t port, std::string code,
                   std::string password, Clock::time_point runStart);

  // Connects and logs in.
  void start();
  // Starts the class: at once when logged in, else right after the login.
  void startClass();
  // Closes the page's socket.
  void stop();

  bool loggedIn() const { return m_loggedIn; }
  // Whether the server said the class was started.
  bool classStarted() const { return m_started; }
  const Sightings& sightings() const { return m_sightings; }
  // The live views received, and their bytes.
  int views() const { return m_views; }
  size_t viewBytes() const { return m_viewBytes; }
  // Why the page stopped early, or what the server refused; empty: nothing.
  const std::string& failure() const { return m_failure; }

 private:
  void read();
  void take(const nlohmann::json& message, size_t bytes);
  void view(const nlohmann::json& message, size_t bytes);
  void send(const nlohmann::json& message);
  void write();
  void fail(const std::string& why);
  double sinceStart() const;

  boost::beast::websocket::stream<boost::beast::tcp_stream> m_socket;
  boost::beast::flat_buffer m_buffer;
  std::deque<std::string> m_outbox;
  uint16_t m_port;
  std::string m_code;
  std::string m_password;
  Clock::time_point m_runStart;

  bool m_loggedIn = false;
  bool m_startWanted = false;
  bool m_started = false;
  bool m_closed = false;
  std::map<std::string, GameWeek> m_lastShown;
  Sightings m_sightings;
  int m_views = 0;
  size_t m_viewBytes = 0;
  std::string m_failure;
};

}  // namespace quarn::bench
