#include "db/postgres/PgTeamStore.h"

#include <gtest/gtest.h>

#include <chrono>

#include "db/postgres/PgStores.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

using std::chrono::milliseconds;

// What the server's team store does beyond the store of either engine
// (tests/db/TeamStore_test.cpp).

const TeamKey kBlue{"Beer", "Blue"};

TypedOrder typed(int16_t week, int16_t member, int32_t order) {
  return {1, false, week, member, order, "P" + std::to_string(member), 1500};
}

// A waiting member's workstation keeps one connection to the server: the
// one it waits on serves its reads and writes between the waits, and a
// change told meanwhile still wakes the next wait.
TEST(PgTeamStore, WaitsReadsAndWritesShareOneConnection) {
  ServerDatabase db;
  PgStores waiting(db.connection() + " application_name=waiting");
  PgStores other(db.connection());
  EXPECT_TRUE(waiting.teams().waitForChange(kBlue, milliseconds(0)));
  other.teams().storeOrder(kBlue, typed(1, 2, 4));
  EXPECT_TRUE(waiting.teams().storeOrder(kBlue, typed(1, 1, 4)));
  EXPECT_EQ(waiting.teams().orders(kBlue, 1, false).size(), 2u);
  EXPECT_TRUE(waiting.teams().waitForChange(kBlue, milliseconds(5000)));

  PgConnection look(db.connection());
  const PgResult connections =
      look.exec("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'waiting'");
  EXPECT_EQ(std::get<int64_t>(connections.rows.at(0).at(0)), 1);
}

// Orders are dated by the server's clock, which every workstation shares.
TEST(PgTeamStore, StoredOrdersCarryTheServersTime) {
  ServerDatabase db;
  db.stores().teams().storeOrder(kBlue, typed(1, 1, 5));
  EXPECT_EQ(db.count("datTeamOrder", R"(abs("Stored" - extract(epoch from now())) < 60)"), 1);
}

}  // namespace
}  // namespace quarn::testing
