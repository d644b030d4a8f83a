#pragma once

// The anchoring-and-adjustment rule of Sterman (1989), fitted to a stage's
// recorded orders:
//
//   expected demand  E_t = theta x D_t + (1 - theta) x E_{t-1},  E_0 = D_1
//   order            O_t = max(0, E_t + alpha x (S' - stock_t - beta x supplyLine_t))
//
// D_t is the demand the stage received in week t, stock_t its net inventory
// and supplyLine_t what it has asked for and not yet received, counted as the
// simulated players count it (stermanSupplyLine), all read from the weeks'
// records at the moment the order was placed.

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <span>
#include <vector>

#include "analysis/RecordedTrial.h"

namespace quarn {

struct AnchoringParameters {
  double theta = 0.0;         // weight of the newest demand in the expected demand, 0..1
  double alpha = 0.0;         // share of the stock gap ordered each week, 0..1
  double beta = 0.0;          // weight of the supply line in the stock gap, 0..1
  double desiredStock = 0.0;  // S', 0 or more
};

// What the rule sees in one week, and the order placed.
struct DecisionWeek {
  double receivedDemand = 0.0;
  double stock = 0.0;
  double supplyLine = 0.0;
  double order = 0.0;
};

// The decision weeks of stage `role` of a recorded trial (the weeks whose
// orders reach the chain), with the state as it stood when each order was
// placed.
std::vector<DecisionWeek> decisionWeeks(const RecordedTrial& trial, int16_t role);

// The next expected demand after receiving `received`.
double smoothedDemand(double theta, double previousExpected, double received);
// The rule's order for one week.
double anchoringOrder(const AnchoringParameters& p, double expectedDemand, double stock,
                      double supplyLine);
// The rule's orders over the weeks, expected demand starting at the first
// week's received demand.
std::vector<double> predictedOrders(const AnchoringParameters& p,
                                    std::span<const DecisionWeek> weeks);

// Fewer weeks than this leave the four parameters undetermined.
inline constexpr size_t kMinimumFitWeeks = 6;

// Alpha below this counts as 0: the orders follow the expected demand
// alone, and beta and S' have nothing to act on.
inline constexpr double kNegligibleAlpha = 0.01;

struct RuleFit {
  AnchoringParameters estimate;
  std::optional<double> rSquared;  // empty when the orders never change
  double rmse = 0.0;
  size_t weeksUsed = 0;
  double desiredStockCeiling = 0.0;  // the upper bound S' was searched within
  // From the Jacobian of the rule's orders at the estimate; empty unless the
  // fit is identified.
  std::optional<AnchoringParameters> standardErrors;
  // False when alpha is near 0, S' is at its ceiling or the Jacobian lacks
  // full rank: then alpha, beta and S' are not determined by the orders.
  bool determined = false;
  // True when the standard errors hold (see isIdentified).
  bool identified = false;
};

// Whether alpha, beta and S' are determined by the orders: the Jacobian has
// full rank (`hasStandardErrors`), alpha is at least kNegligibleAlpha and S'
// below its ceiling.
bool isDetermined(const AnchoringParameters& estimate, double desiredStockCeiling,
                  bool hasStandardErrors);

// Whether a fit is identified, i.e. its standard errors hold: the estimates
// are determined and every estimate's 95 % interval (1.96 standard errors
// either side) lies within its bounds (theta, alpha, beta in 0..1, S' from 0
// to its ceiling). The errors rest on the rule being nearly linear around an
// optimum inside the bounds; an estimate on or near a bound, or an error as
// wide as the parameter's range, is beyond what they describe.
bool isIdentified(const AnchoringParameters& estimate, double desiredStockCeiling,
                  const std::optional<AnchoringParameters>& standardErrors);

// The standard errors of the four parameters at `p`, from the numerical
// Jacobian of the rule's orders over the weeks; empty when they are not
// determined.
std::optional<AnchoringParameters> fitStandardErrors(const AnchoringParameters& p,
                                                     std::span<const DecisionWeek> weeks);

// Least squares within the bounds (theta, alpha, beta in 0..1, S' from 0 to a
// ceiling far above anything the weeks show), from several starting points;
// empty when there are fewer than kMinimumFitWeeks weeks.
std::optional<RuleFit> fitAnchoringRule(std::span<const DecisionWeek> weeks);

// The participant's rule of one recorded trial.
struct ParticipantFit {
  const RecordedTrial* trial = nullptr;
  std::optional<RuleFit> fit;  // empty when the trial has too few decision weeks
};

// One fit per trial that has a participant, in the trials' order; `jobs`
// threads share the fits.
std::vector<ParticipantFit> fitParticipants(const std::vector<RecordedTrial>& trials, int jobs = 1);

// One row per fit under a header row (CSV, RFC 4180); the estimates of a
// trial with too few weeks are empty.
void writeFitsCsv(std::ostream& out, const std::vector<ParticipantFit>& fits);

}  // namespace quarn
