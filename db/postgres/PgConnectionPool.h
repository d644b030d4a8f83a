#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "db/postgres/PgConnection.h"
#include "db/postgres/PgError.h"

namespace quarn {

// The connections of one workstation to its server: made when a use needs
// one, kept for the next use, and dropped when they broke, so that the use
// after a lost connection connects anew. One connection serves one use at a
// time (a read, or a transaction from its start to its end).
//
// A workstation's pool serves one thread and makes as many connections as
// its uses need at once (one, but for a wait beside a use). A process that
// plays many participants at once (the browsers' server) shares one pool
// among them from all its threads, bounded by `limit`: a use that finds
// every connection leased waits for one to come back, so that the server's
// connection count is the pool's, not the number of participants.
class PgConnectionPool {
 public:
  // `connectionString` is asked for every connection made, so that a
  // settings file corrected in the meantime counts at the next try.
  // `limit` 0 leaves the number of connections unbounded.
  explicit PgConnectionPool(std::function<std::string()> connectionString, std::size_t limit = 0)
      : m_connectionString(std::move(connectionString)), m_limit(limit) {}

  // How long a use waits for a leased connection of a bounded pool before
  // it fails as a lost server would (and so is tried again).
  static constexpr std::chrono::seconds kLeaseWait{30};

  // A connection for one use, given back at its end unless it broke or was
  // left inside a transaction.
  class Lease {
   public:
    Lease(PgConnectionPool& pool, std::unique_ptr<PgConnection> connection, bool kept)
        : m_pool(&pool), m_connection(std::move(connection)), m_kept(kept) {}
    ~Lease();
    Lease(Lease&& other) noexcept = default;
    Lease& operator=(Lease&&) = delete;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    PgConnection& operator*() const { return *m_connection; }
    PgConnection* operator->() const { return m_connection.get(); }
    // Whether the connection was kept from an earlier use (and so may have
    // been lost in the meantime without anybody noticing).
    bool kept() const { return m_kept; }

   private:
    PgConnectionPool* m_pool;
    std::unique_ptr<PgConnection> m_connection;
    bool m_kept;
  };

  // Raises the connection's failure when no idle connection is left and a
  // new one cannot be made, and a ConnectionFailure when a bounded pool had
  // none free for kLeaseWait.
  Lease lease();
  // The connection that listens to `channel` (LISTEN): the idle one that
  // listens to it already, else an idle or new one that listens from now on
  // (`fresh`). Between waits it serves reads and writes like any other:
  // the server's notifications wait in it until the next wait takes them,
  // and a workstation keeps one connection to its server, not two.
  Lease listening(const std::string& channel, bool& fresh);
  // Runs `use` on a leased connection. When a kept connection turns out to
  // be lost (the server restarted since its last use), the idle ones are
  // dropped and `use` runs once more on a new connection: for uses that a
  // lost connection leaves undone (a read, a whole transaction), so that a
  // use after an outage does not fail on one stale connection after another.
  template <class Use>
  auto run(Use&& use) -> decltype(use(std::declval<PgConnection&>())) {
    for (;;) {
      const Lease db = lease();
      try {
        return use(*db);
      } catch (const PgError& failure) {
        if (failure.pgKind() != PgErrorKind::ConnectionFailure || !db.kept()) throw;
        dropIdle();
      }
    }
  }

  // The connection string a new connection would use now.
  std::string connectionString() const;
  // Drops the idle connections; the next use connects with `connectionString`.
  void reset(std::function<std::string()> connectionString);
  // Drops the idle connections: after one was found lost, the others
  // (a restarted server, a broken network link) most likely are too.
  void dropIdle();

 private:
  Lease takeListener();
  Lease leaseLocked(std::unique_lock<std::mutex>& lock);
  void giveBack(std::unique_ptr<PgConnection> connection);
  void forget(const PgConnection* connection);

  mutable std::mutex m_mutex;
  std::condition_variable m_returned;
  std::function<std::string()> m_connectionString;
  std::size_t m_limit;
  std::size_t m_leased = 0;  // connections out of the pool now
  std::vector<std::unique_ptr<PgConnection>> m_idle;
  const PgConnection* m_listening = nullptr;  // the connection that listens, if any
  std::string m_channel;                      // and to what
};

}  // namespace quarn
