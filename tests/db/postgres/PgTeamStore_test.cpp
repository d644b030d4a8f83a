#include "db/postgres/PgTeamStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

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

// A server's stores share one listening connection: a waiting member is
// woken by its own team's changes only, and a change between its last look
// and its first wait is not missed.
TEST(PgTeamStore, SharedFeedWakesTheChangedTeamsMembersOnly) {
  ServerDatabase db;
  shareServerConnections(3);
  PgStores waiting(db.connection());
  PgStores otherTeam(db.connection());
  PgStores other(db.connection());
  shareServerConnections(0);
  const TeamKey red{"Beer", "Red"};
  EXPECT_TRUE(waiting.teams().waitForChange(kBlue, milliseconds(0)));  // starts listening
  EXPECT_TRUE(otherTeam.teams().waitForChange(red, milliseconds(0)));

  bool redWoken = false;
  std::thread member([&] {
    other.teams().storeOrder(red, typed(1, 1, 4));
    redWoken = otherTeam.teams().waitForChange(red, milliseconds(5000));
    other.teams().storeOrder(kBlue, typed(1, 2, 4));
  });
  EXPECT_TRUE(waiting.teams().waitForChange(kBlue, milliseconds(5000)));
  EXPECT_EQ(waiting.teams().orders(kBlue, 1, false), (std::vector<TypedOrder>{typed(1, 2, 4)}))
      << "woken before its team's order was stored";
  member.join();
  EXPECT_TRUE(redWoken);
  EXPECT_FALSE(waiting.teams().waitForChange(kBlue, milliseconds(0)));  // nothing since
}

// A server playing many participants at once holds its shared pool's
// connections and the listening one, however many stores use them from
// however many threads.
TEST(PgTeamStore, SharedStoresHoldNoMoreConnectionsThanTheirPool) {
  ServerDatabase db;
  shareServerConnections(2);
  const std::string shared = db.connection() + " application_name=shared";
  std::vector<std::unique_ptr<PgStores>> members;
  for (int m = 0; m < 16; ++m) members.push_back(std::make_unique<PgStores>(shared));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int m = t; m < 16; m += 4) {
        const TeamKey team{"Beer", "T" + std::to_string(m / 4)};
        members[m]->teams().waitForChange(team, milliseconds(0));
        members[m]->teams().storeOrder(team, typed(1, static_cast<int16_t>(m % 4 + 1), 4));
        members[m]->teams().waitForChange(team, milliseconds(0));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  shareServerConnections(0);

  PgConnection look(db.connection());
  const PgResult connections =
      look.exec("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'shared'");
  EXPECT_LE(std::get<int64_t>(connections.rows.at(0).at(0)), 3);
  EXPECT_EQ(members[0]->teams().orders({"Beer", "T3"}, 1, false).size(), 4u);
}

// The week clock's order for a member who is gone is stored only once the
// week's time ran out by the server's clock (the week begins as the last
// order of the week before, in week 1 its first order, was stored), and
// once: the first order of the member's week counts, whoever makes it.
TEST(PgTeamStore, ClockOrderForAnotherMemberWaitsForTheWeeksTimeOnTheServersClock) {
  ServerDatabase db;
  db.insert("tblSetting", {{"Setting", "Beer"}, {"WeekSeconds", 30}});
  TeamStore& teams = db.stores().teams();
  const auto byClock = [](int16_t week, int16_t member, int32_t order) {
    return TypedOrder{1, false, week, member, order, "P" + std::to_string(member), 30000, true};
  };
  ASSERT_TRUE(teams.storeOrder(kBlue, typed(1, 1, 5)));
  EXPECT_FALSE(teams.storeClockOrder(kBlue, byClock(1, 2, 0), "P1"));
  PgConnection owner(db.connection());
  owner.exec(R"(UPDATE "datTeamOrder" SET "Stored" = "Stored" - 31)");
  EXPECT_TRUE(teams.storeClockOrder(kBlue, byClock(1, 2, 0), "P1"));
  EXPECT_FALSE(teams.storeClockOrder(kBlue, byClock(1, 2, 9), "P3")) << "another member at once";
  EXPECT_FALSE(teams.storeOrder(kBlue, typed(1, 2, 8))) << "the late member's own order";
  EXPECT_EQ(teams.orders(kBlue, 1, false),
            (std::vector<TypedOrder>{typed(1, 1, 5), byClock(1, 2, 0)}));
  EXPECT_EQ(db.count("datTeamOrder", R"("Member" = 2 AND "Clock" = 1)"), 1);

  // Week 2 began as week 1's last order was stored, a moment ago.
  ASSERT_TRUE(teams.storeOrder(kBlue, typed(2, 1, 5)));
  EXPECT_FALSE(teams.storeClockOrder(kBlue, byClock(2, 2, 0), "P1"));
  // A member's own clock order is the member's: it needs no time.
  EXPECT_TRUE(teams.storeClockOrder(kBlue, byClock(2, 2, 0), "P2"));
  EXPECT_EQ(db.count("datTeamOrder", R"("Clock" = 1)"), 2);
}

}  // namespace
}  // namespace quarn::testing
