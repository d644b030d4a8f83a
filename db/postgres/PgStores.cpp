#include "db/postgres/PgStores.h"

#include <map>
#include <mutex>

#include "db/ConnectionSecrets.h"
#include "db/postgres/PgSchema.h"

namespace quarn {

namespace {

struct SharedConnections {
  std::mutex mutex;
  std::size_t limit = 0;
  std::map<std::string, PgConnections> byServer;
};

SharedConnections& sharedConnections() {
  static SharedConnections shared;
  return shared;
}

PgConnections connectionsFor(std::function<std::string()> connectionString) {
  SharedConnections& shared = sharedConnections();
  const std::lock_guard lock(shared.mutex);
  if (shared.limit == 0) {
    return {std::make_shared<PgConnectionPool>(std::move(connectionString)), nullptr};
  }
  const std::string server = connectionString();
  PgConnections& connections = shared.byServer[server];
  if (!connections.pool) {
    const auto fixed = [server] { return server; };
    connections = {std::make_shared<PgConnectionPool>(fixed, shared.limit),
                   std::make_shared<PgTeamFeed>(fixed)};
  }
  return connections;
}

}  // namespace

void shareServerConnections(std::size_t limit) {
  SharedConnections& shared = sharedConnections();
  const std::lock_guard lock(shared.mutex);
  shared.limit = limit;
  shared.byServer.clear();
}

PgStores::PgStores(std::string location, std::function<std::string()> connectionString)
    : m_location(redactConnectionString(location)),
      m_connections(connectionsFor(std::move(connectionString))) {}

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
