#include "server/WebServer.h"

#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <iostream>

#include "server/PageAssets.h"
#include "server/ParticipantSession.h"
#include "server/Protocol.h"
#include "server/Translations.h"

namespace quarn::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

// A request's head may be this large; a GET has no body worth reading.
constexpr std::uint32_t kMaxHeaderBytes = 8192;
constexpr auto kHttpTimeout = std::chrono::seconds(30);

// Whether a WebSocket request may come from where it says: a browser names
// the page's origin, which must be this server as the browser addressed it
// (another site's page must not play here). A client that is no browser
// names none.
bool fromOwnPage(const http::request<http::string_body>& request) {
  const auto origin = request.find(http::field::origin);
  if (origin == request.end()) return true;
  const std::string host(request[http::field::host]);
  return !host.empty() &&
         (origin->value() == "http://" + host || origin->value() == "https://" + host);
}

// The page's texts at /texts/<language>.json, in the participants'
// language; nothing for any other path or a language without translations.
std::optional<std::string> textsOfPath(std::string_view path) {
  constexpr std::string_view prefix = "/texts/", suffix = ".json";
  if (!path.starts_with(prefix) || !path.ends_with(suffix)) return std::nullopt;
  return pageTexts(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
}

// One participant's WebSocket: reads the page's messages one at a time, hands
// each to the session and writes the session's messages in order.
class PageSocket : public std::enable_shared_from_this<PageSocket> {
 public:
  PageSocket(tcp::socket socket, const std::string& appFolder)
      : m_socket(std::move(socket)),
        m_session(appFolder, "browser",
                  [this](const nlohmann::json& message) { send(message.dump()); }) {}

  void accept(http::request<http::string_body> request) {
    m_socket.read_message_max(kMaxMessageBytes);
    m_socket.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    m_socket.async_accept(request, [self = shared_from_this()](beast::error_code error) {
      if (!error) self->read();
    });
  }

 private:
  void read() {
    m_socket.async_read(m_buffer, [self = shared_from_this()](beast::error_code error, size_t) {
      self->onRead(error);
    });
  }

  void onRead(beast::error_code error) {
    // A message above the limit fails the read: Beast closes the
    // connection with the status "too big".
    if (error) return;
    if (!m_rate.admit(MessageRate::Clock::now())) {
      send(errorMessage({"tooMany", "slower, please"}).dump());
    } else if (!m_socket.got_text()) {
      send(errorMessage({"malformed", "not a text message"}).dump());
    } else {
      m_session.receive(beast::buffers_to_string(m_buffer.data()));
    }
    m_buffer.consume(m_buffer.size());
    if (m_session.ended()) {
      m_closing = true;
      if (m_outbox.empty()) close();
      return;
    }
    read();
  }

  void send(std::string text) {
    m_outbox.push_back(std::move(text));
    if (m_outbox.size() == 1) write();
  }

  void write() {
    m_socket.text(true);
    m_socket.async_write(asio::buffer(m_outbox.front()),
                         [self = shared_from_this()](beast::error_code error, size_t) {
                           if (error) return;
                           self->m_outbox.pop_front();
                           if (!self->m_outbox.empty()) {
                             self->write();
                           } else if (self->m_closing) {
                             self->close();
                           }
                         });
  }

  void close() {
    m_socket.async_close(websocket::close_code::normal,
                         [self = shared_from_this()](beast::error_code) {});
  }

  websocket::stream<beast::tcp_stream> m_socket;
  beast::flat_buffer m_buffer;
  std::deque<std::string> m_outbox;
  bool m_closing = false;
  MessageRate m_rate;
  ParticipantSession m_session;
};

// One HTTP connection: serves the page, or hands the connection to a
// PageSocket when it asks for the WebSocket.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
 public:
  HttpConnection(tcp::socket socket, const std::string& appFolder)
      : m_stream(std::move(socket)), m_appFolder(appFolder) {}

  void read() {
    m_parser.emplace();
    m_parser->header_limit(kMaxHeaderBytes);
    m_parser->body_limit(kMaxMessageBytes);
    m_stream.expires_after(kHttpTimeout);
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = shared_from_this()](beast::error_code error, size_t) {
                       if (!error) self->answer(self->m_parser->release());
                     });
  }

 private:
  void answer(http::request<http::string_body> request) {
    if (websocket::is_upgrade(request)) {
      if (request.target() != "/ws") return reply(request, http::status::not_found, "");
      if (!fromOwnPage(request)) return reply(request, http::status::forbidden, "");
      m_stream.expires_never();
      std::make_shared<PageSocket>(m_stream.release_socket(), m_appFolder)
          ->accept(std::move(request));
      return;
    }
    if (request.method() != http::verb::get) {
      return reply(request, http::status::method_not_allowed, "");
    }
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = target.substr(0, target.find('?'));
    if (const auto texts = textsOfPath(path)) {
      return reply(request, http::status::ok, *texts, "application/json");
    }
    const PageAsset* asset = findPageAsset(path);
    if (!asset) return reply(request, http::status::not_found, "");
    reply(request, http::status::ok, std::string(asset->body), asset->contentType);
  }

  void reply(const http::request<http::string_body>& request, http::status status, std::string body,
             std::string_view contentType = "text/plain") {
    auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
    response->set(http::field::content_type,
                  beast::string_view(contentType.data(), contentType.size()));
    response->set(http::field::cache_control, "no-store");
    response->keep_alive(request.keep_alive());
    response->body() = std::move(body);
    response->prepare_payload();
    http::async_write(m_stream, *response,
                      [self = shared_from_this(), response](beast::error_code error, size_t) {
                        if (error) return;
                        if (response->keep_alive()) {
                          self->read();
                        } else {
                          beast::error_code ignored;
                          self->m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
                        }
                      });
  }

  beast::tcp_stream m_stream;
  beast::flat_buffer m_buffer;
  std::optional<http::request_parser<http::string_body>> m_parser;
  std::string m_appFolder;
};

}  // namespace

class WebServer::Listener : public std::enable_shared_from_this<Listener> {
 public:
  Listener(asio::io_context& io, const tcp::endpoint& endpoint, std::string appFolder)
      : m_acceptor(io, endpoint), m_appFolder(std::move(appFolder)) {}

  void accept() {
    m_acceptor.async_accept([weak = weak_from_this()](beast::error_code error, tcp::socket socket) {
      const auto self = weak.lock();
      if (!self) return;
      if (!error) std::make_shared<HttpConnection>(std::move(socket), self->m_appFolder)->read();
      if (self->m_acceptor.is_open()) self->accept();
    });
  }

  void stop() {
    beast::error_code ignored;
    m_acceptor.close(ignored);
  }

  uint16_t port() const { return m_acceptor.local_endpoint().port(); }

 private:
  tcp::acceptor m_acceptor;
  std::string m_appFolder;
};

WebServer::WebServer(asio::io_context& io, const tcp::endpoint& endpoint, std::string appFolder)
    : m_listener(std::make_shared<Listener>(io, endpoint, std::move(appFolder))) {
  m_listener->accept();
}

WebServer::~WebServer() {
  m_listener->stop();
}

uint16_t WebServer::port() const {
  return m_listener->port();
}

}  // namespace quarn::server
