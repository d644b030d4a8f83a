#pragma once

// The PostgreSQL server a benchmark measures: the one QUARN_PG_BENCH_CONNECTION
// names (a lab's own), else a throw-away one (scripts/pg-test-server, whose
// path the benchmark is built with) started for the run and stopped after it.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace quarn::bench {

// What `command` printed, without its last line end; empty when it failed.
inline std::string runCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    if (pclose(pipe) != 0) output.clear();
  }
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

class ThrowAwayServer {
 public:
  // `name` tells the throw-away server's folder apart from other runs'.
  ThrowAwayServer(const std::string& testServerScript, const std::string& name)
      : m_script(testServerScript) {
    if (const char* given = std::getenv("QUARN_PG_BENCH_CONNECTION"); given && *given) {
      m_connection = given;
      return;
    }
    m_folder = "/tmp/quarn-pg-" + name + "-" + std::to_string(getpid());
    m_connection = runCommand(m_script + " start " + m_folder + " 2>&1");
    if (m_connection.rfind("postgresql://", 0) != 0) {
      std::cerr << "The throw-away server did not start: " << m_connection << "\n";
      std::exit(1);
    }
  }
  ~ThrowAwayServer() {
    if (!m_folder.empty()) runCommand(m_script + " stop " + m_folder);
  }
  ThrowAwayServer(const ThrowAwayServer&) = delete;
  ThrowAwayServer& operator=(const ThrowAwayServer&) = delete;

  // The server's connection string: the given one, or the throw-away
  // server's URI (TCP with TLS).
  const std::string& connection() const { return m_connection; }
  // The throw-away server's folder (its socket lies there); empty for a
  // given server.
  const std::string& folder() const { return m_folder; }

 private:
  std::string m_script;
  std::string m_connection;
  std::string m_folder;
};

}  // namespace quarn::bench
