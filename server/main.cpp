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
#include "base/Version.h"
#include "db/DatabaseChoice.h"
#include "db/postgres/PgStores.h"
#include "db/sqlcipher/CommitGroup.h"
#include "db/sqlcipher/ConnectionPool.h"
#include "server/WebServer.h"

namespace {

struct ServerOptions {
  std::string folder;
  uint16_t port = 8080;
  std::optional<unsigned> threads;  // else as the database suits
  std::optional<std::string> certificate;
  std::optional<std::string> key;
  bool plainHttp = false;
  bool help = false;
  bool version = false;
};

constexpr unsigned kMaxThreads = 256;

// A session holds its game thread while it waits for the database. The
// lab server commits many sessions' weeks at once, so more threads let
// their waits overlap (100 teams of 4 on a busy machine: p99 103 ms with 8
// threads, 737 ms with 2). The file commits the writes of all sessions
// waiting at once in one synced commit (groupFileCommits), so a group is
// as large as the threads blocked in writes: 100 teams of 4 on the file
// gave p99 301 ms with 128 threads (12 writes a commit), 528 with 64 and
// 842 with 32 on a loaded 2-core machine, against 13.6 s with 2 threads
// and a commit for each write. A waiting thread costs its stack.
unsigned defaultThreads(const std::string& appFolder) {
  try {
    // The sessions' choice: the lab server when the folder's quarn.conf
    // names one, else the database file.
    const quarn::DatabaseChoice choice =
        quarn::chooseDatabase(appFolder + "/data", quarn::kDefaultDatabaseFile);
    return choice.engine == quarn::DatabaseEngine::Server ? 8 : 128;
  } catch (const quarn::QuarnError&) {
    return 128;  // the sessions say what is wrong with the settings
  }
}

const char* const kUsage =
    "Usage: quarngame-server [--folder DIR] [--port N] [--threads N]\n"
    "                        [--cert FILE --key FILE | --plain-http]\n";

// The whole help, which the man page is made from: the options, where the
// guides are, and the folder rule with the folder it chooses now.
std::string serverHelp(const quarn::AppFolder& folder) {
  return std::string(kUsage) +
         "Serves the participant's page to browsers and plays each participant's game, as a\n"
         "workstation does, in the application folder.\n"
         "\n"
         "  --folder DIR       the application folder, holding data/ (the experiment database\n"
         "                     quarn.mdb, or quarn.conf naming the lab server, and the\n"
         "                     participants' text files) and Input/ (demand files)\n"
         "  --port N           the port the page is served at (8080 unless told)\n"
         "  --threads N        the game threads the participants' sessions play on (128\n"
         "                     with the database file, 8 with the lab server; at most 256)\n"
         "  --cert FILE        the server's certificate (PEM, with its chain): the page is\n"
         "                     served at https://<this computer>:N/\n"
         "  --key FILE         the certificate's private key (PEM)\n"
         "  --plain-http       serve without encryption, at http://<this computer>:N/: for a\n"
         "                     classroom network only\n"
         "  --version          show the version\n"
         "  --help             show this text\n"
         "\n"
         "Either --cert and --key or --plain-http is needed.\n"
         "\n"
         "Guides: " +
         std::string(quarn::kGuideFolder) +
         " (class-guide.md: a class in the browser; lab-guide.md,\n"
         "lab-server-guide.md, results-guide.md)\n"
         "\n"
         "The application folder is the first of:\n" +
         quarn::folderRuleText("  ") + "\nFolder in use: " + quarn::describeFolder(folder) + "\n";
}

const char* const kNoTransport =
    "quarngame-server: give the lab's certificate with --cert FILE --key FILE, or\n"
    "start it with --plain-http (without encryption, a classroom network only)\n";

std::optional<unsigned> numberOf(const std::string& text, unsigned low, unsigned high) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<ServerOptions> readOptions(const std::vector<std::string>& words) {
  ServerOptions options;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    const bool hasValue = i + 1 < words.size();
    if (word == "--folder" && hasValue) {
      options.folder = words[++i];
    } else if (word == "--port" && hasValue) {
      const auto port = numberOf(words[++i], 0, 65535);
      if (!port) return std::nullopt;
      options.port = static_cast<uint16_t>(*port);
    } else if (word == "--threads" && hasValue) {
      const auto threads = numberOf(words[++i], 1, kMaxThreads);
      if (!threads) return std::nullopt;
      options.threads = *threads;
    } else if (word == "--cert" && hasValue) {
      options.certificate = words[++i];
    } else if (word == "--key" && hasValue) {
      options.key = words[++i];
    } else if (word == "--plain-http") {
      options.plainHttp = true;
    } else if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--version") {
      options.version = true;
    } else {
      return std::nullopt;
    }
  }
  // A certificate comes with its key; encryption and plain HTTP exclude each
  // other.
  if (options.certificate.has_value() != options.key.has_value()) return std::nullopt;
  if (options.certificate && options.plainHttp) return std::nullopt;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quarn;
  const auto options = readOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    std::cerr << kUsage << "quarngame-server --help lists the options.\n";
    return 2;
  }
  if (options->version) {
    std::cout << "quarngame-server " << quarnVersion() << "\n";
    return 0;
  }
  const AppFolder folder = chooseAppFolder(folderInputs(options->folder, executableFolder()));
  if (options->help) {
    std::cout << serverHelp(folder);
    return 0;
  }
  if (!options->certificate && !options->plainHttp) {
    std::cerr << kNoTransport;
    return 2;
  }
  if (!folder.error.empty()) {
    std::cerr << "quarngame-server: " << folder.error << "\n";
    return 1;
  }
  server::WebServerOptions serving;
  serving.threads = options->threads.value_or(defaultThreads(folder.path));
  // Every session's move uses the database file: the server keeps its
  // connections open between uses (one a game thread, and one more for
  // the connection thread's logins) instead of opening the file each time.
  quarn::keepIdleConnections(serving.threads + 1);
  // On a lab server, all sessions share a few connections (and one that
  // listens for their teams' changes), so that a class of hundreds stays
  // far below the server's connection limit.
  quarn::shareServerConnections(serving.threads + 2);
  // The sessions' writes to the database file share synced commits: the
  // disk's syncs, not the file's lock, would bound a class otherwise.
  quarn::groupFileCommits(true);
  if (options->certificate) serving.tls = server::TlsFiles{*options->certificate, *options->key};
  try {
    boost::asio::io_context io(1);
    server::WebServer web(io, {boost::asio::ip::tcp::v4(), options->port}, folder.path, serving);
    boost::asio::signal_set stop(io, SIGINT, SIGTERM);
    stop.async_wait([&io](const boost::system::error_code&, int) { io.stop(); });
    std::cout << "quarngame-server: serving " << folder.path << " on port " << web.port();
    if (serving.tls) {
      std::cout << " over HTTPS" << std::endl;
    } else {
      std::cout << " over plain HTTP: use it on a classroom network only" << std::endl;
    }
    io.run();
    if (const GroupCounts counts = groupCounts(); counts.commits > 0) {
      std::cout << "quarngame-server: " << counts.writes << " writes to the database file in "
                << counts.commits << " commits" << std::endl;
    }
  } catch (const std::exception& error) {
    std::cerr << "quarngame-server: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
