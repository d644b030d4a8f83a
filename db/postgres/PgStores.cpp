#include "db/postgres/PgStores.h"

#include "db/ConnectionSecrets.h"
#include "db/postgres/PgSchema.h"

namespace quarn {

PgStores::PgStores(std::string location, std::function<std::string()> connectionString)
    : m_location(redactConnectionString(location)), m_pool(std::move(connectionString)) {}

PgStores::PgStores(const std::string& connectionString)
    : PgStores(connectionString, [connectionString] { return connectionString; }) {}

void PgStores::setLocation(const std::string& location) {
  m_location = redactConnectionString(location);
  m_pool.reset([location] { return location; });
}

std::function<bool()> PgStores::answerCheck() const {
  return [connection = m_pool.connectionString()] {
    try {
      PgConnection probe(connection);
      return true;
    } catch (const QuarnError&) {
      return false;
    }
  };
}

std::optional<SchemaUpgrade> PgStores::upgradeSchema() {
  return upgradeServer(*m_pool.lease());
}

}  // namespace quarn
