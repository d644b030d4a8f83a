#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace quarn::testing {

// A headless Chromium driven through chromedriver's WebDriver protocol
// (HTTP and JSON): the tests' own browser, as a participant's. Elements are
// found by their id; keys and clicks are the browser's real input events.
class WebDriver {
 public:
  // Starts chromedriver and a browser window of `width` x `height` pixels.
  WebDriver(int width, int height);
  ~WebDriver();
  WebDriver(const WebDriver&) = delete;
  WebDriver& operator=(const WebDriver&) = delete;

  // The window's inner size in pixels, as a phone's or a laptop's screen.
  void resize(int width, int height);
  void open(const std::string& url);
  void reload();
  // Types `keys` into the element (WebDriver's key codes, e.g. kEnter).
  void type(const std::string& id, const std::string& keys);
  void click(const std::string& id);
  std::string text(const std::string& id);
  std::string value(const std::string& id);
  bool enabled(const std::string& id);
  // Whether the browser holds a cookie of that name for the open page (an
  // HttpOnly one too).
  bool hasCookie(const std::string& name);
  // The page's JavaScript: `script` is a function body; its return value.
  nlohmann::json run(const std::string& script);
  // The page as a PNG file.
  void screenshot(const std::string& path);
  // Presses OK in the page's open confirm() or alert() box.
  void acceptDialog();
  // Opens a new tab of the same browser and shows it; its handle.
  std::string openTab();
  // The shown tab's handle; shows the tab of `handle`.
  std::string tab();
  void showTab(const std::string& handle);

  // Waits until `condition` holds; false once `patience` has passed.
  static bool waitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds patience = std::chrono::seconds(20));

  static constexpr const char* kEnter = "\xee\x80\x87";      // U+E007
  static constexpr const char* kBackspace = "\xee\x80\x83";  // U+E003

 private:
  nlohmann::json call(const std::string& method, const std::string& path,
                      const nlohmann::json& body = nullptr);
  std::string element(const std::string& id);

  pid_t m_driver = -1;
  unsigned short m_port = 0;
  std::string m_session;
  std::string m_profile;
};

}  // namespace quarn::testing
