#pragma once

// How far the numbers of a trial can go during play. The week step is
// followed with every quantity as a range [low, high], for any participant
// order from 0 to kLargestSubjectOrder and any noise the simulated players
// can draw, so that a plan whose values could overflow a counter, a stock or
// a cost in some week is refused when it is loaded instead of ending a
// session in front of a participant.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plan/Predicter.h"
#include "sim/TrialPlan.h"

namespace quarn {

// The largest order the participant can type (four digits).
inline constexpr int32_t kLargestSubjectOrder = 9999;
// The week counter runs to numweeks + 1 in 16 bits.
inline constexpr int16_t kLargestWeeks = 32766;
// The noise range 2 x MaxNoise is a 16-bit number.
inline constexpr int16_t kLargestMaxNoise = 16383;
// The forecast noise range 2 x MaxNoise + 1 is a 32-bit number.
inline constexpr int32_t kLargestForecastNoise = 1073741823;

// A value that can leave its width: the plan field(s) it comes from, their
// value(s), and the complaint, which names both ("MaxNoise 16384 is above
// 16383, ...").
struct BoundFault {
  std::string field;
  std::string value;
  std::string complaint;
};

struct TrialBounds {
  std::vector<BoundFault> faults;
  // The range of the trial's end cost over all four stages (what the game's
  // cost sum adds up), valid when there is no fault.
  double lowestCost = 0.0;
  double highestCost = 0.0;
};

// The values one figure of a stage can take: every value in [lo, hi].
struct ValueRange {
  int64_t lo = 0;
  int64_t hi = 0;
  bool holds(int64_t value) const { return lo <= value && value <= hi; }
};

// The ranges of one stage's figures when a week closes (its costs charged,
// before the next week's shipments), as the check follows the week step.
struct StageRanges {
  ValueRange inventory, deltaInventory, received, demand, satisfied, totalCost;
  std::vector<ValueRange> orderSlots, delaySlots;
};
// Told each closed week: the week counter at the close, and the four stages.
using WeekRangesSink =
    std::function<void(int64_t week, const std::array<StageRanges, kRoleCount>& stages)>;

// Follows the trial through its weeks. `trial.weeklyDemand` must hold the
// demand series (buildDemand); `players` is the player table its RolePlayer
// values index. `weeksField` is the name of the week count's column
// (numweeks, or Weeks for training rows).
TrialBounds checkTrialBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                             const std::string& weeksField);
// The same, telling `eachWeek` the ranges it followed (for tests that hold
// play against them).
TrialBounds checkTrialBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                             const std::string& weeksField, const WeekRangesSink& eachWeek);

// Why a Sterman player's parameters are too large for its order to be
// computed (an infinite or undefined result), or empty.
std::string stermanParameterFault(const PlayerStrategy& player);

// The forecast's faults for a trial with its demand series built: a horizon
// before week 1 or beyond the week counter, or a shown value (with its
// noise) that does not fit the panel's 16 bits.
std::vector<BoundFault> checkForecastBounds(const Forecast& forecast, const TrialPlan& trial);

// A training row whose limits are broken at week 1, before the participant
// can order anything, so that every run of it fails at once. Both limits
// must be non-zero for the check to run. Empty when the row can be played.
std::optional<BoundFault> trainingWeekOneFault(const TrialPlan& trial, int32_t costLimit,
                                               int32_t inventoryBound);

}  // namespace quarn
