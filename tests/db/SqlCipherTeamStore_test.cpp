#include "db/sqlcipher/SqlCipherTeamStore.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "db/DbError.h"
#include "db/PlayingMark.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {
namespace {

const TeamKey kBlue{"A", "Blue"};

bool keepAny(const PlayingMark&, std::optional<int64_t>) {
  return true;
}

// The file has no roles: a workstation's secret is what tells its
// participant's rows from another's, checked in the write's transaction as
// the server's team functions check it, with the same words.
TEST(SqlCipherTeamStore, WritesTeamRowsOnlyForAMemberWhoseMarkTheWorkstationHolds) {
  TestDatabase db;
  Stores& station = db.stores;
  TeamStore& teams = station.teams();
  const PlayingMark mine{"P1", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  const PlayingMark other{"P2", "A", {"lab-2", 2}, 0, 0, {}, "secret-2"};
  ASSERT_FALSE(station.participants().markPlaying(mine, keepAny));
  ASSERT_FALSE(station.participants().markPlaying(other, keepAny));
  ASSERT_EQ(teams.join(kBlue, "P1", 3, mine.token).member, 1);
  ASSERT_EQ(teams.join(kBlue, "P2", 3, other.token).member, 2);

  const struct {
    const char* what;
    std::function<void()> write;
    const char* refusal;
  } cases[] = {
      {"P2's order with P1's secret",
       [&] {
         teams.storeOrder(kBlue, {1, false, 1, 2, 40, "P2", 0}, mine.token);
       },
       "This workstation does not hold the mark of P2"},
      {"P2's order with a guessed secret",
       [&] {
         teams.storeOrder(kBlue, {1, false, 1, 2, 40, "P2", 0}, "guessed");
       },
       "This workstation does not hold the mark of P2"},
      {"P1 ordering as member 2",
       [&] {
         teams.storeOrder(kBlue, {1, false, 1, 2, 40, "P1", 0}, mine.token);
       },
       "P1 is not member 2 of team Blue of setting A"},
      {"P2's trial row with P1's secret",
       [&] {
         teams.recordMember(kBlue, {1, 2, "Factory", "P2", "", 0}, mine.token);
       },
       "This workstation does not hold the mark of P2"},
      {"a participant without a mark filling the team",
       [&] { teams.join(kBlue, "Filler", 3, mine.token); },
       "This workstation does not hold the mark of Filler"},
  };
  for (const auto& c : cases) {
    try {
      c.write();
      ADD_FAILURE() << c.what << " was written";
    } catch (const DbError& refusal) {
      EXPECT_EQ(refusal.description(), c.refusal) << c.what;
    }
  }
  EXPECT_EQ(db.count("datTeamOrder"), 0);
  EXPECT_EQ(db.count("datTeam"), 0);
  EXPECT_EQ(db.count("datTeamMember"), 2);
  EXPECT_TRUE(teams.storeOrder(kBlue, {1, false, 1, 2, 6, "P2", 900}, other.token));
  EXPECT_EQ(db.count("datTeamOrder", R"("Member" = 2 AND "Order" = 6)"), 1);
}

// Orders are dated by the writing computer's clock.
TEST(SqlCipherTeamStore, StoredOrdersCarryTheTimeTheyWereStored) {
  TestDatabase db;
  db.stores.teams().storeOrder(kBlue, {1, false, 1, 1, 5, "P1", 900});
  EXPECT_EQ(db.count("datTeamOrder", R"(abs("Stored" - strftime('%s', 'now')) < 60)"), 1);
}

// The week clock's order for a member who is gone is stored only once the
// week's time ran out (the week begins as the last order of the week
// before, in week 1 its first order, was stored), and once.
TEST(SqlCipherTeamStore, ClockOrderForAnotherMemberWaitsForTheWeeksTime) {
  TestDatabase db;
  db.insert("tblSetting", {{"Setting", "A"}, {"WeekSeconds", 30}});
  TeamStore& teams = db.stores.teams();
  const auto order = [](int16_t week, int16_t member, int32_t amount, bool byClock) {
    return TypedOrder{1, false, week, member, amount, "P" + std::to_string(member), 0, byClock};
  };
  ASSERT_TRUE(teams.storeOrder(kBlue, order(1, 1, 5, false)));
  EXPECT_FALSE(teams.storeClockOrder(kBlue, order(1, 2, 0, true), "P1", ""));
  db.exec(R"(UPDATE "datTeamOrder" SET "Stored" = "Stored" - 31;)");
  EXPECT_TRUE(teams.storeClockOrder(kBlue, order(1, 2, 0, true), "P1", ""));
  EXPECT_FALSE(teams.storeClockOrder(kBlue, order(1, 2, 9, true), "P3", "")) << "at once again";
  EXPECT_FALSE(teams.storeOrder(kBlue, order(1, 2, 8, false))) << "the late member's own order";
  EXPECT_EQ(db.count("datTeamOrder", R"("Member" = 2 AND "Clock" = 1)"), 1);
  // Week 2 began as week 1's last order was stored, a moment ago.
  ASSERT_TRUE(teams.storeOrder(kBlue, order(2, 1, 5, false)));
  EXPECT_FALSE(teams.storeClockOrder(kBlue, order(2, 2, 0, true), "P1", ""));
  EXPECT_TRUE(teams.storeClockOrder(kBlue, order(2, 2, 0, true), "P2", "")) << "its own";
}

}  // namespace
}  // namespace quarn::testing
