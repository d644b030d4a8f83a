#include "db/postgres/PgConnectionPool.h"

#include <algorithm>

namespace quarn {

PgConnectionPool::Lease::~Lease() {
  if (!m_connection) return;
  if (!m_connection->broken() && !m_connection->inTransaction()) {
    m_pool->m_idle.push_back(std::move(m_connection));
  } else {
    m_pool->forget(m_connection.get());
  }
}

PgConnectionPool::Lease PgConnectionPool::lease() {
  if (m_idle.empty()) {
    return Lease(*this, std::make_unique<PgConnection>(m_connectionString()), false);
  }
  std::unique_ptr<PgConnection> connection = std::move(m_idle.back());
  m_idle.pop_back();
  return Lease(*this, std::move(connection), true);
}

PgConnectionPool::Lease PgConnectionPool::listening(const std::string& channel, bool& fresh) {
  Lease db = takeListener();
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
  const auto listener = std::find_if(m_idle.begin(), m_idle.end(), [&](const auto& connection) {
    return connection.get() == m_listening;
  });
  if (listener == m_idle.end()) return lease();
  std::unique_ptr<PgConnection> connection = std::move(*listener);
  m_idle.erase(listener);
  return Lease(*this, std::move(connection), true);
}

void PgConnectionPool::reset(std::function<std::string()> connectionString) {
  m_connectionString = std::move(connectionString);
  dropIdle();
}

void PgConnectionPool::dropIdle() {
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
