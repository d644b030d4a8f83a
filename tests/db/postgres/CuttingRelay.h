#pragma once

// A relay between a test's connections and the throw-away server that loses
// the answer to a COMMIT after the server has stored it, as a restart or a
// broken link does at the worst moment:
//
//   CuttingRelay relay;                      // listens on 127.0.0.1:relay.port()
//   relay.cutAfterNextCommit();              // the next COMMIT is stored, its answer lost,
//                                            // every link cut, new ones refused
//   relay.setReachable(true);                // the server is back
//
// The relay speaks TCP without TLS to the test (sslmode=disable) and reaches
// the server through its local socket, so it can see the statements.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/db/postgres/TestServer.h"

namespace quarn::testing {

class CuttingRelay {
 public:
  CuttingRelay() {
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(m_listener, 16) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      throw std::runtime_error("the relay cannot listen");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
  }
  ~CuttingRelay() {
    m_stop = true;
    m_thread.join();
    cutAll();
    close(m_listener);
  }
  CuttingRelay(const CuttingRelay&) = delete;
  CuttingRelay& operator=(const CuttingRelay&) = delete;

  int port() const { return m_port; }
  // `connection` (a keyword string for the test server over TCP) through the
  // relay.
  std::string through(const std::string& connection) const {
    std::string text = connection;
    const std::string direct = "port=" + testServerPort();
    text.replace(text.find(direct), direct.size(), "port=" + std::to_string(m_port));
    return text + " sslmode=disable";
  }
  void cutAfterNextCommit() { m_cutArmed = true; }
  void setReachable(bool reachable) { m_reachable = reachable; }
  bool cut() const { return m_cut; }

 private:
  struct Link {
    int client;
    int server;
  };

  static int connectToServer() {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = testServerDir() + "/.s.PGSQL." + testServerPort();
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(fd);
      return -1;
    }
    return fd;
  }

  static bool sendAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
      const ssize_t sent = send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      data += sent;
      size -= sent;
    }
    return true;
  }

  // Waits until the server has answered the COMMIT (its command tag), so
  // that the transaction is stored before the link is cut.
  static void awaitCommitted(int server) {
    std::string answer;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (answer.find("COMMIT") == std::string::npos && std::chrono::steady_clock::now() < until) {
      pollfd ready{server, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = recv(server, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      answer.append(buffer, static_cast<size_t>(n));
    }
  }

  void cutAll() {
    for (const Link& link : m_links) {
      close(link.client);
      close(link.server);
    }
    m_links.clear();
  }

  void accept() {
    const int client = ::accept(m_listener, nullptr, nullptr);
    if (client < 0) return;
    const int server = m_reachable ? connectToServer() : -1;
    if (server < 0) {
      close(client);
      return;
    }
    m_links.push_back({client, server});
  }

  enum class Relayed { Alive, Ended, CutAll };

  // Relays what `from` sent. A COMMIT that is to be cut reaches the server,
  // and then every link ends.
  Relayed relay(int from, int to, bool fromClient) {
    char buffer[16384];
    const ssize_t n = recv(from, buffer, sizeof buffer, 0);
    if (n <= 0) return Relayed::Ended;
    const bool commit =
        fromClient && m_cutArmed &&
        std::string(buffer, static_cast<size_t>(n)).find("COMMIT") != std::string::npos;
    if (!sendAll(to, buffer, n)) return Relayed::Ended;
    if (!commit) return Relayed::Alive;
    awaitCommitted(to);
    m_cutArmed = false;
    m_reachable = false;
    m_cut = true;
    return Relayed::CutAll;
  }

  void run() {
    while (!m_stop) {
      std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
      for (const Link& link : m_links) {
        fds.push_back({link.client, POLLIN, 0});
        fds.push_back({link.server, POLLIN, 0});
      }
      if (poll(fds.data(), fds.size(), 20) <= 0) continue;
      std::vector<Link> kept;
      bool cut = false;
      for (size_t i = 0; i < m_links.size(); ++i) {
        const Link link = m_links[i];
        Relayed outcome = Relayed::Alive;
        if (!cut && fds[1 + 2 * i].revents) outcome = relay(link.client, link.server, true);
        if (!cut && outcome == Relayed::Alive && fds[2 + 2 * i].revents) {
          outcome = relay(link.server, link.client, false);
        }
        cut = cut || outcome == Relayed::CutAll;
        if (outcome == Relayed::Ended) {
          close(link.client);
          close(link.server);
        } else {
          kept.push_back(link);
        }
      }
      m_links = kept;
      if (cut) cutAll();
      if (fds[0].revents) accept();
    }
  }

  int m_listener = -1;
  int m_port = 0;
  std::vector<Link> m_links;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_cutArmed{false};
  std::atomic<bool> m_reachable{true};
  std::atomic<bool> m_cut{false};
  std::thread m_thread;
};

}  // namespace quarn::testing
