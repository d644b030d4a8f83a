#include "analysis/RecordedTrial.h"

#include <gtest/gtest.h>

#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

// A trial planned for `planned` weeks with the weeks `numbers` recorded.
RecordedTrial recorded(int16_t planned, const std::vector<int16_t>& numbers) {
  RecordedTrial t;
  t.plannedWeeks = planned;
  for (const int16_t n : numbers) {
    RecordedWeek week;
    week.week = n;
    for (int r = 0; r < kRoleCount; ++r) week.stages[static_cast<size_t>(r)].totalCost = 10 * n + r;
    t.weeks.push_back(week);
  }
  return t;
}

TEST(RecordedTrial, IsCompleteWhenEveryPlannedDecisionWeekIsRecorded) {
  struct Case {
    int16_t planned;
    std::vector<int16_t> weeks;
    bool complete;
  };
  const std::vector<Case> cases = {
      {6, {1, 2, 3, 4, 5, 6}, true},
      {6, {1, 2, 3, 4}, true},      // the last two weeks' orders never count
      {6, {1, 2, 3}, false},        // left in week 3
      {6, {1, 2, 4, 5, 6}, false},  // week 3's rows are missing
      {20, {1, 2, 3, 4, 5, 6, 7, 8, 9}, false},
      {0, {1, 2}, false},  // nothing planned is known
      {1, {1}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isComplete(recorded(c.planned, c.weeks)), c.complete)
        << c.planned << " weeks planned, " << c.weeks.size() << " recorded";
  }
}

TEST(RecordedTrial, ChainCostSumsTheStagesInTheLastWeek) {
  // Week 4: 40 + 41 + 42 + 43.
  EXPECT_EQ(chainCost(recorded(6, {1, 2, 3, 4})), 166);
  EXPECT_EQ(chainCost(recorded(6, {})), 0);
}

// A member's records of team `team`'s trial 1 with `weeks` weeks.
RecordedTrial memberRecord(const std::string& team, int16_t member, int16_t weeks) {
  std::vector<int16_t> numbers;
  for (int16_t w = 1; w <= weeks; ++w) numbers.push_back(w);
  RecordedTrial t = recorded(10, numbers);
  t.subject = "M" + std::to_string(member);
  t.setting = "Lab";
  t.trial = 1;
  t.team = team;
  t.member = member;
  return t;
}

TEST(RecordedTrial, TakesEachTeamTrialOnceFromTheMemberThatRecordedTheMost) {
  RecordedTrial alone = recorded(10, {1, 2});
  alone.subject = "S1";
  const std::vector<RecordedTrial> trials = {
      memberRecord("Red", 1, 4),  // replaced in week 5
      alone,
      memberRecord("Red", 2, 10),
      memberRecord("Blue", 1, 10),
      memberRecord("Red", 3, 10),
  };
  const std::vector<const RecordedTrial*> chains = playedChains(trials);
  ASSERT_EQ(chains.size(), 3u);
  EXPECT_EQ(chains[0], &trials[2]);  // Red, in the place of its first record
  EXPECT_EQ(chains[1], &trials[1]);
  EXPECT_EQ(chains[2], &trials[3]);
  const std::vector<const RecordedTrial*> red = memberRecords(trials, *chains[0]);
  EXPECT_EQ(red, (std::vector<const RecordedTrial*>{&trials[0], &trials[2], &trials[4]}));
  EXPECT_EQ(memberRecords(trials, alone).size(), 1u);
}

}  // namespace
}  // namespace quarn::testing
