#include "analysis/TreatmentSummary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "base/Errors.h"
#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

// A six-week trial (four decision weeks) of `subject` as Wholesaler whose
// stage ends with `cost` and orders 4, 4, 4 + swing, 4 + swing against a
// customer demand of 4, 4, 6, 6 (amplification (swing / 2)^2).
RecordedTrial played(const std::string& subject, int16_t trial, int32_t cost, int swing,
                     int16_t delay = 2, size_t weeks = 6) {
  RecordedTrial t;
  t.subject = subject;
  t.setting = "Lab";
  t.trial = trial;
  t.participantRole = kWholesaler;
  t.delay = delay;
  t.plannedWeeks = 6;
  t.players = {"Sterman", "Sterman", "Subject", "Sterman"};
  for (int16_t w = 1; w <= static_cast<int16_t>(weeks); ++w) {
    RecordedWeek week;
    week.week = w;
    week.stages[kRetailer].demand = w <= 2 ? 4 : 6;
    week.stages[kWholesaler].order = w <= 2 ? 4 : 4 + swing;
    week.stages[kWholesaler].totalCost = cost * w / static_cast<int32_t>(weeks);
    t.weeks.push_back(week);
  }
  t.weeks.back().stages[kWholesaler].totalCost = cost;
  return t;
}

// Costs 100, 200, 300, 600: mean 300, median 250, sd sqrt(140000 / 3),
// interval 300 -/+ t(0.975; 3) sd / 2 with t = 3.182446305.
TEST(TreatmentSummary, SummarisesCostAndAmplificationAgainstHandComputedValues) {
  const std::vector<RecordedTrial> trials = {played("A", 1, 100, 2), played("B", 1, 200, 4),
                                             played("C", 1, 300, 2), played("D", 1, 600, 4)};
  const std::vector<TreatmentRow> rows = summariseTreatments(trials, {});
  ASSERT_EQ(rows.size(), 1u);
  const ValueSummary& cost = *rows[0].cost;
  EXPECT_EQ(cost.n, 4u);
  EXPECT_DOUBLE_EQ(cost.mean, 300);
  EXPECT_DOUBLE_EQ(cost.median, 250);
  const double sd = std::sqrt(140000.0 / 3.0);
  EXPECT_DOUBLE_EQ(*cost.sd, sd);
  EXPECT_NEAR(cost.interval->low, 300 - 3.182446305 * sd / 2, 1e-6);
  EXPECT_NEAR(cost.interval->high, 300 + 3.182446305 * sd / 2, 1e-6);
  // Ratios 1, 4, 1, 4.
  EXPECT_DOUBLE_EQ(rows[0].amplification->mean, 2.5);
  EXPECT_DOUBLE_EQ(rows[0].amplification->median, 2.5);
}

TEST(TreatmentSummary, SplitsByTrialAndTheColumnsNamedAndLeavesIncompleteTrialsOut) {
  const std::vector<RecordedTrial> trials = {played("A", 1, 100, 2, 1), played("B", 1, 300, 2, 2),
                                             played("C", 1, 500, 2, 2), played("D", 2, 700, 2, 2),
                                             played("E", 1, 900, 2, 2, 3)};  // E left in week 3
  SummaryOptions options;
  options.by = {"delay"};
  const std::vector<TreatmentRow> rows = summariseTreatments(trials, options);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].byValues, std::vector<std::string>{"1"});
  EXPECT_DOUBLE_EQ(rows[0].cost->mean, 100);
  EXPECT_FALSE(rows[0].cost->sd);
  EXPECT_EQ(rows[1].byValues, std::vector<std::string>{"2"});
  EXPECT_EQ(rows[1].cost->n, 2u);
  EXPECT_DOUBLE_EQ(rows[1].cost->mean, 400);
  EXPECT_EQ(rows[1].incomplete, 1);
  EXPECT_EQ(rows[2].trial, 2);
}

TEST(TreatmentSummary, BootstrapIntervalRepeatsWithItsSeed) {
  const std::vector<RecordedTrial> trials = {played("A", 1, 100, 2), played("B", 1, 200, 4),
                                             played("C", 1, 350, 2), played("D", 1, 600, 4)};
  SummaryOptions options;
  options.bootstrap = 500;
  options.seed = 3;
  const ValueSummary first = *summariseTreatments(trials, options)[0].cost;
  const ValueSummary again = *summariseTreatments(trials, options)[0].cost;
  EXPECT_EQ(first.interval->low, again.interval->low);
  EXPECT_EQ(first.interval->high, again.interval->high);
  EXPECT_GE(first.interval->low, 100);
  EXPECT_LE(first.interval->high, 600);
  EXPECT_EQ(intervalMethod(options), "bootstrap 500 seed 3");
}

TEST(TreatmentSummary, NamesTheKnownColumnsForAnUnknownOne) {
  try {
    treatmentColumn("Colour");
    FAIL() << "an unknown column was taken";
  } catch (const QuarnError& e) {
    EXPECT_NE(e.description().find("Delay, PlannedWeeks, DemandSource"), std::string::npos);
  }
  EXPECT_EQ(treatmentColumn("predicter"), "Predicter");
}

TEST(TreatmentSummary, WritesOneCsvRowPerTreatmentWithTheColumnsSplitBy) {
  SummaryOptions options;
  options.by = {"Delay"};
  std::ostringstream out;
  writeSummaryCsv(
      out, summariseTreatments({played("A", 1, 100, 2), played("B", 1, 300, 2)}, options), options);
  EXPECT_EQ(out.str(),
            "Setting,Trial,Stage,Delay,N,CostMean,CostMedian,CostSd,CostLow,CostHigh,"
            "AmplificationN,AmplificationMean,AmplificationMedian,AmplificationSd,"
            "AmplificationLow,AmplificationHigh,Interval\n"
            // 200 -/+ t(0.975; 1) x 141.42 / sqrt 2 = 200 -/+ 12.70620474 x 100
            "Lab,1,Wholesaler,2,2,200,200,141.4213562373095,-1070.6204736174693,"
            "1470.6204736174693,2,1,1,0,1,1,t\n");
}

}  // namespace
}  // namespace quarn::testing
