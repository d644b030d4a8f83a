// quarngame-server: serves the participant's page and plays each connected
// participant's game, in the application folder the other programs use.
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/AppFolder.h"
#include "base/Errors.h"
#include "server/WebServer.h"

namespace {

struct ServerOptions {
  std::string folder;
  uint16_t port = 8080;
  bool plainHttp = false;
  bool help = false;
};

const char* const kUsage =
    "Usage: quarngame-server [--folder DIR] [--port N] --plain-http\n"
    "Serves the participant's page at http://<this computer>:N/ (8080 unless told).\n"
    "--plain-http: without encryption, for a classroom network only (the encrypted\n"
    "connection is not built yet, so this option is needed).\n";

std::optional<uint16_t> portOf(const std::string& text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > 65535) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(value);
}

std::optional<ServerOptions> readOptions(const std::vector<std::string>& words) {
  ServerOptions options;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool hasValue = i + 1 < words.size();
    if (word == "--folder" && hasValue) {
      options.folder = words[++i];
    } else if (word == "--port" && hasValue) {
      const auto port = portOf(words[++i]);
      if (!port) return std::nullopt;
      options.port = *port;
    } else if (word == "--plain-http") {
      options.plainHttp = true;
    } else if (word == "--help" || word == "-h") {
      options.help = true;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quarn;
  const auto options = readOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options || options->help) {
    (options ? std::cout : std::cerr) << kUsage;
    return options ? 0 : 2;
  }
  if (!options->plainHttp) {
    std::cerr << "quarngame-server: start it with --plain-http (a classroom network only)\n";
    return 2;
  }
  const AppFolder folder = chooseAppFolder(folderInputs(options->folder, executableFolder()));
  if (!folder.error.empty()) {
    std::cerr << "quarngame-server: " << folder.error << "\n";
    return 1;
  }
  try {
    boost::asio::io_context io(1);
    server::WebServer web(io, {boost::asio::ip::tcp::v4(), options->port}, folder.path);
    boost::asio::signal_set stop(io, SIGINT, SIGTERM);
    stop.async_wait([&io](const boost::system::error_code&, int) { io.stop(); });
    std::cout << "quarngame-server: serving " << folder.path << " on port " << web.port()
              << " over plain HTTP: use it on a classroom network only" << std::endl;
    io.run();
  } catch (const std::exception& error) {
    std::cerr << "quarngame-server: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
