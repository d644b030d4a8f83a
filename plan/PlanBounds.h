#pragma once

// How far the numbers of a trial can go during play. The week step is
// followed with every quantity as a range [low, high], for participant
// orders from 0 to a bound and any noise the simulated players can draw.
// The largest bound (at most what the order box holds) under which no
// stored or shown value leaves its width is the trial's largest safe order:
// the game accepts orders up to it. A plan is refused only when ordinary
// play could leave a width, so that a lab never meets a refusal it cannot
// act on; a lower limit than the order box's is a warning.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plan/Predicter.h"
#include "sim/TrialPlan.h"
#include "sim/ValueRange.h"

namespace quarn {

// The week counter runs to numweeks + 1 in 16 bits.
inline constexpr int16_t kLargestWeeks = 32766;
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
  // A largest safe order below what the order box holds: what could leave
  // its width above it.
  std::vector<BoundFault> warnings;
  // The largest order the participant can make every week without a value
  // leaving its width (kLargestParticipantOrder when any order is safe).
  int16_t largestSafeOrder = kLargestParticipantOrder;
  // The range of the trial's end cost over all four stages (what the game's
  // cost sum adds up) with orders up to largestSafeOrder, valid when there
  // is no fault.
  double lowestCost = 0.0;
  double highestCost = 0.0;
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

// The orders ordinary play needs: ten times the trial's largest customer
// demand, 100 when the demand is never above 0, and never more than the
// order box holds. A trial whose largest safe order is below it is refused.
int32_t ordinaryOrderLimit(const TrialPlan& trial);

// Follows the trial through its weeks. `trial.weeklyDemand` must hold the
// demand series (buildDemand); `players` is the player table its RolePlayer
// values index. `weeksField` is the name of the week count's column
// (numweeks, or Weeks for training rows).
// `costShare`, when given, is the largest end cost (either way) the trial
// may reach: its share of the game's 32-bit cost sum over all trials.
TrialBounds checkTrialBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                             const std::string& weeksField,
                             std::optional<double> costShare = std::nullopt);

// Follows the trial once, as checkTrialBounds does, with participant orders
// from 0 to `largestOrder`, telling `eachWeek` the ranges of every closed
// week (for tests that hold play against them). False when a value can
// leave its width.
bool followWeekRanges(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                      int64_t largestOrder, const WeekRangesSink& eachWeek);

// The forecast's faults for a trial with its demand series built: a horizon
// before week 1 or beyond the week counter, or a shown value (with its
// noise) that does not fit the panel's 16 bits.
std::vector<BoundFault> checkForecastBounds(const Forecast& forecast, const TrialPlan& trial);

// A training row whose limits are broken at week 1 whatever the participant
// orders, so that every run of it fails: the stock or backorder after the
// first shipments, or the first week's cost (stock, backorder and transit
// do not depend on the first order). Both limits must be non-zero for the
// check to run. Empty when the row can be played.
std::optional<BoundFault> trainingWeekOneFault(const TrialPlan& trial,
                                               const std::vector<PlayerStrategy>& players,
                                               int32_t costLimit, int32_t inventoryBound);

}  // namespace quarn
