#include "db/postgres/PgStores.h"

#include <gtest/gtest.h>

#include "db/DbError.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

// Stores of their own on the test's tables, named so that their
// connections can be found on the server.
struct NamedStores {
  explicit NamedStores(const ServerDatabase& db)
      : name("quarn_lost_" + std::to_string(getpid())),
        stores(db.connection() + " application_name=" + name) {}

  // What a restarted server or a broken network link does to them.
  void loseConnections() {
    PgConnection admin(testServerUri());
    admin.exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = $1",
               {name});
  }

  std::string name;
  PgStores stores;
};

TEST(PgStores, ReadAfterLostConnectionsConnectsAnew) {
  ServerDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}});
  NamedStores named(db);
  ASSERT_EQ(named.stores.plan().settings(), std::vector<std::string>{"A"});
  named.loseConnections();
  EXPECT_EQ(named.stores.plan().settings(), std::vector<std::string>{"A"});
}

// The week's rows are written again into a new transaction on a new
// connection, each once.
TEST(PgStores, WeekWriteAfterLostConnectionIsStoredOnceByTheNextTry) {
  ServerDatabase db;
  NamedStores named(db);
  auto writer = named.stores.results().openWeekRows();
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.week = 1;
  row.role = "Factory";
  writer->insert(row);
  named.loseConnections();
  row.role = "Retailer";
  EXPECT_THROW(writer->insert(row), DbError);
  writer->insert(row);
  writer->commit();
  EXPECT_EQ(db.count("datRole"), 2);
}

}  // namespace
}  // namespace quarn::testing
