#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quarn::server {

class SessionHost;

// The sessions the server holds in memory, by key: a browser's session
// token, or a key of its own for a browser that brought no cookie. The I/O
// thread claims sessions for the pages that come; the sessions drop
// themselves from their own threads.
class SessionRegistry {
 public:
  using MakeSession = std::function<std::shared_ptr<SessionHost>()>;

  // The live session of `key`, made by `make` when there is none. The page
  // that comes for it counts as the session's until release(): meanwhile
  // dropUnclaimed() keeps the session.
  std::shared_ptr<SessionHost> claim(const std::string& key, const MakeSession& make);
  // A page of `session` is gone.
  void release(const std::string& key, const SessionHost* session);
  // Drops `session` unless a page claimed it since the last one was
  // released; whether it was dropped.
  bool dropUnclaimed(const std::string& key, const SessionHost* session);
  // Drops `session` whatever pages it has (its game ended).
  void drop(const std::string& key, const SessionHost* session);
  // Drops every session (the server stops).
  void clear();

  std::size_t size() const;

 private:
  struct Entry {
    std::shared_ptr<SessionHost> session;
    int pages = 0;
  };
  using Entries = std::unordered_map<std::string, Entry>;
  Entries::iterator find(const std::string& key, const SessionHost* session);

  mutable std::mutex m_mutex;
  Entries m_entries;
};

}  // namespace quarn::server
