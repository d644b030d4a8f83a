#pragma once

// The server as the tests run it, and a page's WebSocket as a browser opens
// it: the one client of the server's tests.
#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "server/WebServer.h"

namespace quarn::testing {

// How long a test waits for the server before it fails.
inline constexpr auto kPatience = std::chrono::seconds(20);

// The server on a port of its own, its sockets on one thread, playing in
// the demo's application folder.
class RunningServer {
 public:
  explicit RunningServer(const std::string& appFolder, server::WebServerOptions options = {})
      : m_web(m_io, {boost::asio::ip::make_address("127.0.0.1"), 0}, appFolder, std::move(options)),
        m_thread([this] { m_io.run(); }) {}
  ~RunningServer() {
    m_io.stop();
    m_thread.join();
  }
  uint16_t port() const { return m_web.port(); }
  std::size_t sessionCount() const { return m_web.sessionCount(); }

 private:
  boost::asio::io_context m_io{1};
  server::WebServer m_web;
  std::thread m_thread;
};

// How a page's WebSocket is opened: the browser's cookie and the page's
// origin as a browser names them (empty: none), over TLS when given a
// client context.
struct PageOpening {
  std::string cookie{};
  std::string origin{};
  boost::asio::ssl::context* tls = nullptr;
  std::string path = "/ws";  // the WebSocket's address: a class's page has its own
};

// A page's side of the WebSocket, as a browser speaks it.
class PageClient {
 public:
  using PlainSocket = boost::beast::websocket::stream<boost::beast::tcp_stream>;
  using TlsSocket =
      boost::beast::websocket::stream<boost::beast::ssl_stream<boost::beast::tcp_stream>>;

  explicit PageClient(uint16_t port, const PageOpening& opening = {}) {
    namespace http = boost::beast::http;
    namespace websocket = boost::beast::websocket;
    const boost::asio::ip::tcp::endpoint server(boost::asio::ip::make_address("127.0.0.1"), port);
    const auto decorate = [opening](websocket::request_type& request) {
      if (!opening.cookie.empty()) request.set(http::field::cookie, opening.cookie);
      if (!opening.origin.empty()) request.set(http::field::origin, opening.origin);
    };
    const std::string host = "127.0.0.1:" + std::to_string(port);
    if (opening.tls) {
      m_tls = std::make_unique<TlsSocket>(m_io, *opening.tls);
      boost::beast::get_lowest_layer(*m_tls).connect(server);
      m_tls->next_layer().handshake(boost::asio::ssl::stream_base::client);
      m_tls->set_option(websocket::stream_base::decorator(decorate));
      m_tls->handshake(host, opening.path);
    } else {
      m_plain = std::make_unique<PlainSocket>(m_io);
      boost::beast::get_lowest_layer(*m_plain).connect(server);
      m_plain->set_option(websocket::stream_base::decorator(decorate));
      m_plain->handshake(host, opening.path);
    }
  }

  void sendText(const std::string& text) {
    onSocket([&](auto& socket) { socket.write(boost::asio::buffer(text)); });
  }
  void send(const nlohmann::json& message) { sendText(message.dump()); }

  // The next message; none within `patience` fails the test rather than
  // hanging it.
  nlohmann::json receive(std::chrono::seconds patience = kPatience) {
    boost::beast::flat_buffer buffer;
    std::optional<boost::beast::error_code> result;
    onSocket([&](auto& socket) {
      socket.async_read(buffer,
                        [&result](boost::beast::error_code error, size_t) { result = error; });
    });
    m_io.restart();
    m_io.run_for(patience);
    if (!result) throw std::runtime_error("no message from the server");
    if (*result) throw boost::beast::system_error(*result);
    return nlohmann::json::parse(boost::beast::buffers_to_string(buffer.data()));
  }
  // Reads up to and including the next message of `type` for which `also`
  // holds.
  nlohmann::json receiveUntil(
      const std::string& type, const std::function<bool(const nlohmann::json&)>& also =
                                   [](const nlohmann::json&) { return true; }) {
    for (;;) {
      nlohmann::json message = receive();
      if (message["type"] == type && also(message)) return message;
    }
  }
  // The next open week after `turn`.
  int weekAfter(int turn) {
    return receiveUntil("weekOpened",
                        [turn](const nlohmann::json& m) { return m["turn"] == turn + 1; })["turn"]
        .get<int>();
  }
  // The status the server closed the connection with.
  boost::beast::websocket::close_reason closedWith() {
    try {
      for (;;) receive();
    } catch (const boost::beast::system_error& error) {
      EXPECT_EQ(error.code(), boost::beast::websocket::error::closed);
    }
    boost::beast::websocket::close_reason reason;
    onSocket([&](auto& socket) { reason = socket.reason(); });
    return reason;
  }
  // The browser closes the page.
  void close() {
    onSocket([](auto& socket) { socket.close(boost::beast::websocket::close_code::going_away); });
  }

 private:
  template <class Use>
  void onSocket(const Use& use) {
    if (m_tls) {
      use(*m_tls);
    } else {
      use(*m_plain);
    }
  }

  boost::asio::io_context m_io;
  std::unique_ptr<PlainSocket> m_plain;
  std::unique_ptr<TlsSocket> m_tls;
};

}  // namespace quarn::testing
