#include "analysis/DecisionRuleFit.h"

#include <nlopt.h>

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <ostream>
#include <thread>

#include "analysis/Measures.h"
#include "analysis/Statistics.h"
#include "base/Csv.h"
#include "sim/Chain.h"
#include "sim/SimulatedPlayer.h"

namespace quarn {

namespace {

constexpr int16_t kFactory = roleIndex(Role::Factory);

// A stage as the Sterman rule reads it, rebuilt from its record: stock, the
// units on the way and its latest order (the only order slot the rule counts).
RoleState stageFromRecord(const RecordedStage& record, int32_t latestOrder) {
  RoleState stage;
  stage.inventory = record.inventory;
  stage.delaySlots = record.delaySlots;
  stage.orderSlots = {latestOrder};
  return stage;
}

}  // namespace

std::vector<DecisionWeek> decisionWeeks(const RecordedTrial& trial, int16_t role) {
  std::vector<DecisionWeek> weeks;
  if (!isRole(role) || trial.weeks.empty() || trial.weeks[0].week != 1) {
    return weeks;
  }
  const auto r = static_cast<size_t>(role);
  const size_t count = decisionWeekCount(trial);
  // Every pipeline slot starts with the first order, which is what the
  // supplier received in week 1.
  int32_t latestOrder = role > kFactory ? trial.weeks[0].stages[r - 1].demand : 0;
  for (size_t i = 0; i < count; ++i) {
    const RecordedWeek& week = trial.weeks[i];
    if (i > 0 && week.week != trial.weeks[i - 1].week + 1) break;  // a week's rows are missing
    const RecordedStage& own = week.stages[r];
    const RoleState stage = stageFromRecord(own, latestOrder);
    const RoleState supplier =
        role > kFactory ? stageFromRecord(week.stages[r - 1], 0) : RoleState{};
    weeks.push_back({static_cast<double>(own.demand), static_cast<double>(own.inventory),
                     stermanSupplyLine(stage, role > kFactory ? &supplier : nullptr),
                     static_cast<double>(own.order)});
    latestOrder = own.order;
  }
  return weeks;
}

double smoothedDemand(double theta, double previousExpected, double received) {
  return theta * received + (1.0 - theta) * previousExpected;
}

double anchoringOrder(const AnchoringParameters& p, double expectedDemand, double stock,
                      double supplyLine) {
  return std::max(0.0, expectedDemand + p.alpha * (p.desiredStock - stock - p.beta * supplyLine));
}

std::vector<double> predictedOrders(const AnchoringParameters& p,
                                    std::span<const DecisionWeek> weeks) {
  std::vector<double> orders;
  orders.reserve(weeks.size());
  double expected = weeks.empty() ? 0.0 : weeks[0].receivedDemand;
  for (const DecisionWeek& w : weeks) {
    expected = smoothedDemand(p.theta, expected, w.receivedDemand);
    orders.push_back(anchoringOrder(p, expected, w.stock, w.supplyLine));
  }
  return orders;
}

namespace {

double squaredError(const AnchoringParameters& p, std::span<const DecisionWeek> weeks) {
  const std::vector<double> predicted = predictedOrders(p, weeks);
  double sum = 0.0;
  for (size_t i = 0; i < weeks.size(); ++i) {
    const double e = weeks[i].order - predicted[i];
    sum += e * e;
  }
  return sum;
}

// The optimiser works on theta, alpha, beta and S' / scale, so that all four
// move on similar scales.
struct Problem {
  std::span<const DecisionWeek> weeks;
  double scale = 1.0;

  AnchoringParameters parameters(const double* x) const { return {x[0], x[1], x[2], x[3] * scale}; }
};

double objective(unsigned /*n*/, const double* x, double* /*gradient*/, void* data) {
  const auto& problem = *static_cast<const Problem*>(data);
  return squaredError(problem.parameters(x), problem.weeks);
}

double largest(std::span<const DecisionWeek> weeks, double DecisionWeek::*field) {
  double m = 0.0;
  for (const DecisionWeek& w : weeks) m = std::max(m, std::abs(w.*field));
  return m;
}

// Ten times anything the weeks show: an estimate at this ceiling says the
// desired stock is not determined by the orders.
double desiredStockCeiling(std::span<const DecisionWeek> weeks) {
  return 10.0 * (largest(weeks, &DecisionWeek::stock) + largest(weeks, &DecisionWeek::supplyLine) +
                 largest(weeks, &DecisionWeek::order) +
                 largest(weeks, &DecisionWeek::receivedDemand)) +
         10.0;
}

// A bounded, derivative-free local search (BOBYQA) from `x`; the max(0, ...)
// of the rule leaves the squared error without a gradient at the kink.
// Returns the squared error reached and leaves the point in `x`.
double localSearch(const Problem& problem, std::array<double, 4>& x) {
  nlopt_opt opt = nlopt_create(NLOPT_LN_BOBYQA, 4);
  const std::array<double, 4> lower{0.0, 0.0, 0.0, 0.0};
  const std::array<double, 4> upper{1.0, 1.0, 1.0, 10.0};
  const std::array<double, 4> step{0.05, 0.05, 0.05, 0.1};
  nlopt_set_lower_bounds(opt, lower.data());
  nlopt_set_upper_bounds(opt, upper.data());
  nlopt_set_initial_step(opt, step.data());
  nlopt_set_min_objective(opt, objective, const_cast<Problem*>(&problem));
  nlopt_set_xtol_rel(opt, 1e-10);
  nlopt_set_maxeval(opt, 4000);
  double value = std::numeric_limits<double>::infinity();
  if (nlopt_optimize(opt, x.data(), &value) < 0) {
    value = squaredError(problem.parameters(x.data()), problem.weeks);
  }
  nlopt_destroy(opt);
  return value;
}

// For a fixed theta the rule's order, while above 0, is linear in
// a = alpha, d = alpha x beta and c = alpha x S':
//   O_t = E_t - a x stock_t - d x supplyLine_t + c,
// and the bounds become 0 <= a <= 1, 0 <= d <= a, 0 <= c <= a x ceiling.
// That least-squares problem is convex; its minimum lies in the interior of
// the region or of one of its faces, so solving on every face (the
// constraints held as equalities, up to three at once) and keeping the
// best point that meets every bound finds it exactly. The weeks whose
// order the rule puts below 0 (and so at 0) are then left out, their error
// being fixed, and the problem solved again until they stay the same.
class ProfileForTheta {
 public:
  ProfileForTheta(std::span<const DecisionWeek> weeks, double ceiling) : m_weeks(weeks) {
    // Rows of A v >= b over v = (a, d, c).
    m_bounds << 1, 0, 0, -1, 0, 0, 0, 1, 0, 1, -1, 0, 0, 0, 1, ceiling, 0, -1;
    m_limits << 0, -1, 0, 0, 0, 0;
  }

  // The best (theta, alpha, beta, S' / scale) for `theta`.
  std::array<double, 4> solve(double theta, double scale) const {
    std::vector<double> expected;
    double e = m_weeks.empty() ? 0.0 : m_weeks[0].receivedDemand;
    for (const DecisionWeek& w : m_weeks) {
      e = smoothedDemand(theta, e, w.receivedDemand);
      expected.push_back(e);
    }
    std::vector<bool> above(m_weeks.size(), true);
    Eigen::Vector3d best = Eigen::Vector3d::Zero();
    double bestError = std::numeric_limits<double>::infinity();
    for (int round = 0; round < kRounds; ++round) {
      const Eigen::Vector3d v = leastSquares(expected, above);
      std::vector<bool> next(m_weeks.size());
      double error = 0.0;
      for (size_t t = 0; t < m_weeks.size(); ++t) {
        const DecisionWeek& w = m_weeks[t];
        const double linear = expected[t] - v[0] * w.stock - v[1] * w.supplyLine + v[2];
        next[t] = linear > 0.0;
        const double residual = w.order - std::max(0.0, linear);
        error += residual * residual;
      }
      if (error < bestError) {
        bestError = error;
        best = v;
      }
      if (next == above) break;
      above = std::move(next);
    }
    const double alpha = best[0];
    if (alpha <= 0.0) return {theta, 0.0, 0.5, 0.0};
    return {theta, alpha, std::clamp(best[1] / alpha, 0.0, 1.0),
            std::clamp(best[2] / alpha / scale, 0.0, 10.0)};
  }

 private:
  static constexpr int kBounds = 6;
  static constexpr int kRounds = 6;

  // The least-squares (a, d, c) within the bounds over the weeks in `above`.
  Eigen::Vector3d leastSquares(const std::vector<double>& expected,
                               const std::vector<bool>& above) const {
    Eigen::Matrix3d normal = Eigen::Matrix3d::Zero();
    Eigen::Vector3d moment = Eigen::Vector3d::Zero();
    for (size_t t = 0; t < m_weeks.size(); ++t) {
      if (!above[t]) continue;
      const Eigen::Vector3d x(-m_weeks[t].stock, -m_weeks[t].supplyLine, 1.0);
      normal += x * x.transpose();
      moment += x * (m_weeks[t].order - expected[t]);
    }
    Eigen::Vector3d best = Eigen::Vector3d::Zero();
    double bestValue = std::numeric_limits<double>::infinity();
    for (unsigned active = 0; active < (1u << kBounds); ++active) {
      if (std::popcount(active) > 3) continue;
      const std::optional<Eigen::Vector3d> v = onFace(active, normal, moment);
      if (!v || !feasible(*v)) continue;
      // The squared error less the constant sum of squares of the targets.
      const double value = v->dot(normal * *v) - 2.0 * moment.dot(*v);
      if (value < bestValue) {
        bestValue = value;
        best = *v;
      }
    }
    return best;
  }

  // The least-squares point with the bounds in `active` held as equalities
  // (Lagrange's conditions solved as one linear system); the least-norm
  // solution where the weeks leave a direction free.
  std::optional<Eigen::Vector3d> onFace(unsigned active, const Eigen::Matrix3d& normal,
                                        const Eigen::Vector3d& moment) const {
    std::vector<int> rows;
    for (int i = 0; i < kBounds; ++i) {
      if (active & (1u << i)) rows.push_back(i);
    }
    const auto k = static_cast<Eigen::Index>(rows.size());
    Eigen::MatrixXd system = Eigen::MatrixXd::Zero(3 + k, 3 + k);
    Eigen::VectorXd right(3 + k);
    system.topLeftCorner(3, 3) = normal;
    right.head(3) = moment;
    for (Eigen::Index j = 0; j < k; ++j) {
      const int row = rows[static_cast<size_t>(j)];
      system.block(0, 3 + j, 3, 1) = m_bounds.row(row).transpose();
      system.block(3 + j, 0, 1, 3) = m_bounds.row(row);
      right[3 + j] = m_limits[row];
    }
    const Eigen::CompleteOrthogonalDecomposition<Eigen::MatrixXd> solver(system);
    const Eigen::VectorXd solution = solver.solve(right);
    if (!solution.allFinite() || (system * solution - right).norm() > 1e-6 * (1.0 + right.norm())) {
      return std::nullopt;
    }
    return Eigen::Vector3d(solution.head(3));
  }

  bool feasible(const Eigen::Vector3d& v) const {
    const Eigen::Matrix<double, kBounds, 1> slack = m_bounds * v - m_limits;
    return (slack.array() >= -1e-9 * (1.0 + m_limits.cwiseAbs().maxCoeff())).all();
  }

  std::span<const DecisionWeek> m_weeks;
  Eigen::Matrix<double, kBounds, 3> m_bounds;
  Eigen::Matrix<double, kBounds, 1> m_limits;
};

// Where the local searches start: the exact least-squares points of the
// rule without its floor at 0 along a fine grid of theta, the best of them
// (each a local minimum along theta) first.
std::vector<std::array<double, 4>> startingPoints(const Problem& problem, double ceiling) {
  constexpr int kThetaSteps = 100;
  constexpr size_t kStarts = 6;
  const ProfileForTheta profile(problem.weeks, ceiling);
  std::vector<std::pair<double, std::array<double, 4>>> along;
  for (int i = 0; i <= kThetaSteps; ++i) {
    const std::array<double, 4> x = profile.solve(i / double(kThetaSteps), problem.scale);
    along.emplace_back(squaredError(problem.parameters(x.data()), problem.weeks), x);
  }
  std::vector<std::pair<double, std::array<double, 4>>> minima;
  for (size_t i = 0; i < along.size(); ++i) {
    const bool belowLeft = i == 0 || along[i].first <= along[i - 1].first;
    const bool belowRight = i + 1 == along.size() || along[i].first <= along[i + 1].first;
    if (belowLeft && belowRight) minima.push_back(along[i]);
  }
  std::sort(minima.begin(), minima.end(),
            [](const auto& l, const auto& r) { return l.first < r.first; });
  std::vector<std::array<double, 4>> points;
  for (size_t i = 0; i < minima.size() && i < kStarts; ++i) points.push_back(minima[i].second);
  return points;
}

}  // namespace

bool isDetermined(const AnchoringParameters& estimate, double desiredStockCeiling,
                  bool hasStandardErrors) {
  return hasStandardErrors && estimate.alpha >= kNegligibleAlpha &&
         estimate.desiredStock < 0.99 * desiredStockCeiling;
}

bool isIdentified(const AnchoringParameters& estimate, double desiredStockCeiling,
                  const std::optional<AnchoringParameters>& standardErrors) {
  if (!standardErrors || !isDetermined(estimate, desiredStockCeiling, true)) return false;
  constexpr double kNormal95 = 1.96;
  const auto within = [&](double AnchoringParameters::*field, double upper) {
    const double reach = kNormal95 * (*standardErrors).*field;
    return std::isfinite(reach) && estimate.*field - reach > 0.0 && estimate.*field + reach < upper;
  };
  return within(&AnchoringParameters::theta, 1.0) && within(&AnchoringParameters::alpha, 1.0) &&
         within(&AnchoringParameters::beta, 1.0) &&
         within(&AnchoringParameters::desiredStock, desiredStockCeiling);
}

std::optional<AnchoringParameters> fitStandardErrors(const AnchoringParameters& p,
                                                     std::span<const DecisionWeek> weeks) {
  constexpr size_t kParameters = 4;
  const std::array<double AnchoringParameters::*, kParameters> fields{
      &AnchoringParameters::theta, &AnchoringParameters::alpha, &AnchoringParameters::beta,
      &AnchoringParameters::desiredStock};
  const size_t n = weeks.size();
  // Central differences, each parameter stepped in proportion to its size.
  std::vector<double> jacobian(n * kParameters);
  for (size_t c = 0; c < kParameters; ++c) {
    const double step = 1e-6 * std::max(1.0, std::abs(p.*fields[c]));
    AnchoringParameters up = p, down = p;
    up.*fields[c] += step;
    down.*fields[c] -= step;
    const std::vector<double> high = predictedOrders(up, weeks);
    const std::vector<double> low = predictedOrders(down, weeks);
    for (size_t i = 0; i < n; ++i) jacobian[i * kParameters + c] = (high[i] - low[i]) / (2 * step);
  }
  const std::optional<std::vector<double>> errors =
      leastSquaresStandardErrors(jacobian, n, kParameters, squaredError(p, weeks));
  if (!errors) return std::nullopt;
  return AnchoringParameters{(*errors)[0], (*errors)[1], (*errors)[2], (*errors)[3]};
}

std::optional<RuleFit> fitAnchoringRule(std::span<const DecisionWeek> weeks) {
  if (weeks.size() < kMinimumFitWeeks) return std::nullopt;
  Problem problem{weeks, desiredStockCeiling(weeks) / 10.0};

  std::array<double, 4> best{};
  double bestValue = std::numeric_limits<double>::infinity();
  for (std::array<double, 4> x : startingPoints(problem, desiredStockCeiling(weeks))) {
    // The start itself counts: the search never ends above it, but its
    // result is kept only where it is lower.
    const double start = squaredError(problem.parameters(x.data()), weeks);
    const std::array<double, 4> from = x;
    double value = localSearch(problem, x);
    if (start < value) {
      value = start;
      x = from;
    }
    if (value < bestValue) {
      bestValue = value;
      best = x;
    }
  }

  RuleFit fit;
  fit.estimate = problem.parameters(best.data());
  fit.weeksUsed = weeks.size();
  fit.rmse = std::sqrt(bestValue / static_cast<double>(weeks.size()));
  fit.desiredStockCeiling = problem.scale * 10.0;
  fit.standardErrors = fitStandardErrors(fit.estimate, weeks);
  fit.determined =
      isDetermined(fit.estimate, fit.desiredStockCeiling, fit.standardErrors.has_value());
  fit.identified = isIdentified(fit.estimate, fit.desiredStockCeiling, fit.standardErrors);
  if (!fit.identified) fit.standardErrors.reset();  // errors that do not hold are not given
  std::vector<double> orders;
  for (const DecisionWeek& w : weeks) orders.push_back(w.order);
  const double total = populationVariance(orders) * static_cast<double>(orders.size());
  if (total > 0.0) fit.rSquared = 1.0 - bestValue / total;
  return fit;
}

std::vector<ParticipantFit> fitParticipants(const std::vector<RecordedTrial>& trials, int jobs) {
  std::vector<ParticipantFit> fits;
  for (const RecordedTrial& trial : trials) {
    if (hasParticipant(trial.participantRole)) fits.push_back({&trial, std::nullopt});
  }
  // The fits share nothing: each worker takes the next one not yet taken.
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < fits.size(); i = next++) {
      const RecordedTrial& trial = *fits[i].trial;
      fits[i].fit = fitAnchoringRule(decisionWeeks(trial, trial.participantRole));
    }
  };
  {
    std::vector<std::jthread> workers;
    const int threads =
        std::clamp<int>(jobs, 1, static_cast<int>(std::max<size_t>(fits.size(), 1)));
    for (int j = 1; j < threads; ++j) workers.emplace_back(work);
    work();
  }  // joined here, before the fits are handed back
  return fits;
}

void writeFitsCsv(std::ostream& out, const std::vector<ParticipantFit>& fits) {
  out << "Subject,Setting,Trial,Stage,WeeksUsed,Theta,Alpha,Beta,DesiredStock,RSquared,RMSE,"
         "Identified,ThetaSe,AlphaSe,BetaSe,DesiredStockSe\n";
  for (const ParticipantFit& f : fits) {
    const RecordedTrial& t = *f.trial;
    out << csvField(t.subject) << ',' << csvField(t.setting) << ',' << t.trial << ','
        << roleName(t.participantRole) << ',';
    if (f.fit) {
      const AnchoringParameters& e = f.fit->estimate;
      out << f.fit->weeksUsed << ',' << csvNumber(e.theta) << ',' << csvNumber(e.alpha) << ','
          << csvNumber(e.beta) << ',' << csvNumber(e.desiredStock) << ','
          << csvNumber(f.fit->rSquared) << ',' << csvNumber(f.fit->rmse) << ','
          << (f.fit->identified ? 1 : 0);
      const std::optional<AnchoringParameters>& se = f.fit->standardErrors;
      for (const auto field : {&AnchoringParameters::theta, &AnchoringParameters::alpha,
                               &AnchoringParameters::beta, &AnchoringParameters::desiredStock}) {
        out << ',' << (se ? csvNumber((*se).*field) : "");
      }
    } else {
      out << decisionWeeks(t, t.participantRole).size() << ",,,,,,,0,,,,";
    }
    out << "\n";
  }
}

}  // namespace quarn
