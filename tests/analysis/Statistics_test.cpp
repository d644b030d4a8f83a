#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quarn::testing {
namespace {

TEST(Statistics, SampleSdIsExactlyZeroForEqualValues) {
  struct Case {
    std::vector<double> values;
    std::optional<double> sd;
  };
  const std::vector<Case> cases = {
      {{0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1}, 0.0},  // a mean of 0.1s rounds; the spread must not
      {{2, 4, 4, 4, 5, 5, 7, 9}, std::sqrt(32.0 / 7.0)},
      {{3.0}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<double> sd = sampleSd(c.values);
    ASSERT_EQ(sd.has_value(), c.sd.has_value());
    if (sd) {
      EXPECT_DOUBLE_EQ(*sd, *c.sd);
    }
  }
}

// 10, 12, 14, 16, 18: mean 14, sd sqrt(10), t(0.975; 4) = 2.776445105.
TEST(Statistics, TIntervalUsesStudentsTWithNMinusOneDegrees) {
  const std::vector<double> values = {10, 12, 14, 16, 18};
  const std::optional<Interval> i = tInterval(values);
  ASSERT_TRUE(i);
  const double half = 2.776445105 * std::sqrt(10.0) / std::sqrt(5.0);
  EXPECT_NEAR(i->low, 14 - half, 1e-8);
  EXPECT_NEAR(i->high, 14 + half, 1e-8);
  // Two values: t(0.975; 1) = 12.70620474; 1 and 3 give mean 2, sd sqrt 2.
  const std::vector<double> two = {1, 3};
  EXPECT_NEAR(tInterval(two)->high, 2 + 12.70620474 * std::sqrt(2.0) / std::sqrt(2.0), 1e-7);
  EXPECT_FALSE(tInterval(std::vector<double>{5}));
}

TEST(Statistics, BootstrapIntervalRepeatsWithTheSameSeed) {
  const std::vector<double> values = {3, 9, 4, 12, 7, 5, 8, 11, 2, 6};
  const Interval a = *bootstrapInterval(values, 2000, 7);
  const Interval b = *bootstrapInterval(values, 2000, 7);
  const Interval c = *bootstrapInterval(values, 2000, 8);
  EXPECT_EQ(a.low, b.low);
  EXPECT_EQ(a.high, b.high);
  EXPECT_TRUE(a.low != c.low || a.high != c.high);
  // The mean is 6.7 and the t interval 4.64 to 8.76: the bootstrap's lies
  // around the mean, inside the sample's range, and about as wide.
  EXPECT_LT(a.low, 6.7);
  EXPECT_GT(a.high, 6.7);
  EXPECT_GT(a.low, 4.0);
  EXPECT_LT(a.high, 9.5);
  const std::vector<double> equal = {5, 5, 5};
  EXPECT_EQ(bootstrapInterval(equal, 100, 1)->low, 5.0);
  EXPECT_FALSE(bootstrapInterval(std::vector<double>{}, 100, 1));
}

TEST(Statistics, PercentileRankCountsLowerValuesAndEqualOnesHalf) {
  const std::vector<double> runs = {100, 200, 200, 300, 400};
  struct Case {
    double value;
    double percent;
  };
  for (const Case& c : std::vector<Case>{{50, 0}, {100, 10}, {150, 20}, {200, 40}, {500, 100}}) {
    EXPECT_DOUBLE_EQ(*percentileRank(runs, c.value), c.percent) << c.value;
  }
  EXPECT_FALSE(percentileRank(std::vector<double>{}, 1));
}

// The straight line y = a + b x through (1, 1), (2, 3), (3, 2), (4, 4):
// b = 0.8, a = 0.5, residuals -0.3, 0.9, -0.9, 0.3 (sum of squares 1.8),
// s^2 = 0.9, Sxx = 5: SE(b) = sqrt(0.9 / 5), SE(a) = sqrt(0.9 (1/4 + 6.25/5)).
TEST(Statistics, StandardErrorsOfAStraightLineMatchTheTextbook) {
  const std::vector<double> jacobian = {1, 1, 1, 2, 1, 3, 1, 4};
  const std::optional<std::vector<double>> se = leastSquaresStandardErrors(jacobian, 4, 2, 1.8);
  ASSERT_TRUE(se);
  EXPECT_NEAR((*se)[0], std::sqrt(0.9 * (0.25 + 6.25 / 5.0)), 1e-12);
  EXPECT_NEAR((*se)[1], std::sqrt(0.9 / 5.0), 1e-12);
}

TEST(Statistics, StandardErrorsAreUndeterminedForAParameterWithoutEffect) {
  // The second parameter moves nothing: its column is 0.
  const std::vector<double> flat = {1, 0, 1, 0, 1, 0};
  EXPECT_FALSE(leastSquaresStandardErrors(flat, 3, 2, 1.0));
  // As many observations as parameters leave no residual degrees of freedom.
  const std::vector<double> square = {1, 0, 0, 1};
  EXPECT_FALSE(leastSquaresStandardErrors(square, 2, 2, 0.0));
}

}  // namespace
}  // namespace quarn::testing
