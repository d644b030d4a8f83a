#include "db/TeamStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "db/DbError.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

using std::chrono::milliseconds;

const TeamKey kBlue{"Beer", "Blue"};

TypedOrder typed(int16_t week, int16_t member, int32_t order, bool training = false) {
  return {1, training, week, member, order, "P" + std::to_string(member), 1500};
}

std::vector<int16_t> numbersOf(const std::vector<TeamMember>& members) {
  std::vector<int16_t> numbers;
  for (const TeamMember& m : members) numbers.push_back(m.member);
  return numbers;
}

// The same team store on the file and on the server.
template <class T>
class TeamStoreTest : public ::testing::Test {
 protected:
  T db;
};
TYPED_TEST_SUITE(TeamStoreTest, Engines, EngineNames);

TYPED_TEST(TeamStoreTest, MembersJoinInOrderOfArrivalUpToTheTeamsSize) {
  EngineDatabase& db = this->db;
  TeamStore& teams = db.stores().teams();
  EXPECT_EQ(teams.join(kBlue, "P07", 2).member, 1);
  EXPECT_EQ(teams.join({"Beer", "Red"}, "P99", 2).member, 1);  // another team counts apart
  EXPECT_EQ(teams.join(kBlue, "P12", 2).member, 2);
  EXPECT_EQ(teams.join(kBlue, "P07", 2).member, 1);  // back after a restart: the same number
  const TeamJoin late = teams.join(kBlue, "P20", 2);
  EXPECT_FALSE(late.member);
  EXPECT_TRUE(late.full);
  EXPECT_EQ(teams.members(kBlue),
            (std::vector<TeamMember>{{1, "P07", false, true}, {2, "P12", false, true}}));
}

// Team names and User IDs are one name whatever their letter case, and a
// User ID is a member of one team of a setting; asking first writes nothing.
TYPED_TEST(TeamStoreTest, JoinsTakeNamesWhateverTheirLetterCaseAndOneTeamPerUserId) {
  EngineDatabase& db = this->db;
  TeamStore& teams = db.stores().teams();
  teams.join(kBlue, "P07", 3);
  const TeamJoin again = teams.join({"Beer", "BLUE"}, "p07", 3);
  EXPECT_EQ(again.member, 1);
  EXPECT_EQ(again.team, "Blue");
  EXPECT_EQ(teams.join({"Beer", "blue"}, "P12", 3).member, 2);
  const TeamJoin asked = teams.wouldJoin({"Beer", "Red"}, "P07", 3);
  EXPECT_FALSE(asked.member);
  EXPECT_EQ(asked.otherTeam, "Blue");
  EXPECT_EQ(teams.join({"Beer", "Red"}, "P07", 3).otherTeam, "Blue");
  EXPECT_EQ(teams.join({"Other", "Red"}, "P07", 3).member, 1);  // another setting
  EXPECT_EQ(teams.wouldJoin(kBlue, "P20", 3).member, 3);
  EXPECT_EQ(db.count("datTeamMember"), 3);
}

// The moderator's order gives the numbers; nobody else joins such a team.
TYPED_TEST(TeamStoreTest, FixedMembersKeepTheirNumbersAndTakeNobodyElse) {
  EngineDatabase& db = this->db;
  TeamStore& teams = db.stores().teams();
  teams.fixMembers(kBlue, {"P3", "P1", "P2"});
  EXPECT_EQ(teams.join(kBlue, "P1", 3).member, 2);
  EXPECT_EQ(teams.join(kBlue, "P3", 3).member, 1);
  EXPECT_TRUE(teams.join(kBlue, "P9", 4).full);
  EXPECT_EQ(numbersOf(teams.members(kBlue)), (std::vector<int16_t>{1, 2, 3}));
}

TYPED_TEST(TeamStoreTest, FixingIsRefusedOnceAnyoneJoinedOrForAFaultyList) {
  EngineDatabase& db = this->db;
  TeamStore& teams = db.stores().teams();
  teams.join(kBlue, "P5", 4);
  const struct {
    std::vector<std::string> subjects;
    std::string why;
  } cases[] = {
      {{"P1", "P2"},
       "it has members already (P5); correct them with quarngame-admin team --correct"},
      {{"P1", "P1"}, "P1 is named twice"},
      {{"P1", "P2", "P3", "P4", "P6"}, "a team has 1 to 4 members, not 5"},
      {{}, "a team has 1 to 4 members, not 0"},
  };
  for (const auto& k : cases) {
    try {
      teams.fixMembers(kBlue, k.subjects);
      ADD_FAILURE() << k.why;
    } catch (const DbError& refusal) {
      EXPECT_EQ(refusal.description(),
                "The members of team Blue of setting Beer cannot be fixed: " + k.why);
    }
  }
  EXPECT_EQ(numbersOf(teams.members(kBlue)), (std::vector<int16_t>{1}));
}

// Workstations that join at the same moment get distinct numbers, and no
// more than the team's size join.
TYPED_TEST(TeamStoreTest, SimultaneousJoinsGetDistinctNumbers) {
  EngineDatabase& db = this->db;
  std::vector<std::future<TeamJoin>> joins;
  for (int i = 0; i < 6; ++i) {
    joins.push_back(std::async(std::launch::async, [&db, i] {
      const std::unique_ptr<Stores> station = openStores(db.choice());
      return station->teams().join(kBlue, "P" + std::to_string(i), 4);
    }));
  }
  std::vector<int16_t> numbers;
  int full = 0;
  for (auto& join : joins) {
    const TeamJoin joined = join.get();
    if (joined.member) numbers.push_back(*joined.member);
    full += joined.full ? 1 : 0;
  }
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers, (std::vector<int16_t>{1, 2, 3, 4}));
  EXPECT_EQ(full, 2);
}

// An order sent again (its answer lost) is not doubled: the first counts.
TYPED_TEST(TeamStoreTest, AnOrderIsStoredOnceAsTyped) {
  EngineDatabase& db = this->db;
  TeamStore& teams = db.stores().teams();
  EXPECT_TRUE(teams.storeOrder(kBlue, typed(1, 2, 8)));
  EXPECT_TRUE(teams.storeOrder(kBlue, typed(1, 1, 5)));
  EXPECT_FALSE(teams.storeOrder(kBlue, typed(1, 2, 9)));
  EXPECT_TRUE(teams.storeOrder(kBlue, typed(1, 2, 3, true)));  // a training trial's week
  EXPECT_EQ(teams.orders(kBlue, 1, false),
            (std::vector<TypedOrder>{typed(1, 1, 5), typed(1, 2, 8)}));
  EXPECT_EQ(teams.orders(kBlue, 1, true), (std::vector<TypedOrder>{typed(1, 2, 3, true)}));
  EXPECT_EQ(db.count("datTeamOrder"), 3);
}

// The store wakes a waiting member when another member's order of its team
// is stored; another team's order does not. The other team's order is
// stored first, and the own team's only once a member of the other team was
// woken by it: a member woken by the other team's order would find no order
// of its own team yet.
TYPED_TEST(TeamStoreTest, WaitingMemberIsWokenByItsTeamsChangesOnly) {
  EngineDatabase& db = this->db;
  const std::unique_ptr<Stores> waiting = openStores(db.choice());
  const std::unique_ptr<Stores> otherTeam = openStores(db.choice());
  const std::unique_ptr<Stores> other = openStores(db.choice());
  const TeamKey red{"Beer", "Red"};
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(0)));  // starts listening
  EXPECT_TRUE(otherTeam->teams().waitForChange(red, milliseconds(0)));

  bool redWoken = false;
  std::thread member([&] {
    other->teams().storeOrder(red, typed(1, 1, 4));
    redWoken = otherTeam->teams().waitForChange(red, milliseconds(5000));
    other->teams().storeOrder(kBlue, typed(1, 2, 4));
  });
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(5000)));
  EXPECT_EQ(waiting->teams().orders(kBlue, 1, false), (std::vector<TypedOrder>{typed(1, 2, 4)}))
      << "woken before its team's order was stored";
  member.join();
  EXPECT_TRUE(redWoken);
  EXPECT_FALSE(waiting->teams().waitForChange(kBlue, milliseconds(0)));  // nothing since
}

// A workstation that waits for another team from then on (its member came
// back in another team) is woken by that team's changes, no longer by the
// first one's: the first team's order is stored before the other team's, and
// a workstation woken by it would find no order of the other team yet.
TYPED_TEST(TeamStoreTest, WaitingForAnotherTeamListensToThatTeam) {
  EngineDatabase& db = this->db;
  const std::unique_ptr<Stores> waiting = openStores(db.choice());
  const std::unique_ptr<Stores> firstTeam = openStores(db.choice());
  const std::unique_ptr<Stores> other = openStores(db.choice());
  const TeamKey red{"Beer", "Red"};
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(0)));
  EXPECT_TRUE(waiting->teams().waitForChange(red, milliseconds(0)));  // listens anew
  EXPECT_TRUE(firstTeam->teams().waitForChange(kBlue, milliseconds(0)));

  bool blueWoken = false;
  std::thread member([&] {
    other->teams().storeOrder(kBlue, typed(1, 1, 4));
    blueWoken = firstTeam->teams().waitForChange(kBlue, milliseconds(5000));
    other->teams().storeOrder(red, typed(1, 1, 4));
  });
  EXPECT_TRUE(waiting->teams().waitForChange(red, milliseconds(5000)));
  EXPECT_EQ(waiting->teams().orders(red, 1, false), (std::vector<TypedOrder>{typed(1, 1, 4)}))
      << "woken before its team's order was stored";
  member.join();
  EXPECT_TRUE(blueWoken);
  EXPECT_FALSE(waiting->teams().waitForChange(red, milliseconds(0)));  // nothing since
}

// Every trial of the replacement tests: three weeks, member 2 on the
// Retailer's stage.
MemberTrialShape threeWeeks(int16_t) {
  return {3, "Retailer"};
}

TypedOrder inTrial(int16_t trial, int16_t week, int16_t member, bool training = false) {
  TypedOrder order = typed(week, member, 4, training);
  order.trial = trial;
  return order;
}

// The replacement starts at the member's first week without an order in
// the team's latest experiment trial, or with the next trial once the
// member ordered every week of it.
TYPED_TEST(TeamStoreTest, AReplacementStartsAtTheFirstWeekTheMemberHasNotOrdered) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  TeamStore& teams = db.stores().teams();
  const struct {
    const char* team;
    std::vector<TypedOrder> orders;
    int16_t trial;
    int16_t fromWeek;
  } cases[] = {
      {"NoOrders", {}, 1, 1},
      {"MidTrial", {inTrial(1, 1, 2), inTrial(1, 2, 2), inTrial(1, 2, 1)}, 1, 3},
      {"TrialDone", {inTrial(1, 1, 2), inTrial(1, 2, 2), inTrial(1, 3, 2)}, 2, 1},
      {"TeamAhead", {inTrial(1, 1, 2), inTrial(2, 1, 1)}, 2, 1},
      {"TrainingOnly", {inTrial(1, 1, 2, true), inTrial(1, 2, 2, true)}, 1, 1},
  };
  for (const auto& c : cases) {
    const TeamKey key{"Beer", c.team};
    // A User ID belongs to one team of a setting.
    const std::string second = std::string(c.team) + "-2";
    teams.fixMembers(key, {std::string(c.team) + "-1", second});
    for (const TypedOrder& order : c.orders) teams.storeOrder(key, order);
    const TeamTrialMember expected{c.trial, 2, "Retailer", second, "Passer", c.fromWeek};
    EXPECT_EQ(teams.replace(key, 2, "Passer", threeWeeks), expected) << c.team;
    EXPECT_EQ(teams.replacements(key, c.trial), std::vector<TeamTrialMember>{expected}) << c.team;
  }
}

// Once replaced, the member's orders of that trial from the replacement's
// week on are not stored; the other members', the member's training and the
// next trial's are.
TYPED_TEST(TeamStoreTest, AReplacedMembersLaterOrdersAreRefused) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  TeamStore& teams = db.stores().teams();
  teams.fixMembers(kBlue, {"P1", "P2"});
  teams.recordMember(kBlue, {1, 2, "Retailer", "P2", "", 0});
  teams.storeOrder(kBlue, inTrial(1, 1, 2));
  teams.replace(kBlue, 2, "Passer", threeWeeks);
  EXPECT_FALSE(teams.storeOrder(kBlue, inTrial(1, 2, 2)));
  EXPECT_FALSE(teams.storeOrder(kBlue, inTrial(1, 3, 2)));
  EXPECT_TRUE(teams.storeOrder(kBlue, inTrial(1, 2, 1)));
  EXPECT_TRUE(teams.storeOrder(kBlue, inTrial(1, 2, 2, true)));
  EXPECT_TRUE(teams.storeOrder(kBlue, inTrial(2, 1, 2)));
  EXPECT_EQ(db.count("datTeamOrder", R"("Member" = 2 AND "Trial" = 1 AND "Training" = 0)"), 1);
  EXPECT_EQ(db.count("datTeam"), 1);  // the member's own row took the replacement
}

TYPED_TEST(TeamStoreTest, ReplacingIsRefusedForAnUnknownMemberOrPlayerAndTwiceInATrial) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  TeamStore& teams = db.stores().teams();
  teams.fixMembers(kBlue, {"P1", "P2"});
  teams.replace(kBlue, 1, "passer", threeWeeks);
  const struct {
    int16_t member;
    const char* player;
    const char* refusal;
  } cases[] = {
      {3, "Passer",
       "Member 3 of team Blue of setting Beer cannot be replaced: "
       "the team has no such member"},
      {2, "Nobody",
       "Team Blue of setting Beer cannot be given the player Nobody: "
       "tblPlayer has no player of that name"},
      {1, "Passer",
       "Member 1 of team Blue of setting Beer cannot be replaced: "
       "it is replaced in trial 1 already"},
  };
  for (const auto& c : cases) {
    try {
      teams.replace(kBlue, c.member, c.player, threeWeeks);
      ADD_FAILURE() << c.refusal;
    } catch (const DbError& refusal) {
      EXPECT_EQ(refusal.description(), c.refusal);
    }
  }
  EXPECT_EQ(teams.replacements(kBlue, 1).size(), 1u);
}

// The members waiting for the replaced one go on at once.
TYPED_TEST(TeamStoreTest, AReplacementWakesTheWaitingMembers) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  db.stores().teams().fixMembers(kBlue, {"P1", "P2"});
  const std::unique_ptr<Stores> waiting = openStores(db.choice());
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(0)));  // starts listening
  db.stores().teams().replace(kBlue, 2, "Passer", threeWeeks);
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(5000)));
}

// A smaller team's member numbers after its students' are the player's in
// every experiment trial from week 1, at each trial's stage: the team lists
// them as here, no order of theirs is stored, and giving them again adds
// nothing.
TYPED_TEST(TeamStoreTest, OpenMembersArePlayedFromTheStartOfEveryTrial) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  TeamStore& teams = db.stores().teams();
  teams.fixMembers(kBlue, {"P1"});
  const TeamTrialRoles trials = {{"Retailer", "Factory", "Wholesaler"},
                                 {"Factory", "Retailer", ""}};
  teams.giveOpenMembers(kBlue, 2, "Passer", trials);
  teams.giveOpenMembers(kBlue, 2, "Passer", trials);
  EXPECT_EQ(teams.replacements(kBlue, 1),
            (std::vector<TeamTrialMember>{{1, 2, "Factory", "", "Passer", 1},
                                          {1, 3, "Wholesaler", "", "Passer", 1}}));
  EXPECT_EQ(teams.replacements(kBlue, 2),
            (std::vector<TeamTrialMember>{{2, 2, "Retailer", "", "Passer", 1}}));
  EXPECT_EQ(db.count("datTeam", R"("Subject" IS NULL)"), 3);
  EXPECT_EQ(teams.members(kBlue), (std::vector<TeamMember>{{1, "P1", true, false},
                                                           {2, "", false, true, "Passer"},
                                                           {3, "", false, true, "Passer"}}));
  EXPECT_FALSE(teams.storeOrder(kBlue, inTrial(1, 1, 2)));
}

// A team formed by arrival whose open numbers a player took takes students
// only for the numbers before them.
TYPED_TEST(TeamStoreTest, ArrivingStudentsTakeOnlyTheNumbersBeforeTheOpenOnes) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  TeamStore& teams = db.stores().teams();
  teams.join(kBlue, "P1", 4);
  teams.giveOpenMembers(kBlue, 3, "Passer", {{"Retailer", "Wholesaler", "Distributor", "Factory"}});
  EXPECT_EQ(teams.wouldJoin(kBlue, "P2", 4).member, 2);
  EXPECT_EQ(teams.join(kBlue, "P2", 4).member, 2);
  EXPECT_TRUE(teams.wouldJoin(kBlue, "P3", 4).full);
  EXPECT_TRUE(teams.join(kBlue, "P3", 4).full);
  EXPECT_EQ(numbersOf(teams.members(kBlue)), (std::vector<int16_t>{1, 2, 3, 4}));
}

TYPED_TEST(TeamStoreTest, GivingOpenMembersIsRefusedForAStudentsNumberOrAnUnknownPlayer) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  TeamStore& teams = db.stores().teams();
  teams.fixMembers(kBlue, {"P1", "P2"});
  const struct {
    int16_t firstOpen;
    const char* player;
    const char* refusal;
  } cases[] = {
      {2, "Passer",
       "Member 2 of team Blue of setting Beer cannot be given the player Passer: "
       "P2 is that member"},
      {0, "Passer", "Team Blue of setting Beer has no member number 0"},
      {3, "Nobody",
       "Team Blue of setting Beer cannot be given the player Nobody: "
       "tblPlayer has no player of that name"},
  };
  for (const auto& c : cases) {
    try {
      teams.giveOpenMembers(kBlue, c.firstOpen, c.player, {{"Retailer", "Factory", "Wholesaler"}});
      ADD_FAILURE() << c.refusal;
    } catch (const DbError& refusal) {
      EXPECT_EQ(refusal.description(), c.refusal);
    }
  }
  EXPECT_EQ(db.count("datTeam"), 0);
}

// The members waiting for their team go on once the player took the rest.
TYPED_TEST(TeamStoreTest, GivingOpenMembersWakesTheWaitingMembers) {
  EngineDatabase& db = this->db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  db.stores().teams().fixMembers(kBlue, {"P1"});
  const std::unique_ptr<Stores> waiting = openStores(db.choice());
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(0)));  // starts listening
  db.stores().teams().giveOpenMembers(kBlue, 2, "Passer", {{"Retailer", "Factory"}});
  EXPECT_TRUE(waiting->teams().waitForChange(kBlue, milliseconds(5000)));
}

}  // namespace
}  // namespace quarn::testing
