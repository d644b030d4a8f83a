#pragma once

// What researchers measure of each stage of a played trial: its costs, how
// much its orders swing against the customer demand, and how deep and how
// long it ran into backlog.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"

namespace quarn {

// Variances are population variances: the weeks of a trial are the whole
// series, not a sample of one (the amplification ratio is the same either way).
double mean(std::span<const double> values);
double populationVariance(std::span<const double> values);

// Variance of the orders over variance of the customer demand, over the same
// weeks. Empty when there are no weeks or the demand does not vary (a ratio
// over nothing is not a number, not a division by zero).
std::optional<double> amplificationRatio(std::span<const double> orders,
                                         std::span<const double> demand);

struct StageMeasures {
  int64_t totalCost = 0;        // the stage's TotalCost in its last recorded week
  double meanWeeklyCost = 0.0;  // totalCost over the recorded weeks
  // Over the decision weeks (decisionWeekCount); empty when there are none.
  std::optional<double> meanOrder;
  std::optional<double> sdOrder;
  std::optional<double> amplification;
  int32_t peakBacklog = 0;  // the largest backorder of any recorded week, 0 when none
  int weeksInBacklog = 0;   // recorded weeks that ended with a backorder
};

struct TrialMeasures {
  size_t recordedWeeks = 0;
  size_t decisionWeeks = 0;
  std::array<StageMeasures, kRoleCount> stages;
};

TrialMeasures measureTrial(const RecordedTrial& trial);

// One tidy row per trial and stage, under a header row (CSV as RFC 4180
// quotes it, lines ended by LF), with the trial's treatment, whether it is
// complete and the chain's cost repeated on each of its rows; last the team
// and the member number of a team member's records (empty otherwise).
void writeMeasuresCsv(std::ostream& out, const std::vector<RecordedTrial>& trials);

// A number as the CSV files write it: the shortest text that reads back to
// the same double; empty for no value.
std::string csvNumber(std::optional<double> value);

}  // namespace quarn
