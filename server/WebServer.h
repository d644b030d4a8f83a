#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <cstdint>
#include <memory>
#include <string>

namespace quarn::server {

// Serves the participant's page at GET / and the game at /ws (a WebSocket
// speaking the page's protocol, one participant's session per connection),
// on the io_context's one thread.
class WebServer {
 public:
  // Listens on `endpoint` (port 0: one the system chooses); the sessions
  // play in the application folder `appFolder`.
  WebServer(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint,
            std::string appFolder);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  uint16_t port() const;

 private:
  class Listener;
  std::shared_ptr<Listener> m_listener;
};

}  // namespace quarn::server
