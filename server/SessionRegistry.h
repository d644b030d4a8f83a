#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quarn::server {

class SessionHost;

// How many sessions without a page the server keeps by default. Any client
// may bring a cookie of its own making, so the sessions a page left are
// bounded: beyond this the oldest one in which nobody logged in is let go (it
// holds nothing a page could come back for); a session with a game is kept.
inline constexpr std::size_t kMaxWithoutPage = 100;

// The sessions the server holds in memory, by key: a browser's session
// token, or a key of its own for a browser that brought no cookie. The I/O
// thread claims sessions for the pages that come; the sessions drop
// themselves from their own threads.
class SessionRegistry {
 public:
  using MakeSession = std::function<std::shared_ptr<SessionHost>()>;

  explicit SessionRegistry(std::size_t maxWithoutPage = kMaxWithoutPage)
      : m_maxWithoutPage(maxWithoutPage) {}

  // The live session of `key`, made by `make` when there is none. The page
  // that comes for it counts as the session's until release(): meanwhile
  // dropUnclaimed() keeps the session.
  std::shared_ptr<SessionHost> claim(const std::string& key, const MakeSession& make);
  // A page of `session` is gone. When that leaves more sessions without a
  // page than the registry keeps, the one without a game whose page left
  // first is dropped.
  void release(const std::string& key, const SessionHost* session);
  // Drops `session` unless a page claimed it since the last one was
  // released; whether it was dropped.
  bool dropUnclaimed(const std::string& key, const SessionHost* session);
  // Drops `session` whatever pages it has (its game ended).
  void drop(const std::string& key, const SessionHost* session);
  // Drops every session (the server stops).
  void clear();

  std::size_t size() const;
  // The sessions held now.
  std::vector<std::shared_ptr<SessionHost>> sessions() const;

 private:
  struct Entry {
    std::shared_ptr<SessionHost> session;
    int pages = 0;
    uint64_t leftAt = 0;  // when its last page left, counted in departures
  };
  using Entries = std::unordered_map<std::string, Entry>;
  Entries::iterator find(const std::string& key, const SessionHost* session);
  // The session beyond the bound to let go: none while the sessions without
  // a page are within it, or when each of them holds a game.
  Entries::iterator idleBeyondBound();

  const std::size_t m_maxWithoutPage;
  mutable std::mutex m_mutex;
  Entries m_entries;
  uint64_t m_departures = 0;
};

}  // namespace quarn::server
