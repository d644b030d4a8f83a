#include "db/postgres/PgConnectionPool.h"

#include <algorithm>

#include "base/Numbers.h"

namespace quarn {

PgConnectionPool::Lease::~Lease() {
  if (m_connection) m_pool->giveBack(std::move(m_connection));
}

void PgConnectionPool::giveBack(std::unique_ptr<PgConnection> connection) {
  {
    const std::lock_guard lock(m_mutex);
    --m_leased;
    if (!connection->broken() && !connection->inTransaction()) {
      m_idle.push_back(std::move(connection));
    } else {
      forget(connection.get());
    }
  }
  m_returned.notify_one();
}

PgConnectionPool::Lease PgConnectionPool::lease() {
  std::unique_lock lock(m_mutex);
  return leaseLocked(lock);
}

PgConnectionPool::Lease PgConnectionPool::leaseLocked(std::unique_lock<std::mutex>& lock) {
  const auto free = [&] { return !m_idle.empty() || m_limit == 0 || m_leased < m_limit; };
  if (!m_returned.wait_for(lock, kLeaseWait, free)) {
    throw PgError(PgErrorKind::ConnectionFailure, "",
                  "All " + decimal(static_cast<int64_t>(m_limit)) +
                      " connections to the database server are busy");
  }
  ++m_leased;
  if (!m_idle.empty()) {
    std::unique_ptr<PgConnection> connection = std::move(m_idle.back());
    m_idle.pop_back();
    return Lease(*this, std::move(connection), true);
  }
  // Connecting takes a round trip or more: the others' uses go on meanwhile.
  const std::function<std::string()> connectionString = m_connectionString;
  lock.unlock();
  try {
    auto connection = std::make_unique<PgConnection>(connectionString());
    lock.lock();
    return Lease(*this, std::move(connection), false);
  } catch (...) {
    lock.lock();
    --m_leased;
    m_returned.notify_one();
    throw;
  }
}

PgConnectionPool::Lease PgConnectionPool::listening(const std::string& channel, bool& fresh) {
  Lease db = takeListener();
  const std::lock_guard lock(m_mutex);
  fresh = &*db != m_listening || m_channel != channel;
  if (!fresh) return db;
  // A connection listens to one channel at a time.
  if (&*db == m_listening) db->exec("UNLISTEN *");
  forget(m_listening);
  db->exec("LISTEN " + channel);
  m_listening = &*db;
  m_channel = channel;
  return db;
}

// The idle connection that listens, else any other.
PgConnectionPool::Lease PgConnectionPool::takeListener() {
  std::unique_lock lock(m_mutex);
  const auto listener = std::find_if(m_idle.begin(), m_idle.end(), [&](const auto& connection) {
    return connection.get() == m_listening;
  });
  if (listener == m_idle.end()) return leaseLocked(lock);
  std::unique_ptr<PgConnection> connection = std::move(*listener);
  m_idle.erase(listener);
  ++m_leased;
  return Lease(*this, std::move(connection), true);
}

std::string PgConnectionPool::connectionString() const {
  std::function<std::string()> connectionString;
  {
    const std::lock_guard lock(m_mutex);
    connectionString = m_connectionString;
  }
  return connectionString();
}

void PgConnectionPool::reset(std::function<std::string()> connectionString) {
  const std::lock_guard lock(m_mutex);
  m_connectionString = std::move(connectionString);
  m_idle.clear();
  forget(m_listening);
}

void PgConnectionPool::dropIdle() {
  const std::lock_guard lock(m_mutex);
  m_idle.clear();
  forget(m_listening);
}

void PgConnectionPool::forget(const PgConnection* connection) {
  if (connection && connection == m_listening) {
    m_listening = nullptr;
    m_channel.clear();
  }
}

}  // namespace quarn
