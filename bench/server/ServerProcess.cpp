#include "bench/server/ServerProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>
#include <vector>

#include "bench/db/PilotRuns.h"

namespace quarn::bench {

namespace asio = boost::asio;
namespace fs = std::filesystem;

std::string readText(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint16_t freePort() {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  return acceptor.local_endpoint().port();
}

namespace {

bool accepts(uint16_t port) {
  asio::io_context io;
  asio::ip::tcp::socket socket(io);
  boost::system::error_code error;
  socket.connect({asio::ip::make_address("127.0.0.1"), port}, error);
  return !error;
}

}  // namespace

ProcessUse useOf(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  const std::string status = readText(proc + "/status");
  return {cpuSecondsOfStat(readText(proc + "/stat"), sysconf(_SC_CLK_TCK)).value_or(0),
          kbOfStatus(status, "VmRSS").value_or(0), kbOfStatus(status, "VmHWM").value_or(0)};
}

ServerProcess::ServerProcess(const ServerStart& start, const fs::path& appFolder,
                             const fs::path& logFile)
    : m_port(freePort()), m_log(logFile) {
  std::vector<std::string> args = {start.program,          "--folder",
                                   appFolder.string(),     "--port",
                                   std::to_string(m_port), "--plain-http"};
  if (!start.threads.empty()) args.insert(args.end(), {"--threads", start.threads});
  m_pid = startProcess(std::move(args), logFile.string());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!accepts(m_port)) {
    if (std::chrono::steady_clock::now() > deadline || ::waitpid(m_pid, nullptr, WNOHANG) != 0) {
      std::cerr << "quarngame-server did not start (its log: " << logFile.string() << "):\n"
                << readText(logFile.string());
      std::exit(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  m_idle = useOf(m_pid);
}

void ServerProcess::stop() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = 0;
}

fs::path makeDemo(const std::string& tool, const fs::path& folder) {
  const fs::path dataDir = folder / "app" / "data";
  runOrFail(shellQuoted(tool) + " demo " + shellQuoted(dataDir.string()));
  return dataDir;
}

DemoOnServer::DemoOnServer(const std::string& tool, const std::string& connection,
                           const fs::path& dataDir, std::string schema)
    : m_owner(connection), m_schema(std::move(schema)) {
  m_owner.exec("SET client_min_messages TO warning");
  m_owner.exec("DROP SCHEMA IF EXISTS " + m_schema + " CASCADE");
  m_owner.exec("CREATE SCHEMA " + m_schema);
  std::ofstream(dataDir / "quarn.conf") << inSchema(connection, m_schema) << "\n";
  runOrFail(shellQuoted(tool) + " create " + shellQuoted(dataDir.string()));
  runOrFail(shellQuoted(tool) + " copy " + shellQuoted((dataDir / "quarn.mdb").string()) + " " +
            shellQuoted(dataDir.string()));
  fs::rename(dataDir / "quarn.mdb", dataDir / "demo.mdb");
}

DemoOnServer::~DemoOnServer() {
  try {
    m_owner.exec("DROP SCHEMA " + m_schema + " CASCADE");
  } catch (const std::exception& error) {
    std::cerr << "the schema " << m_schema << " was not dropped: " << error.what() << "\n";
  }
}

}  // namespace quarn::bench
