#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "db/ActivityMonitor.h"
#include "db/SqlPlanStore.h"
#include "db/Stores.h"
#include "db/postgres/PgClassStore.h"
#include "db/postgres/PgConnectionPool.h"
#include "db/postgres/PgParticipantStore.h"
#include "db/postgres/PgReads.h"
#include "db/postgres/PgResultStore.h"
#include "db/postgres/PgTeamFeed.h"
#include "db/postgres/PgTeamStore.h"

namespace quarn {

// The connections the stores use: a pool, and the team changes' feed when
// one listening connection serves all the stores of a process.
struct PgConnections {
  std::shared_ptr<PgConnectionPool> pool;
  std::shared_ptr<PgTeamFeed> feed;  // none: each store listens on its own pool
};

// From now on the stores this process opens on one server (the same
// connection string) share a pool of at most `limit` connections and one
// connection that listens for team changes: a process that plays hundreds
// of participants at once holds a handful of connections, not hundreds.
// 0 (the default) gives every stores its own connections, as a workstation
// has.
void shareServerConnections(std::size_t limit);

// The three stores on a PostgreSQL server. Nothing connects before the
// first use; a use that fails to connect, or whose connection broke, raises
// its failure, and the next use connects anew.
class PgStores final : public Stores {
 public:
  // `location` names the server in messages; `connectionString` gives the
  // connection URI or keyword string each time a connection is made.
  PgStores(std::string location, std::function<std::string()> connectionString);
  // A connection string that is its own location.
  explicit PgStores(const std::string& connectionString);

  PlanStore& plan() override { return m_plan; }
  ParticipantStore& participants() override { return m_participants; }
  ResultStore& results() override { return m_results; }
  TeamStore& teams() override { return m_teams; }
  ClassStore& classes() override { return m_classes; }
  ActivityMonitor& monitor() { return m_monitor; }
  std::string location() const override { return m_location; }
  // Another server: `location` is its connection string. Stores that share
  // their connections move with them.
  void setLocation(const std::string& location) override;
  std::optional<SchemaUpgrade> upgradeSchema() override;
  // The server takes a connection.
  std::function<bool()> answerCheck() const override;

 private:
  std::string m_location;
  PgConnections m_connections;
  PgConnectionPool& m_pool = *m_connections.pool;
  PgReads m_reads{m_pool};
  SqlPlanStore m_plan{m_reads};
  PgParticipantStore m_participants{m_pool};
  PgResultStore m_results{m_pool};
  PgTeamStore m_teams{m_pool, m_connections.feed};
  PgClassStore m_classes{m_pool};
  SqlActivityMonitor m_monitor{m_reads};
};

}  // namespace quarn
