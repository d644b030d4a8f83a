#include "analysis/Statistics.h"

#include <Eigen/Dense>
#include <algorithm>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <random>

#include "analysis/BatchSimulation.h"
#include "analysis/Measures.h"

namespace quarn {

std::optional<double> sampleSd(std::span<const double> values) {
  if (values.size() < 2) return std::nullopt;
  // Rounding in the mean would otherwise leave a spread of 1e-16 where
  // there is none.
  if (std::all_of(values.begin(), values.end(), [&](double v) { return v == values[0]; })) {
    return 0.0;
  }
  const double n = static_cast<double>(values.size());
  return std::sqrt(populationVariance(values) * n / (n - 1.0));
}

std::optional<Interval> tInterval(std::span<const double> values, double level) {
  const std::optional<double> sd = sampleSd(values);
  if (!sd) return std::nullopt;
  const double n = static_cast<double>(values.size());
  const boost::math::students_t t(n - 1.0);
  const double half = boost::math::quantile(t, 0.5 + level / 2.0) * *sd / std::sqrt(n);
  const double m = mean(values);
  return Interval{m - half, m + half};
}

std::optional<Interval> bootstrapInterval(std::span<const double> values, int resamples,
                                          uint64_t seed, double level) {
  if (values.empty() || resamples <= 0) return std::nullopt;
  // The generator's own output, reduced by modulo, rather than a standard
  // distribution, whose algorithm differs between libraries: the interval
  // is the same wherever it is computed.
  std::mt19937_64 generator(seed);
  const uint64_t n = values.size();
  std::vector<double> means;
  means.reserve(static_cast<size_t>(resamples));
  for (int r = 0; r < resamples; ++r) {
    double sum = 0.0;
    for (uint64_t i = 0; i < n; ++i) sum += values[static_cast<size_t>(generator() % n)];
    means.push_back(sum / static_cast<double>(n));
  }
  std::sort(means.begin(), means.end());
  const double tail = (1.0 - level) / 2.0;
  return Interval{quantile(means, tail), quantile(means, 1.0 - tail)};
}

std::optional<double> percentileRank(std::span<const double> distribution, double value) {
  if (distribution.empty()) return std::nullopt;
  double below = 0.0;
  for (const double d : distribution) below += d < value ? 1.0 : d == value ? 0.5 : 0.0;
  return 100.0 * below / static_cast<double>(distribution.size());
}

std::optional<std::vector<double>> leastSquaresStandardErrors(std::span<const double> jacobian,
                                                              size_t rows, size_t columns,
                                                              double sumOfSquares) {
  if (rows <= columns || jacobian.size() != rows * columns) return std::nullopt;
  const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>> j(
      jacobian.data(), static_cast<Eigen::Index>(rows), static_cast<Eigen::Index>(columns));
  const Eigen::MatrixXd information = j.transpose() * j;
  const Eigen::FullPivLU<Eigen::MatrixXd> lu(information);
  if (!lu.isInvertible()) return std::nullopt;
  const double variance = sumOfSquares / static_cast<double>(rows - columns);
  const Eigen::MatrixXd covariance = variance * lu.inverse();
  std::vector<double> errors;
  for (Eigen::Index i = 0; i < covariance.rows(); ++i) {
    const double v = covariance(i, i);
    if (!(v >= 0.0) || !std::isfinite(v)) return std::nullopt;
    errors.push_back(std::sqrt(v));
  }
  return errors;
}

}  // namespace quarn
