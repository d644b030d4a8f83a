#pragma once

#include <functional>
#include <string>

#include "db/ActivityMonitor.h"
#include "db/SqlPlanStore.h"
#include "db/Stores.h"
#include "db/postgres/PgClassStore.h"
#include "db/postgres/PgConnectionPool.h"
#include "db/postgres/PgParticipantStore.h"
#include "db/postgres/PgReads.h"
#include "db/postgres/PgResultStore.h"
#include "db/postgres/PgTeamStore.h"

namespace quarn {

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
  // Another server: `location` is its connection string.
  void setLocation(const std::string& location) override;
  std::optional<SchemaUpgrade> upgradeSchema() override;
  // The server takes a connection.
  std::function<bool()> answerCheck() const override;

 private:
  std::string m_location;
  PgConnectionPool m_pool;
  PgReads m_reads{m_pool};
  SqlPlanStore m_plan{m_reads};
  PgParticipantStore m_participants{m_pool};
  PgResultStore m_results{m_pool};
  PgTeamStore m_teams{m_pool};
  PgClassStore m_classes{m_pool};
  SqlActivityMonitor m_monitor{m_reads};
};

}  // namespace quarn
