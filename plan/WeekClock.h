#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plan/PlanFault.h"
#include "plan/PlanTables.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The seconds a week clock may give each week.
inline constexpr int32_t kShortestWeekSeconds = 10;
inline constexpr int32_t kLongestWeekSeconds = 3600;

// A setting's week clock (tblSetting): each week's order box counts down
// from `seconds`; when they run out the week is ordered by the rule.
struct WeekClock {
  int32_t seconds = 0;  // 0: no clock
  // Who orders when the time runs out: the simulated player at this index
  // of the player table, playing the participant's stage; kNoClockPlayer:
  // the participant's last order.
  int16_t player = -1;

  bool runs() const { return seconds > 0; }
};
inline constexpr int16_t kNoClockPlayer = -1;

// The setting's week clock as tblSetting gives it, with every fault: seconds
// outside 0 or 10 to 3600, a rule that names no tblPlayer row. A setting
// without a row, or a database without the columns, has no clock.
struct WeekClockRow {
  WeekClock clock;
  std::vector<PlanFault> faults;
};
WeekClockRow readWeekClock(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                           const std::string& setting);

}  // namespace quarn
