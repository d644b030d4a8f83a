#include "db/postgres/PgStores.h"

namespace quarn {

PgStores::PgStores(std::string location, std::function<std::string()> connectionString)
    : m_location(std::move(location)), m_pool(std::move(connectionString)) {}

PgStores::PgStores(const std::string& connectionString)
    : PgStores(connectionString, [connectionString] { return connectionString; }) {}

void PgStores::setLocation(const std::string& location) {
  m_location = location;
  m_pool.reset([location] { return location; });
}

}  // namespace quarn
