#include "db/ClassTeams.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quarn::testing
