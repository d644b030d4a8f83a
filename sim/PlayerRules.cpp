#include "sim/PlayerRules.h"

#include <cmath>

#include "base/Numbers.h"
#include "sim/Chain.h"
#include "sim/SimulatedPlayer.h"

namespace quarn {

namespace {

const RoleState& stageOf(const ChainContext& c, int16_t role) {
  return c.chain.roles[static_cast<size_t>(role)];
}

// A term that applies only under a condition on the stage's figures: the
// term itself when the condition holds for every value of the ranges, else
// 0 or the term.
ValueRange whenPossibly(bool surely, ValueRange term) {
  return surely ? term : unite(exactly(0), term);
}

// Sterman: anchoring and adjustment. Its own state and order are kept with
// the simulated player; the order is clamped to MinOrder and MaxOrder.
int64_t stermanTerm(ChainContext& c, int16_t role, const PlayerStrategy& player) {
  return stermanOrder(c, role, player);
}

ValueRange stermanRange(const TrialPlan& trial, const PlayerStrategy&, const StageFigureRanges&) {
  return {std::min(trial.minOrder, trial.maxOrder), std::max(trial.minOrder, trial.maxOrder)};
}

RuleParameterFault stermanParameterFault(const PlayerStrategy& p) {
  // Every quantity of the chain fits in 32 bits, the supply line in five of
  // them; so the order's terms stay below this bound.
  constexpr double kQuantity = 2147483648.0;
  const double bound = (2 * kQuantity + std::abs(p.beta) * 5 * kQuantity) * std::abs(p.alpha) +
                       (std::abs(p.theta) + std::abs(1 - p.theta)) * kQuantity +
                       std::abs(p.epsilon);
  RuleParameterFault fault{"Alpha, Beta, Theta, Epsilon", ""};
  // An infinite supply-line weight with no adjustment gives NaN: a fault too.
  if (!(bound < 1e300)) {
    fault.complaint = "the Sterman parameters Alpha " + shortestDecimal(p.alpha) + ", Beta " +
                      shortestDecimal(p.beta) + ", Theta " + shortestDecimal(p.theta) +
                      " and Epsilon " + shortestDecimal(p.epsilon) +
                      " are too large for an order to be computed";
  }
  return fault;
}

// Demand: the demand the stage faces this week.
int64_t demandTerm(ChainContext& c, int16_t role, const PlayerStrategy&) {
  return stageOf(c, role).demand;
}

ValueRange demandRange(const TrialPlan&, const PlayerStrategy&, const StageFigureRanges& s) {
  return s.demand;
}

// BackOrder: the stage's backorder.
int64_t backorderTerm(ChainContext& c, int16_t role, const PlayerStrategy&) {
  const RoleState& s = stageOf(c, role);
  return s.inventory < 0 ? -int64_t{s.inventory} : 0;
}

ValueRange backorderRange(const TrialPlan&, const PlayerStrategy&, const StageFigureRanges& s) {
  const std::optional<ValueRange> backlog = negative(s.inventory);
  if (!backlog) return exactly(0);
  return whenPossibly(s.inventory.hi < 0, exactly(0) - *backlog);
}

// Delta: while the stage is in backorder and its stock fell in the last
// step, that fall plus the week's demand.
int64_t deltaTerm(ChainContext& c, int16_t role, const PlayerStrategy&) {
  const RoleState& s = stageOf(c, role);
  if (s.inventory < 0 && s.deltaInventory < 0) return int64_t{s.demand} - s.deltaInventory;
  return 0;
}

ValueRange deltaRange(const TrialPlan&, const PlayerStrategy&, const StageFigureRanges& s) {
  const std::optional<ValueRange> fall = negative(s.deltaInventory);
  if (!negative(s.inventory) || !fall) return exactly(0);
  return whenPossibly(s.inventory.hi < 0 && s.deltaInventory.hi < 0, s.demand - *fall);
}

constexpr RuleParameter kStermanParameters[] = {
    {"Alpha", &PlayerStrategy::alpha, 0.0, "Sterman rule: the share of the stock gap ordered", 0.0,
     1.2},
    {"Beta", &PlayerStrategy::beta, 0.0, "Sterman rule: the weight of the supply line", 0.0, 1.2},
    {"Epsilon", &PlayerStrategy::epsilon, 0.0, "Sterman rule: a constant added to the order", -3.0,
     3.0},
    {"Theta", &PlayerStrategy::theta, 0.0,
     "Sterman rule: the weight of the latest demand in the expected demand", 0.0, 1.0},
};

constexpr PlayerRuleEntry kRules[] = {
    {.column = "Sterman",
     .meaning = "1: the order includes the anchoring-and-adjustment rule (`Alpha` .. `Theta`)",
     .switchField = &PlayerStrategy::usesSterman,
     .parameters = kStermanParameters,
     .term = stermanTerm,
     .rangeTerm = stermanRange,
     .parameterFault = stermanParameterFault},
    {.column = "Demand",
     .meaning = "1: the order includes the week's incoming demand",
     .switchField = &PlayerStrategy::addsDemand,
     .term = demandTerm,
     .rangeTerm = demandRange},
    {.column = "BackOrder",
     .meaning = "1: the order includes the stage's backorder",
     .switchField = &PlayerStrategy::addsBackorder,
     .term = backorderTerm,
     .rangeTerm = backorderRange},
    {.column = "Delta",
     .meaning = "1: the order includes the growth of the backorder plus the week's demand",
     .switchField = &PlayerStrategy::addsDelta,
     .term = deltaTerm,
     .rangeTerm = deltaRange},
};

}  // namespace

std::span<const PlayerRuleEntry> playerRules() {
  return kRules;
}

std::vector<RuleParameterFault> parameterFaults(const PlayerStrategy& player) {
  std::vector<RuleParameterFault> faults;
  for (const PlayerRuleEntry& rule : playerRules()) {
    if (!follows(player, rule) || rule.parameterFault == nullptr) continue;
    RuleParameterFault fault = rule.parameterFault(player);
    if (!fault.complaint.empty()) faults.push_back(std::move(fault));
  }
  return faults;
}

}  // namespace quarn
