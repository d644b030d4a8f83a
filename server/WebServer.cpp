#include "server/WebServer.h"

#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <deque>
#include <type_traits>

#include "db/ClassStore.h"
#include "server/ClassMonitor.h"
#include "server/PageAssets.h"
#include "server/Protocol.h"
#include "server/SessionCookie.h"
#include "server/SessionRegistry.h"
#include "server/Translations.h"

namespace quarn::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = asio::ssl;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// What every connection shares: where the sessions play, the game threads,
// the sessions held in memory.
struct ServedSessions {
  ServedSessions(std::string folder, const WebServerOptions& options)
      : appFolder(std::move(folder)),
        keepWithoutPage(options.keepWithoutPage),
        threads(std::max(1u, options.threads)),
        registry(options.maxWithoutPage),
        classes(threads, [folder = appFolder] { return openTeacherData(folder); }) {}
  ~ServedSessions() {
    // What a session is doing ends first; then the sessions leave memory,
    // their games as they stand in the database.
    threads.stop();
    threads.join();
    registry.clear();
  }

  std::string appFolder;
  std::chrono::milliseconds keepWithoutPage;
  asio::thread_pool threads;
  SessionRegistry registry;
  ClassMonitors classes;
};

namespace {

// A request's head may be this large; a GET has no body worth reading.
constexpr std::uint32_t kMaxHeaderBytes = 8192;
constexpr auto kHttpTimeout = std::chrono::seconds(30);

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

template <class Stream>
constexpr bool kEncrypted = std::is_same_v<Stream, TlsStream>;

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

// The session token of the request's cookies, from any of its Cookie
// headers.
std::optional<std::string> sessionTokenOf(const http::request<http::string_body>& request) {
  for (auto [field, end] = request.equal_range(http::field::cookie); field != end; ++field) {
    const beast::string_view value = field->value();
    if (auto token = server::sessionTokenOf(std::string_view(value.data(), value.size()))) {
      return token;
    }
  }
  return std::nullopt;
}

// A class's join address (/join/CODE) is the participant's page, which
// reads the code from it.
std::string_view pathOf(const http::request<http::string_body>& request) {
  const std::string_view target(request.target().data(), request.target().size());
  const std::string_view path = target.substr(0, target.find('?'));
  return path.starts_with("/join/") && path.find('/', 6) == std::string_view::npos ? "/" : path;
}

// The page's texts at /texts/<language>.json, in the participants'
// language; nothing for any other path or a language without translations.
std::optional<std::string> textsOfPath(std::string_view path) {
  constexpr std::string_view prefix = "/texts/", suffix = ".json";
  if (!path.starts_with(prefix) || !path.ends_with(suffix)) return std::nullopt;
  return pageTexts(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
}

// The class and page of a path `prefix`teacher/<CODE> or
// `prefix`projector/<CODE>; none for any other path.
std::optional<std::pair<std::string, ClassPageKind>> classPageOf(std::string_view path,
                                                                 std::string_view prefix) {
  if (!path.starts_with(prefix)) return std::nullopt;
  path.remove_prefix(prefix.size());
  for (const auto& [name, kind] :
       {std::pair{std::string_view("teacher/"), ClassPageKind::Teacher},
        std::pair{std::string_view("projector/"), ClassPageKind::Projector}}) {
    if (!path.starts_with(name)) continue;
    if (const auto code = normalClassCode(path.substr(name.size()))) return std::pair{*code, kind};
  }
  return std::nullopt;
}

// One page's WebSocket: reads the page's messages one at a time and hands
// each to its session; writes the session's messages in order. Runs on the
// connection's strand of the I/O thread.
template <class Stream>
class PageSocket final : public PageLink, public std::enable_shared_from_this<PageSocket<Stream>> {
 public:
  // A participant's page: the registry holds its session, which leaves
  // memory when its game ends, whatever its pages.
  PageSocket(Stream stream, std::shared_ptr<SessionHost> session, std::string key,
             SessionRegistry& registry)
      : m_socket(std::move(stream)),
        m_session(session),
        m_key(std::move(key)),
        m_registry(&registry) {}
  // A class's page: the connection holds its host.
  PageSocket(Stream stream, std::shared_ptr<PageHost> host)
      : m_socket(std::move(stream)), m_session(host), m_owned(std::move(host)) {}

  void accept(http::request<http::string_body> request) {
    m_socket.read_message_max(kMaxMessageBytes);
    m_socket.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    m_socket.async_accept(request, [self = this->shared_from_this()](beast::error_code error) {
      if (error) return self->leave();
      if (const auto session = self->m_session.lock()) session->attach(self);
      self->read();
    });
  }

  void deliver(std::string text) override {
    asio::post(m_socket.get_executor(),
               [self = this->shared_from_this(), text = std::move(text)]() mutable {
                 self->queue(std::move(text));
               });
  }

  void close() override {
    asio::post(m_socket.get_executor(), [self = this->shared_from_this()] {
      self->m_closing = true;
      if (self->m_outbox.empty()) self->closeNow();
    });
  }

 private:
  void read() {
    m_socket.async_read(m_buffer, [self = this->shared_from_this()](
                                      beast::error_code error, size_t) { self->onRead(error); });
  }

  void onRead(beast::error_code error) {
    // A message above the limit fails the read: Beast closes the
    // connection with the status "too big".
    if (error) return leave();
    if (!m_rate.admit(MessageRate::Clock::now())) {
      queue(errorMessage({"tooMany", "slower, please"}).dump());
    } else if (!m_socket.got_text()) {
      queue(errorMessage({"malformed", "not a text message"}).dump());
    } else if (const auto session = m_session.lock()) {
      session->receive(beast::buffers_to_string(m_buffer.data()));
    }
    m_buffer.consume(m_buffer.size());
    read();
  }

  // The connection is gone: its session is told once.
  void leave() {
    if (m_left) return;
    m_left = true;
    const auto session = m_session.lock();
    if (m_registry) m_registry->release(m_key, static_cast<SessionHost*>(session.get()));
    if (session) session->detach(this->shared_from_this());
    m_owned.reset();
  }

  void queue(std::string text) {
    if (m_closing) return;
    m_outbox.push_back(std::move(text));
    if (m_outbox.size() == 1) write();
  }

  void write() {
    m_socket.text(true);
    m_socket.async_write(asio::buffer(m_outbox.front()),
                         [self = this->shared_from_this()](beast::error_code error, size_t) {
                           if (error) return;
                           self->m_outbox.pop_front();
                           if (!self->m_outbox.empty()) {
                             self->write();
                           } else if (self->m_closing) {
                             self->closeNow();
                           }
                         });
  }

  void closeNow() {
    if (m_closed) return;
    m_closed = true;
    m_socket.async_close(websocket::close_code::normal,
                         [self = this->shared_from_this()](beast::error_code) {});
  }

  websocket::stream<Stream> m_socket;
  beast::flat_buffer m_buffer;
  std::deque<std::string> m_outbox;
  bool m_closing = false;
  bool m_closed = false;
  bool m_left = false;
  MessageRate m_rate;
  std::weak_ptr<PageHost> m_session;
  std::shared_ptr<PageHost> m_owned;
  std::string m_key;
  SessionRegistry* m_registry = nullptr;
};

}  // namespace

namespace {

// One HTTP connection, plain or under TLS: serves the page, or hands the
// connection to a PageSocket when it asks for the WebSocket.
template <class Stream>
class HttpConnection : public std::enable_shared_from_this<HttpConnection<Stream>> {
 public:
  HttpConnection(Stream stream, ServedSessions& sessions)
      : m_stream(std::move(stream)), m_sessions(sessions) {}

  void start() {
    if constexpr (kEncrypted<Stream>) {
      beast::get_lowest_layer(m_stream).expires_after(kHttpTimeout);
      m_stream.async_handshake(ssl::stream_base::server,
                               [self = this->shared_from_this()](beast::error_code error) {
                                 if (!error) self->read();
                               });
    } else {
      read();
    }
  }

 private:
  void read() {
    m_parser.emplace();
    m_parser->header_limit(kMaxHeaderBytes);
    m_parser->body_limit(kMaxMessageBytes);
    beast::get_lowest_layer(m_stream).expires_after(kHttpTimeout);
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = this->shared_from_this()](beast::error_code error, size_t) {
                       if (!error) self->answer(self->m_parser->release());
                     });
  }

  void answer(http::request<http::string_body> request) {
    if (websocket::is_upgrade(request)) {
      const auto classPage = classPageOf(pathOf(request), "/ws/");
      if (request.target() != "/ws" && !classPage) {
        return reply(request, http::status::not_found, "");
      }
      if (!fromOwnPage(request)) return reply(request, http::status::forbidden, "");
      if (classPage) return openClassPage(std::move(request), *classPage);
      return openPage(std::move(request));
    }
    if (request.method() != http::verb::get) {
      return reply(request, http::status::method_not_allowed, "");
    }
    const std::string_view path = pathOf(request);
    if (const auto texts = textsOfPath(path)) {
      return reply(request, http::status::ok, *texts, "application/json");
    }
    const auto classPage = classPageOf(path, "/");
    const PageAsset* asset =
        findPageAsset(classPage ? (classPage->second == ClassPageKind::Teacher ? "/teacher.html"
                                                                               : "/projector.html")
                                : path);
    if (!asset) return reply(request, http::status::not_found, "");
    reply(request, http::status::ok, std::string(asset->body), asset->contentType);
  }

  // The WebSocket of a page: the session of the page's cookie, alive or
  // new. Without a cookie the session is the connection's alone.
  void openPage(http::request<http::string_body> request) {
    const std::optional<std::string> token = sessionTokenOf(request);
    SessionPlace place{token ? *token : newSessionToken(), token.has_value(),
                       m_sessions.keepWithoutPage};
    const std::string device = deviceNameOf(place.key);
    const std::string key = place.key;
    const auto session = m_sessions.registry.claim(key, [&] {
      return std::make_shared<SessionHost>(m_sessions.threads, m_sessions.registry,
                                           std::move(place), m_sessions.appFolder, device);
    });
    beast::get_lowest_layer(m_stream).expires_never();
    std::make_shared<PageSocket<Stream>>(std::move(m_stream), session, key, m_sessions.registry)
        ->accept(std::move(request));
  }

  // The teacher's page or the projector view of a class: its WebSocket is
  // its class monitor's page.
  void openClassPage(http::request<http::string_body> request,
                     const std::pair<std::string, ClassPageKind>& page) {
    auto host = m_sessions.classes.page(page.first, page.second);
    beast::get_lowest_layer(m_stream).expires_never();
    std::make_shared<PageSocket<Stream>>(std::move(m_stream), std::move(host))
        ->accept(std::move(request));
  }

  void reply(const http::request<http::string_body>& request, http::status status, std::string body,
             std::string_view contentType = "text/plain") {
    auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
    response->set(http::field::content_type,
                  beast::string_view(contentType.data(), contentType.size()));
    response->set(http::field::cache_control, "no-store");
    if (pathOf(request) == "/" && status == http::status::ok && !sessionTokenOf(request)) {
      response->set(http::field::set_cookie, sessionCookie(newSessionToken(), kEncrypted<Stream>));
    }
    response->keep_alive(request.keep_alive());
    response->body() = std::move(body);
    response->prepare_payload();
    http::async_write(m_stream, *response,
                      [self = this->shared_from_this(), response](beast::error_code error, size_t) {
                        if (error) return;
                        if (response->keep_alive()) {
                          self->read();
                        } else {
                          self->shutDown();
                        }
                      });
  }

  void shutDown() {
    if constexpr (kEncrypted<Stream>) {
      beast::get_lowest_layer(m_stream).expires_after(kHttpTimeout);
      m_stream.async_shutdown([self = this->shared_from_this()](beast::error_code) {});
    } else {
      beast::error_code ignored;
      m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }
  }

  Stream m_stream;
  beast::flat_buffer m_buffer;
  std::optional<http::request_parser<http::string_body>> m_parser;
  ServedSessions& m_sessions;
};

}  // namespace

class WebServer::Listener : public std::enable_shared_from_this<Listener> {
 public:
  Listener(asio::io_context& io, const tcp::endpoint& endpoint, ServedSessions& sessions,
           std::unique_ptr<ssl::context> tls)
      : m_io(io), m_acceptor(io, endpoint), m_sessions(sessions), m_tls(std::move(tls)) {}

  void accept() {
    // Each connection's handlers run on a strand of its own: the session's
    // messages come to it from the game threads.
    m_acceptor.async_accept(asio::make_strand(m_io),
                            [weak = weak_from_this()](beast::error_code error, tcp::socket socket) {
                              const auto self = weak.lock();
                              if (!self) return;
                              if (!error) self->serve(std::move(socket));
                              if (self->m_acceptor.is_open()) self->accept();
                            });
  }

  void stop() {
    beast::error_code ignored;
    m_acceptor.close(ignored);
  }

  uint16_t port() const { return m_acceptor.local_endpoint().port(); }

 private:
  void serve(tcp::socket socket) {
    if (m_tls) {
      std::make_shared<HttpConnection<TlsStream>>(TlsStream(std::move(socket), *m_tls), m_sessions)
          ->start();
    } else {
      std::make_shared<HttpConnection<PlainStream>>(PlainStream(std::move(socket)), m_sessions)
          ->start();
    }
  }

  asio::io_context& m_io;
  tcp::acceptor m_acceptor;
  ServedSessions& m_sessions;
  std::unique_ptr<ssl::context> m_tls;
};

WebServer::WebServer(asio::io_context& io, const tcp::endpoint& endpoint, std::string appFolder,
                     WebServerOptions options)
    : m_sessions(std::make_unique<ServedSessions>(std::move(appFolder), options)) {
  auto tls = options.tls ? serverTlsContext(*options.tls) : nullptr;
  m_listener = std::make_shared<Listener>(io, endpoint, *m_sessions, std::move(tls));
  m_listener->accept();
}

WebServer::~WebServer() {
  m_listener->stop();
  m_sessions.reset();
}

uint16_t WebServer::port() const {
  return m_listener->port();
}

std::size_t WebServer::sessionCount() const {
  return m_sessions->registry.size();
}

}  // namespace quarn::server
