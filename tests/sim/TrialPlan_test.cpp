#include "sim/TrialPlan.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(CheckTrialValues, ReportsEveryFaultWithItsValue) {
  TrialPlan t;
  t.Delay = 2;
  t.numweeks = 10;
  t.JumpWeek = 12;
  EXPECT_TRUE(CheckTrialValues(t).empty());
  t.Delay = 0;
  t.OrderDelay = -1;
  t.numweeks = 0;
  const std::vector<PlanFault> faults = CheckTrialValues(t);
  ASSERT_EQ(faults.size(), 4u);
  EXPECT_EQ(faults[0].field + faults[0].value, "Delay0");
  EXPECT_EQ(faults[1].field + faults[1].value, "OrderDelay-1");
  EXPECT_EQ(faults[2].field + faults[2].value, "numweeks0");
  EXPECT_EQ(faults[3].field + faults[3].value, "JumpWeek12");
  t.Input = "demand.txt";  // a file leaves JumpWeek unused
  EXPECT_EQ(CheckTrialValues(t).size(), 3u);
}

}  // namespace
}  // namespace quarn
