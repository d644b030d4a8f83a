#include "bench/server/ClassFigures.h"

#include <gtest/gtest.h>

namespace quarn::bench {
namespace {

using nlohmann::json;

json team(json fields) {
  fields["members"] = json::array({{{"subject", "A"}}, {{"subject", "B"}}});
  return fields;
}

TEST(ClassFigures, ShowsAMembersOrderOnceTheViewListsItOrTheWeekHasPassed) {
  const struct {
    const char* what;
    json team;
    GameWeek a;
    GameWeek b;
  } cases[] = {
      {"A ordered the open week",
       team({{"trial", 1}, {"week", 5}, {"ordered", {"A"}}}),
       {1, 5},
       {1, 4}},
      {"the trial is over",
       team({{"trial", 2}, {"week", 20}, {"ordered", json::array()}, {"trialOver", true}}),
       {2, kWholeTrial},
       {2, kWholeTrial}},
      {"the team finished",
       team({{"trial", 2}, {"week", 20}, {"finished", true}, {"trialOver", true}}),
       {kWholeTrial, kWholeTrial},
       {kWholeTrial, kWholeTrial}},
      {"before the first order", team({{"trial", nullptr}, {"week", nullptr}}), {0, -1}, {0, -1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shownWeeks(c.team),
              (std::vector<std::pair<std::string, GameWeek>>{{"A", c.a}, {"B", c.b}}))
        << c.what;
  }
}

OrderMade order(const std::string& group, const std::string& subject, int week, double sent) {
  return {group, subject, 1, week, sent, std::nullopt};
}

TEST(ClassFigures, TimesAnOrderToTheFirstViewAfterItThatShowsItsWeek) {
  const Sightings sightings = {
      {"A", {{50, {1, 1}}, {400, {1, 2}}, {900, {2, 1}}}},
      {"B", {{300, {1, 1}}}},
  };
  const ViewDelays delays = viewDelays(
      {
          order("T1", "A", 2, 100),  // shown at 400
          order("T1", "A", 1, 80),   // a view before the order does not count: shown at 400
          order("T1", "B", 2, 100),  // never shown
          order("T1", "C", 1, 100),  // not in any view
      },
      sightings);
  EXPECT_EQ(delays.delays, (std::vector<double>{300, 320}));
  EXPECT_EQ(delays.unseen, 2);
}

TEST(ClassFigures, KeepsTheWeeksEveryMemberOrderedItself) {
  const std::vector<OrderMade> orders = {
      order("T1", "A", 1, 0), order("T1", "B", 1, 0),
      order("T1", "A", 2, 0), order("T1", "A", 2, 5),  // the same member twice is no second member
      order("T2", "C", 1, 0),
  };
  std::vector<std::tuple<std::string, std::string, int>> kept;
  for (const OrderMade& o : weeksOrderedByAll(orders, 2))
    kept.emplace_back(o.group, o.subject, o.week);
  EXPECT_EQ(kept, (std::vector<std::tuple<std::string, std::string, int>>{{"T1", "A", 1},
                                                                          {"T1", "B", 1}}));
}

TEST(ClassFigures, LeavesEveryWeekAVanishedStudentDidNotOrderToTheClock) {
  std::vector<OrderMade> own = {order("T1", "A", 1, 0), order("T1", "A", 2, 0)};
  own.push_back({"T1", "A", 2, 1, 0, std::nullopt});
  EXPECT_EQ(weeksLeftToTheClock("A", own, 2, 3),
            (std::set<StudentWeek>{{"A", 1, 3}, {"A", 2, 2}, {"A", 2, 3}}));
}

}  // namespace
}  // namespace quarn::bench
