#include "tests/browser/WebDriver.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace quarn::testing {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using nlohmann::json;

constexpr const char* kChromedriver = "/usr/bin/chromedriver";
constexpr const char* kChromium = "/usr/bin/chromium";
constexpr const char* kElementKey = "element-6066-11e4-a52e-4f735466cecf";

unsigned short freePort() {
  asio::io_context io;
  tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  return acceptor.local_endpoint().port();
}

std::string base64Decoded(const std::string& text) {
  static const std::string kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    const size_t digit = kDigits.find(c);
    if (digit == std::string::npos) continue;  // padding, line breaks
    bits = (bits << 6) | static_cast<unsigned>(digit);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes.push_back(static_cast<char>((bits >> count) & 0xff));
    }
  }
  return bytes;
}

std::string newProfileFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quarn-chromium-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("no folder for the browser's profile");
  return pattern;
}

}  // namespace

WebDriver::WebDriver(int width, int height) : m_port(freePort()), m_profile(newProfileFolder()) {
  const std::string portOption = "--port=" + std::to_string(m_port);
  m_driver = fork();
  if (m_driver == 0) {
    // The driver and its browser must not hold the test's sockets open (a
    // server stopped in the test could not listen on its port again).
    close_range(3, ~0U, 0);
    execl(kChromedriver, kChromedriver, portOption.c_str(), "--silent", nullptr);
    _exit(127);
  }
  if (m_driver < 0) throw std::runtime_error("chromedriver did not start");
  const bool ready = waitUntil([this] {
    try {
      return call("GET", "/status")["value"]["ready"] == true;
    } catch (const std::exception&) {
      return false;
    }
  });
  if (!ready) throw std::runtime_error("chromedriver did not answer");
  json args = {"--headless=new",
               "--disable-gpu",
               "--disable-dev-shm-usage",
               "--no-first-run",
               "--user-data-dir=" + m_profile,
               "--window-size=" + std::to_string(width) + "," + std::to_string(height)};
  // Root has no user namespace for Chromium's sandbox.
  if (geteuid() == 0) args.push_back("--no-sandbox");
  const json capabilities = {
      {"capabilities",
       {{"alwaysMatch",
         {{"browserName", "chrome"},
          {"goog:chromeOptions", {{"binary", kChromium}, {"args", args}}}}}}}};
  m_session = call("POST", "/session", capabilities)["value"]["sessionId"].get<std::string>();
  resize(width, height);
}

void WebDriver::resize(int width, int height) {
  const std::string window = "/session/" + m_session + "/window/rect";
  call("POST", window, {{"width", width}, {"height", height}});
  // The window's frame, if any, is added to the inner size wanted.
  const json inner = run("return [window.innerWidth, window.innerHeight];");
  call("POST", window,
       {{"width", 2 * width - inner[0].get<int>()}, {"height", 2 * height - inner[1].get<int>()}});
}

WebDriver::~WebDriver() {
  try {
    if (!m_session.empty()) call("DELETE", "/session/" + m_session);
  } catch (const std::exception&) {
    // The browser is gone with its driver below.
  }
  if (m_driver > 0) {
    kill(m_driver, SIGTERM);
    waitpid(m_driver, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(m_profile, ignored);
}

json WebDriver::call(const std::string& method, const std::string& path, const json& body) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  tcp::resolver resolver(io);
  stream.connect(resolver.resolve("127.0.0.1", std::to_string(m_port)));
  http::request<http::string_body> request(http::string_to_verb(method), path, 11);
  request.set(http::field::host, "127.0.0.1");
  if (!body.is_null()) {
    request.set(http::field::content_type, "application/json");
    request.body() = body.dump();
  }
  request.prepare_payload();
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(64 * 1024 * 1024);  // screenshots
  http::read(stream, buffer, parser);
  const auto& response = parser.get();
  json answer = json::parse(response.body(), nullptr, false);
  if (response.result() != http::status::ok || answer.is_discarded()) {
    throw std::runtime_error("WebDriver " + method + " " + path + ": " + response.body());
  }
  return answer;
}

std::string WebDriver::element(const std::string& id) {
  const json found = call("POST", "/session/" + m_session + "/element",
                          {{"using", "css selector"}, {"value", "#" + id}});
  return found["value"][kElementKey].get<std::string>();
}

void WebDriver::open(const std::string& url) {
  call("POST", "/session/" + m_session + "/url", {{"url", url}});
}

void WebDriver::reload() {
  call("POST", "/session/" + m_session + "/refresh", json::object());
}

void WebDriver::type(const std::string& id, const std::string& keys) {
  try {
    call("POST", "/session/" + m_session + "/element/" + element(id) + "/value", {{"text", keys}});
  } catch (const std::runtime_error& error) {
    throw std::runtime_error("typing into #" + id + ": " + error.what());
  }
}

void WebDriver::click(const std::string& id) {
  try {
    call("POST", "/session/" + m_session + "/element/" + element(id) + "/click", json::object());
  } catch (const std::runtime_error& error) {
    throw std::runtime_error("clicking #" + id + ": " + error.what());
  }
}

std::string WebDriver::text(const std::string& id) {
  return call("GET", "/session/" + m_session + "/element/" + element(id) + "/text")["value"];
}

std::string WebDriver::value(const std::string& id) {
  return call("GET",
              "/session/" + m_session + "/element/" + element(id) + "/property/value")["value"];
}

bool WebDriver::enabled(const std::string& id) {
  return call("GET", "/session/" + m_session + "/element/" + element(id) + "/enabled")["value"];
}

bool WebDriver::hasCookie(const std::string& name) {
  const json cookies = call("GET", "/session/" + m_session + "/cookie");
  for (const json& cookie : cookies["value"]) {
    if (cookie["name"] == name) return true;
  }
  return false;
}

json WebDriver::run(const std::string& script) {
  return call("POST", "/session/" + m_session + "/execute/sync",
              {{"script", script}, {"args", json::array()}})["value"];
}

void WebDriver::screenshot(const std::string& path) {
  const std::string png =
      base64Decoded(call("GET", "/session/" + m_session + "/screenshot")["value"]);
  std::ofstream(path, std::ios::binary) << png;
}

void WebDriver::acceptDialog() {
  call("POST", "/session/" + m_session + "/alert/accept", json::object());
}

std::string WebDriver::openTab() {
  const std::string handle =
      call("POST", "/session/" + m_session + "/window/new", {{"type", "tab"}})["value"]["handle"];
  showTab(handle);
  return handle;
}

std::string WebDriver::tab() {
  return call("GET", "/session/" + m_session + "/window")["value"];
}

void WebDriver::showTab(const std::string& handle) {
  call("POST", "/session/" + m_session + "/window", {{"handle", handle}});
}

bool WebDriver::waitUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace quarn::testing
