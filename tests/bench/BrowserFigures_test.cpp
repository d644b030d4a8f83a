#include "bench/server/BrowserFigures.h"

#include <gtest/gtest.h>

namespace quarn::bench {
namespace {

TEST(BrowserFigures, ReadsTheNumberACounterBeginsWith) {
  const struct {
    std::string counter;
    std::optional<int> number;
  } cases[] = {
      {"03 of 20", 3},         {"100 of 120", 100}, {"-02 of 01", -2},
      {"of 20", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(counterNumber(c.counter), c.number) << c.counter;
}

OrderMade order(const std::string& group, const std::string& subject, int week, double sent,
                std::optional<double> answered) {
  return {group, subject, 1, week, sent, answered};
}

TEST(BrowserFigures, TimesATeamWeekFromItsLastOrderToEachMembersNextWeek) {
  const std::vector<OrderMade> orders = {
      order("Team1", "M1", 1, 100, 530),  // waited for M2's order at 500
      order("Team1", "M2", 1, 500, 520),
      order("P1", "P1", 1, 200, 210),  // alone: from its own order
  };
  const WeekTimes times = orderToNextWeek(orders, 0);
  EXPECT_EQ(times.all, (std::vector<double>{30, 20, 10}));
}

TEST(BrowserFigures, LeavesUnansweredOrdersAndWeeksBeforeAllPlayOutOfTheSteadyTimes) {
  const std::vector<OrderMade> orders = {
      order("P1", "P1", 1, 100, 150),
      order("P1", "P1", 2, 1100, 1105),
      order("P2", "P2", 1, 1200, std::nullopt),
  };
  const WeekTimes times = orderToNextWeek(orders, 1000);
  EXPECT_EQ(times.all, (std::vector<double>{50, 5}));
  EXPECT_EQ(times.steady, (std::vector<double>{5}));
}

TEST(BrowserFigures, CountsRowsLostDoubledAndUnexpected) {
  using Key = std::pair<std::string, int>;
  const std::set<Key> expected = {{"P1", 1}, {"P1", 2}, {"P2", 1}};
  const std::map<Key, int> stored = {{{"P1", 1}, 1}, {{"P1", 2}, 3}, {{"P3", 1}, 1}};
  const RowTally tally = tallyRows(expected, stored);
  EXPECT_EQ(tally.expected, 3);
  EXPECT_EQ(tally.stored, 5);
  EXPECT_EQ(tally.lost, 1);
  EXPECT_EQ(tally.doubled, 2);
  EXPECT_EQ(tally.unexpected, 1);
}

TEST(BrowserFigures, ReadsProcessorTimePastAProgramNameWithBlanksAndParentheses) {
  // Fields 14 and 15 (utime, stime) are 250 and 50 ticks.
  const std::string tail = " S 1 2 3 4 5 6 7 8 9 10 250 50 0 0 20 0 1 0 99 1000 200\n";
  const struct {
    std::string stat;
    std::optional<double> seconds;
  } cases[] = {
      {"42 (quarngame-server)" + tail, 3.0},
      {"42 (a (b) c)" + tail, 3.0},
      {"42 (quarngame-server) S 1 2", std::nullopt},
      {"no name", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(cpuSecondsOfStat(c.stat, 100), c.seconds) << c.stat;
}

TEST(BrowserFigures, ReadsAStatusLinesKilobytesByItsWholeName) {
  const std::string status =
      "Name:\tquarngame-server\nVmHWMx:\t1 kB\nVmHWM:\t   20480 kB\nVmRSS:\t   10240 kB\n";
  EXPECT_EQ(kbOfStatus(status, "VmHWM"), 20480);
  EXPECT_EQ(kbOfStatus(status, "VmRSS"), 10240);
  EXPECT_EQ(kbOfStatus(status, "VmSwap"), std::nullopt);
  EXPECT_EQ(kbOfStatus(status, "Name"), std::nullopt);
}

}  // namespace
}  // namespace quarn::bench
