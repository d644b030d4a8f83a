#include "db/postgres/PgConnectionPool.h"

namespace quarn {

PgConnectionPool::Lease::~Lease() {
  if (m_connection && !m_connection->broken() && !m_connection->inTransaction()) {
    m_pool->m_idle.push_back(std::move(m_connection));
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

void PgConnectionPool::reset(std::function<std::string()> connectionString) {
  m_connectionString = std::move(connectionString);
  m_idle.clear();
}

}  // namespace quarn
