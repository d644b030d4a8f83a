#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "server/SessionHost.h"
#include "server/SessionRegistry.h"
#include "server/TlsContext.h"

namespace quarn::server {

struct ServedSessions;

struct WebServerOptions {
  // The game threads the sessions play on (a database wait holds one).
  unsigned threads = 2;
  // The lab's certificate: HTTPS and WSS; none: plain HTTP.
  std::optional<TlsFiles> tls;
  // How long a session without a page waits for it to come back.
  std::chrono::milliseconds keepWithoutPage = kKeepWithoutPage;
  // How many sessions without a page are kept; beyond it the oldest one in
  // which nobody logged in is let go (a game is always kept).
  std::size_t maxWithoutPage = kMaxWithoutPage;
};

// Serves the participant's page at GET / and the game at /ws (a WebSocket
// speaking the page's protocol). The io_context's thread only reads and
// writes the sockets; each participant's session plays on its own strand of
// the server's game threads. A browser's session cookie brings a page that
// comes back to its session.
class WebServer {
 public:
  // Listens on `endpoint` (port 0: one the system chooses); the sessions
  // play in the application folder `appFolder`. Unusable TLS files raise
  // std::runtime_error before anything listens. The io_context must have
  // stopped running before the server is destroyed.
  WebServer(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint,
            std::string appFolder, WebServerOptions options = {});
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  uint16_t port() const;
  // The sessions held in memory, with a page or waiting for one.
  std::size_t sessionCount() const;

 private:
  class Listener;
  std::unique_ptr<ServedSessions> m_sessions;
  std::shared_ptr<Listener> m_listener;
};

}  // namespace quarn::server
