#pragma once

// Small statistics over a sample: intervals for its mean, where a value
// stands in a distribution, and the standard errors of a least-squares fit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quarn {

struct Interval {
  double low = 0.0;
  double high = 0.0;
};

// The sample standard deviation (divided by n - 1); empty for fewer than two
// values, exactly 0 when every value is the same.
std::optional<double> sampleSd(std::span<const double> values);

// The t interval of the mean at `level` (0.95 for 95 %), from Student's t
// with n - 1 degrees of freedom; empty for fewer than two values.
std::optional<Interval> tInterval(std::span<const double> values, double level = 0.95);

// The percentile bootstrap interval of the mean: `resamples` samples drawn
// with replacement by a generator seeded with `seed`, so that the same seed
// gives the same interval. Empty for no values or no resamples.
std::optional<Interval> bootstrapInterval(std::span<const double> values, int resamples,
                                          uint64_t seed, double level = 0.95);

// Where `value` stands in `distribution`, in percent: the share of the
// distribution below it, values equal to it counted half. Empty for an empty
// distribution.
std::optional<double> percentileRank(std::span<const double> distribution, double value);

// The standard errors of least-squares estimates from the Jacobian of the
// fitted values at the optimum (`rows` x `columns`, row by row) and the sum
// of squared residuals: the square roots of the diagonal of
// s^2 (J^T J)^-1, s^2 = sum of squares / (rows - columns). Empty when there
// are no more observations than parameters or J^T J is singular (a
// parameter the data do not determine).
std::optional<std::vector<double>> leastSquaresStandardErrors(std::span<const double> jacobian,
                                                              size_t rows, size_t columns,
                                                              double sumOfSquares);

}  // namespace quarn
