#include "analysis/DecisionRuleFit.h"

#include <nlopt.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <ostream>
#include <thread>

#include "analysis/Measures.h"
#include "analysis/Statistics.h"
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

double average(std::span<const DecisionWeek> weeks, double DecisionWeek::*field) {
  double sum = 0.0;
  for (const DecisionWeek& w : weeks) sum += w.*field;
  return sum / static_cast<double>(weeks.size());
}

// Ten times anything the weeks show: an estimate at this ceiling says the
// desired stock is not determined by the orders.
double desiredStockCeiling(std::span<const DecisionWeek> weeks) {
  return 10.0 * (largest(weeks, &DecisionWeek::stock) + largest(weeks, &DecisionWeek::supplyLine) +
                 largest(weeks, &DecisionWeek::order) +
                 largest(weeks, &DecisionWeek::receivedDemand)) +
         10.0;
}

// A bounded, derivative-free local search (BOBYQA) from `start`; the
// max(0, ...) of the rule leaves the squared error without a gradient at the
// kink. Returns the squared error reached and leaves the point in `x`.
double localSearch(const Problem& problem, std::array<double, 4>& x) {
  nlopt_opt opt = nlopt_create(NLOPT_LN_BOBYQA, 4);
  const std::array<double, 4> lower{0.0, 0.0, 0.0, 0.0};
  const std::array<double, 4> upper{1.0, 1.0, 1.0, 10.0};
  const std::array<double, 4> step{0.1, 0.1, 0.1, 0.5};
  nlopt_set_lower_bounds(opt, lower.data());
  nlopt_set_upper_bounds(opt, upper.data());
  nlopt_set_initial_step(opt, step.data());
  nlopt_set_min_objective(opt, objective, const_cast<Problem*>(&problem));
  nlopt_set_xtol_rel(opt, 1e-9);
  nlopt_set_maxeval(opt, 4000);
  double value = std::numeric_limits<double>::infinity();
  if (nlopt_optimize(opt, x.data(), &value) < 0) {
    value = squaredError(problem.parameters(x.data()), problem.weeks);
  }
  nlopt_destroy(opt);
  return value;
}

// Where the local searches start: the best points of a coarse grid over
// the whole box (the squared error has flat stretches, at alpha 0 above all,
// where a search started far off stalls), and each parameter low and high
// with S' around the stock plus a share of the supply line, where a steady
// chain holds it.
std::vector<std::array<double, 4>> startingPoints(const Problem& problem) {
  constexpr size_t kFromGrid = 8;
  std::vector<std::pair<double, std::array<double, 4>>> grid;
  for (int t = 0; t <= 10; ++t) {
    for (int a = 0; a <= 20; ++a) {
      for (int b = 0; b <= 10; ++b) {
        for (int s = 0; s <= 20; ++s) {
          const std::array<double, 4> x{t / 10.0, a / 20.0, b / 10.0, s / 2.0};
          grid.emplace_back(squaredError(problem.parameters(x.data()), problem.weeks), x);
        }
      }
    }
  }
  std::partial_sort(grid.begin(), grid.begin() + kFromGrid, grid.end(),
                    [](const auto& l, const auto& r) { return l.first < r.first; });
  std::vector<std::array<double, 4>> points;
  for (size_t i = 0; i < kFromGrid; ++i) points.push_back(grid[i].second);

  const double stock = std::max(0.0, average(problem.weeks, &DecisionWeek::stock));
  const double line = std::max(0.0, average(problem.weeks, &DecisionWeek::supplyLine));
  for (const double theta : {0.25, 0.75}) {
    for (const double alpha : {0.25, 0.75}) {
      for (const double beta : {0.25, 0.75}) {
        for (const double share : {0.25, 0.75}) {
          points.push_back(
              {theta, alpha, beta, std::clamp((stock + share * line) / problem.scale, 0.0, 10.0)});
        }
      }
    }
  }
  return points;
}

}  // namespace

bool isIdentified(const AnchoringParameters& estimate, double desiredStockCeiling,
                  bool hasStandardErrors) {
  return hasStandardErrors && estimate.alpha >= kNegligibleAlpha &&
         estimate.desiredStock < 0.99 * desiredStockCeiling;
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
  for (std::array<double, 4> x : startingPoints(problem)) {
    const double value = localSearch(problem, x);
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
  fit.identified =
      isIdentified(fit.estimate, fit.desiredStockCeiling, fit.standardErrors.has_value());
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
    out << csvText(t.subject) << ',' << csvText(t.setting) << ',' << t.trial << ','
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
