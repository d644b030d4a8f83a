#pragma once

// What the server benchmarks share to run real quarngame-server processes:
// a server on a free port of its own (over plain HTTP) with its processor
// time and memory read from /proc, and the demo's application folder, on
// its database file or moved onto a PostgreSQL server.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/server/BrowserFigures.h"
#include "db/postgres/PgConnection.h"

namespace quarn::bench {

std::string readText(const std::string& path);

// A port no one listens on now, for a server to take.
uint16_t freePort();

ProcessUse useOf(pid_t pid);

// How a server is started: the program (another build's, to compare) and
// its `--threads` (empty: the server's own choice).
struct ServerStart {
  std::string program;
  std::string threads;
};

// One quarngame-server process on a port of its own, over plain HTTP. A
// server that does not start within 20 seconds ends the benchmark, its log
// printed.
class ServerProcess {
 public:
  ServerProcess(const ServerStart& start, const std::filesystem::path& appFolder,
                const std::filesystem::path& logFile);
  ~ServerProcess() { stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  uint16_t port() const { return m_port; }
  // Its use once it serves nothing yet.
  const ProcessUse& idle() const { return m_idle; }
  ProcessUse now() const { return useOf(m_pid); }
  const std::filesystem::path& log() const { return m_log; }
  void stop();

 private:
  uint16_t m_port;
  std::filesystem::path m_log;
  pid_t m_pid = 0;
  ProcessUse m_idle;
};

// The demo, made by the admin tool `tool`, in <folder>/app: data/quarn.mdb
// and Input/. Returns the data folder.
std::filesystem::path makeDemo(const std::string& tool, const std::filesystem::path& folder);

// The demo's data folder moved onto a PostgreSQL server, in a schema of its
// own (dropped first if a run before left it, and again when this ends):
// its quarn.conf names the schema, the tables are made and the demo's file
// copied onto them, and the file renamed so that servers play on PostgreSQL
// only.
class DemoOnServer {
 public:
  DemoOnServer(const std::string& tool, const std::string& connection,
               const std::filesystem::path& dataDir, std::string schema);
  ~DemoOnServer();
  DemoOnServer(const DemoOnServer&) = delete;
  DemoOnServer& operator=(const DemoOnServer&) = delete;

 private:
  PgConnection m_owner;
  std::string m_schema;
};

}  // namespace quarn::bench
