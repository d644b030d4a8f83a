#pragma once

#include <boost/asio/io_context.hpp>
#include <thread>

#include "server/WebServer.h"

namespace quarn::bench {

// The browser's server on a port of its own and its one thread, in an
// application folder.
class RunningServer {
 public:
  explicit RunningServer(const std::string& appFolder)
      : m_web(m_io, {boost::asio::ip::make_address("127.0.0.1"), 0}, appFolder),
        m_thread([this] { m_io.run(); }) {}
  ~RunningServer() {
    m_io.stop();
    m_thread.join();
  }
  uint16_t port() const { return m_web.port(); }

 private:
  boost::asio::io_context m_io{1};
  server::WebServer m_web;
  std::thread m_thread;
};

}  // namespace quarn::bench
