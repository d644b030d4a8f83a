#include "db/ClassTeams.h"

#include <gtest/gtest.h>

#include "tests/support/TestDatabase.h"

namespace quarn::testing {
namespace {

TEST(ClassTeams, LeftoverChoiceGivesTheTeamsSizes) {
  const struct {
    int students;
    int size;
    const char* leftover;
    std::vector<int> sizes;
  } cases[] = {
      {8, 4, kLeftoverSmallTeam, {4, 4}},     {9, 4, kLeftoverSmallTeam, {4, 4, 1}},
      {10, 4, kLeftoverSpread, {4, 3, 3}},    {9, 4, kLeftoverSpread, {3, 3, 3}},
      {13, 4, kLeftoverSpread, {4, 3, 3, 3}}, {3, 4, kLeftoverSpread, {3}},
      {0, 4, kLeftoverSmallTeam, {}},         {5, 0, kLeftoverSmallTeam, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(classTeamSizes(c.students, c.size, c.leftover), c.sizes)
        << c.students << " in teams of " << c.size << " (" << c.leftover << ")";
  }
}

// A class on the team setting "Team" of three members, on a file.
class ClassDoor : public ::testing::Test {
 protected:
  ClassDoor() { db.insert("tblPlayer", {{"Name", "Bot"}}); }

  std::string open(ClassForming forming, const std::string& leftover) {
    ClassRow row;
    row.setting = "Team";
    row.forming = forming;
    row.leftover = leftover;
    row.leftoverPlayer = "Bot";
    return classes().open(row, drawClassCode);
  }
  ClosedDoor close(const std::string& code) {
    return closeClassDoor(classes(), teams(), code, kTrials,
                          [](size_t below) { return below - 1; });
  }
  // The simulated players of the team's members, '' for a student's.
  std::vector<std::string> playersOf(const std::string& team) {
    std::vector<std::string> players;
    for (const TeamMember& m : teams().members({"Team", team})) players.push_back(m.player);
    return players;
  }
  ClassStore& classes() { return db.stores.classes(); }
  TeamStore& teams() { return db.stores.teams(); }

  const TeamTrialRoles kTrials = {{"Retailer", "Wholesaler", "Factory"}};
  TestDatabase db;
};

// Random forming: each team with fewer students than members, the last
// one or (spread) several, has its open stages played by the class's
// player.
TEST_F(ClassDoor, RandomFormingGivesEachSmallerTeamsOpenStagesToThePlayer) {
  const struct {
    const char* leftover;
    int students;
    std::vector<std::vector<std::string>> players;
  } cases[] = {
      {kLeftoverSmallTeam, 7, {{"", "", ""}, {"", "", ""}, {"", "Bot", "Bot"}}},
      {kLeftoverSpread, 7, {{"", "", ""}, {"", "", "Bot"}, {"", "", "Bot"}}},
      {kLeftoverSpread, 6, {{"", "", ""}, {"", "", ""}}},
  };
  for (const auto& c : cases) {
    const std::string code = open(ClassForming::Random, c.leftover);
    for (int s = 1; s <= c.students; ++s) {
      classes().arrive(code, code + "-" + std::to_string(s), "");
    }
    const ClosedDoor door = close(code);
    ASSERT_EQ(door.teams.size(), c.players.size()) << c.leftover << " " << c.students;
    for (size_t t = 0; t < c.players.size(); ++t) {
      EXPECT_EQ(playersOf(door.teams[t].first), c.players[t])
          << c.leftover << " " << c.students << ": " << door.teams[t].first;
    }
    EXPECT_EQ(door.player, "Bot");
  }
}

// Arrival forming: the last team, partly filled when the door closes, plays
// with its students; one placed but not yet joined keeps its number.
TEST_F(ClassDoor, ArrivalFormingGivesTheLastTeamsOpenStagesToThePlayer) {
  const std::string code = open(ClassForming::Arrival, kLeftoverSmallTeam);
  const std::string last = classTeamName(code, 2);
  for (const char* subject : {"A", "B", "C", "D", "E"}) {
    classes().arrive(code, subject, "");
    const std::string team = classes().placeByArrival(code, subject, 3);
    if (std::string(subject) != "E") teams().join({"Team", team}, subject, 3);
  }
  const ClosedDoor door = close(code);
  EXPECT_EQ(door.smaller, (std::vector<SmallerTeam>{{last, 2, 3}}));
  EXPECT_EQ(teams().join({"Team", last}, "E", 3).member, 2);
  EXPECT_EQ(playersOf(last), (std::vector<std::string>{"", "", "Bot"}));
  EXPECT_EQ(playersOf(classTeamName(code, 1)), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(classes().find(code)->state, ClassState::Closed);
}

}  // namespace
}  // namespace quarn::testing
