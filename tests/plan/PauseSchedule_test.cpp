#include "plan/PauseSchedule.h"

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

TEST_F(PlanTest, PausesLoadInTrialOrderAndNoneKeepTheSchedule) {
  insertRow("tblPause", {{"Setting", "Demo"}, {"Trial", 4}, {"Password", "four"}});
  insertRow("tblPause", {{"Setting", "Demo"}, {"Trial", 2}, {"Password", "two"}});
  PauseSchedule schedule;
  schedule.nextPause = 1;
  loadPauses(tables(), "Demo", schedule);
  ASSERT_EQ(schedule.pauses.size(), 2u);
  EXPECT_EQ(schedule.pauses[0].afterTrial, 2);
  EXPECT_EQ(schedule.nextPause, 1) << "nothing resets the next pause";
  loadPauses(tables(), "Other", schedule);
  EXPECT_EQ(schedule.pauses.size(), 2u);
}

TEST(PauseSchedule, TheNextPauseIsDueAfterItsTrialAndPassedByItsPassword) {
  PauseSchedule schedule{{{2, "two"}, {4, "four"}}, 0};
  EXPECT_FALSE(pauseDue(schedule, 0));
  EXPECT_TRUE(pauseDue(schedule, 1));
  EXPECT_FALSE(checkPausePassword(schedule, "Two")) << "the password's letter case counts";
  EXPECT_FALSE(checkPausePassword(schedule, "four"));
  EXPECT_TRUE(checkPausePassword(schedule, "two"));
  EXPECT_TRUE(pauseDue(schedule, 3));
  EXPECT_TRUE(checkPausePassword(schedule, "four"));
  EXPECT_FALSE(pauseDue(schedule, 3));
  EXPECT_FALSE(checkPausePassword(schedule, "four")) << "no pause is pending";
}

// A participant who goes on after some trials stands at the first pause
// after the last of them or later: that one is still due.
TEST(PauseSchedule, ResumeStandsAtThePauseAfterTheLastTrialPlayed) {
  struct Case {
    int16_t trialsBefore;
    int16_t nextPause;
  };
  for (const Case c : {Case{0, 0}, Case{1, 0}, Case{2, 0}, Case{3, 1}, Case{4, 1}, Case{5, 2}}) {
    PauseSchedule schedule{{{2, "two"}, {4, "four"}}, 0};
    resumePauses(schedule, c.trialsBefore);
    EXPECT_EQ(schedule.nextPause, c.nextPause) << "after " << c.trialsBefore << " trials";
  }
  PauseSchedule schedule{{{2, "two"}, {4, "four"}}, 0};
  resumePauses(schedule, 2);
  EXPECT_TRUE(pauseDue(schedule, 1)) << "the pause after trial 2 holds trial 3";
  resumePauses(schedule, 3);
  EXPECT_TRUE(pauseDue(schedule, 3)) << "a later pause still comes";
}

}  // namespace
}  // namespace quarn::testing
