#include "plan/PlanBounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "sim/Chain.h"
#include "sim/PlayerRules.h"
#include "sim/TrialStart.h"

namespace quarn {

namespace {

constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin16 = std::numeric_limits<int16_t>::min();
constexpr int64_t kMax16 = std::numeric_limits<int16_t>::max();

using Range = ValueRange;

// A value of the range that leaves its width, found in some week.
struct Exceeded {
  int role = 0;      // kNoParticipant: the trial's end cost against its share
  std::string what;  // "inventory or backorder", "order", "weekly cost", ...
  int64_t week = 0;
  std::string value;  // the value it can reach
  std::string limit;  // the end of the width it passes

  std::string complaint() const {
    if (role == kNoParticipant) {
      return "the trial's end cost can reach " + value + ", beyond " + limit;
    }
    return "the " + roleName(role) + "'s " + what + " can reach " + value + " in week " +
           decimal(week) + ", beyond " + limit;
  }
  // What overflows, in a moderator's words: "the Factory's backorder".
  std::string quantity() const {
    if (role == kNoParticipant) return "the game's cost sum over all trials";
    std::string named = what;
    if (what == "inventory or backorder") named = value.front() == '-' ? "backorder" : "inventory";
    return "the " + roleName(role) + "'s " + named;
  }
};

// The chain of one trial as ranges: the same steps as the week step, in the
// same order, each narrowing checked where the week step narrows a value it
// keeps. The participant (every team member) orders anything from 0 to
// `largestOrder`.
class ChainBounds {
 public:
  ChainBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
              int64_t largestOrder, const WeekRangesSink* eachWeek = nullptr)
      : m_trial(trial),
        m_players(players),
        m_largestOrder(largestOrder),
        m_lastTyped(lastTypedStage(trial)),
        m_eachWeek(eachWeek) {}

  void run() {
    start();
    for (int64_t press = 1; press <= m_trial.weeks; ++press) closeWeek(press + 1);
  }

  Range endCost() const {
    Range sum;
    for (const Stage& s : m_stages) sum = sum + s.totalCost;
    return sum;
  }

 private:
  struct Stage {
    Range inventory, deltaInventory, received, demand, satisfied, totalCost;
    std::vector<Range> orderSlots, delaySlots;
  };

  void start() {
    for (int r = 0; r < kRoleCount; ++r) {
      Stage& s = m_stages[r];
      s.orderSlots.assign(static_cast<size_t>(m_trial.orderDelay) + 1, exactly(m_trial.firstOrder));
      s.inventory = s.deltaInventory = exactly(m_trial.initialInventory);
      s.received = exactly(m_trial.initialShipment);
      s.delaySlots.assign(static_cast<size_t>(m_trial.delay), exactly(m_trial.initialShipment));
      s.demand =
          exactly(r == roleIndex(Role::Retailer) ? m_trial.weeklyDemand[0] : m_trial.firstOrder);
    }
    stepWeek(1);
  }

  Range fit32(Range r, const char* what, int role, int64_t week) const {
    if (r.hi > kMax32) throw Exceeded{role, what, week, decimal(r.hi), "2147483647"};
    if (r.lo < kMin32) throw Exceeded{role, what, week, decimal(r.lo), "-2147483648"};
    return r;
  }

  // A cost in double precision rounded to 32 bits, as the cost charge does.
  Range fitCost(double lo, double hi, const char* what, int role, int64_t week) const {
    const double rlo = roundHalfEven(lo);
    const double rhi = roundHalfEven(hi);
    if (!(rhi <= static_cast<double>(kMax32))) {
      throw Exceeded{role, what, week, shortestDecimal(hi), "2147483647"};
    }
    if (!(rlo >= static_cast<double>(kMin32))) {
      throw Exceeded{role, what, week, shortestDecimal(lo), "-2147483648"};
    }
    return {static_cast<int64_t>(rlo), static_cast<int64_t>(rhi)};
  }

  void stepWeek(int64_t w) {
    for (int r = 0; r < kRoleCount; ++r) {
      Stage& s = m_stages[r];
      s.demand = r == roleIndex(Role::Retailer)
                     ? exactly(m_trial.weeklyDemand[static_cast<size_t>(w - 1)])
                     : m_stages[r + 1].orderSlots[0];
      shipGoods(r, w);
      advanceShipments(r);
    }
    for (int r = roleIndex(Role::Retailer); r > m_lastTyped; --r) placeOrder(r, w);
  }

  void closeWeek(int64_t w) {
    for (int r = m_lastTyped; r >= 0; --r) placeOrder(r, w);
    for (int r = 0; r < kRoleCount; ++r) chargeCost(r, w);
    if (m_eachWeek) tellWeek(w);
    if (w <= m_trial.weeks) stepWeek(w);
  }

  void tellWeek(int64_t w) const {
    std::array<StageRanges, kRoleCount> stages;
    for (int r = 0; r < kRoleCount; ++r) {
      const Stage& s = m_stages[r];
      StageRanges& out = stages[static_cast<size_t>(r)];
      out = {s.inventory, s.deltaInventory, s.received, s.demand, s.satisfied, s.totalCost, {}, {}};
      for (const Range& slot : s.orderSlots) out.orderSlots.push_back(slot);
      for (const Range& slot : s.delaySlots) out.delaySlots.push_back(slot);
    }
    (*m_eachWeek)(w, stages);
  }

  // The stock available and the units required are only compared: the
  // shipment is the value narrowed.
  void shipGoods(int r, int64_t w) {
    Stage& s = m_stages[r];
    s.received = s.delaySlots[0];
    std::optional<Range> satisfied;
    if (const std::optional<Range> stock = nonNegative(s.inventory)) {
      satisfied = smallerOf(*stock + s.received, s.demand);
    }
    if (const std::optional<Range> backlog = negative(s.inventory)) {
      const Range shipped = smallerOf(s.received, s.demand - *backlog);
      satisfied = satisfied ? unite(*satisfied, shipped) : shipped;
    }
    s.satisfied = fit32(*satisfied, "shipment", r, w);
    s.deltaInventory = fit32(s.received - s.demand, "change of inventory", r, w);
    s.inventory = fit32(s.inventory + s.deltaInventory, "inventory or backorder", r, w);
  }

  void advanceShipments(int r) {
    Stage& s = m_stages[r];
    std::rotate(s.delaySlots.begin(), s.delaySlots.begin() + 1, s.delaySlots.end());
    s.delaySlots.back() =
        r > roleIndex(Role::Factory) ? m_stages[r - 1].satisfied : s.orderSlots.back();
  }

  void placeOrder(int r, int64_t w) {
    Stage& s = m_stages[r];
    Range order;
    if (w >= m_trial.weeks) {
      order = s.orderSlots[0];
    } else if (isTypedStage(m_trial, static_cast<int16_t>(r))) {
      order = {0, m_largestOrder};
    } else {
      order = playerOrder(r, w);
    }
    std::rotate(s.orderSlots.begin(), s.orderSlots.begin() + 1, s.orderSlots.end());
    s.orderSlots.back() = order;
  }

  // The rules' terms are added up in 64 bits; the order placed is narrowed.
  Range playerOrder(int r, int64_t w) const {
    const Stage& s = m_stages[r];
    const PlayerStrategy& p = m_players[static_cast<size_t>(m_trial.rolePlayers[r])];
    Range order = m_trial.maxNoise > 0 ? Range{-1, 2 * int64_t{m_trial.maxNoise} - 2} : Range{};
    const StageFigureRanges figures{s.demand, s.inventory, s.deltaInventory};
    for (const PlayerRuleEntry& rule : playerRules()) {
      if (follows(p, rule)) order = order + rule.rangeTerm(m_trial, p, figures);
    }
    if (order.lo < 0) {
      const Range replaced = exactly(p.orderIfNegative);
      if (order.hi < 0) return replaced;
      order = unite(Range{0, order.hi}, replaced);
    }
    return fit32(order, "order", r, w);
  }

  void chargeCost(int r, int64_t w) {
    Stage& s = m_stages[r];
    std::optional<Range> stockCost;
    if (const std::optional<Range> stock = nonNegative(s.inventory)) {
      const double a = static_cast<double>(stock->lo) * m_trial.inventoryCostRate;
      const double b = static_cast<double>(stock->hi) * m_trial.inventoryCostRate;
      stockCost = fitCost(std::min(a, b), std::max(a, b), "inventory cost", r, w);
    }
    if (const std::optional<Range> backlog = negative(s.inventory)) {
      const double a = -static_cast<double>(backlog->hi) * m_trial.backorderCostRate;
      const double b = -static_cast<double>(backlog->lo) * m_trial.backorderCostRate;
      const Range cost = fitCost(std::min(a, b), std::max(a, b), "backorder cost", r, w);
      stockCost = stockCost ? unite(*stockCost, cost) : cost;
    }
    // The goods in transit only feed the transit cost.
    Range transit;
    for (const Range& units : s.delaySlots) transit = transit + units;
    const double a = static_cast<double>(transit.lo) * m_trial.transitCostRate;
    const double b = static_cast<double>(transit.hi) * m_trial.transitCostRate;
    const Range weekly =
        fitCost(std::min(a, b) + static_cast<double>(stockCost->lo),
                std::max(a, b) + static_cast<double>(stockCost->hi), "weekly cost", r, w);
    s.totalCost = fit32(s.totalCost + weekly, "total cost", r, w);
  }

  const TrialPlan& m_trial;
  const std::vector<PlayerStrategy>& m_players;
  const int64_t m_largestOrder;
  const int m_lastTyped;  // the most downstream stage a person orders for
  const WeekRangesSink* m_eachWeek;
  Stage m_stages[kRoleCount];
};

// The end cost of the trial with participant orders up to `largestOrder`,
// or what leaves its width.
struct ChainRun {
  std::optional<Exceeded> exceeded;
  Range endCost;
};

ChainRun followChain(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                     int64_t largestOrder, std::optional<double> costShare) {
  ChainBounds chain(trial, players, largestOrder);
  try {
    chain.run();
  } catch (const Exceeded& e) {
    return {e, {}};
  }
  const Range cost = chain.endCost();
  if (costShare) {
    const double beyond = cost.hi > *costShare ? cost.hi : cost.lo < -*costShare ? cost.lo : 0;
    if (beyond != 0) {
      return {Exceeded{kNoParticipant, "end cost", trial.weeks, shortestDecimal(beyond),
                       "its share " + shortestDecimal(*costShare) +
                           " of the game's cost sum (2147483647 over all trials)"},
              {}};
    }
  }
  return {std::nullopt, cost};
}

}  // namespace

bool followWeekRanges(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                      int64_t largestOrder, const WeekRangesSink& eachWeek) {
  ChainBounds chain(trial, players, largestOrder, &eachWeek);
  try {
    chain.run();
  } catch (const Exceeded&) {
    return false;
  }
  return true;
}

namespace {

// The demand of week w (1-based) as a plan field: InitialDemand and
// SecondDemand, or the demand file.
std::string demandFields(const TrialPlan& trial) {
  return trial.inputFile.empty() ? "InitialDemand, SecondDemand" : "Input";
}

std::string chainFields(const TrialPlan& trial, const std::string& weeksField,
                        int64_t largestOrder) {
  return "InitInventory " + decimal(trial.initialInventory) + ", InitDelayAmount " +
         decimal(trial.initialShipment) + ", FirstOrder " + decimal(trial.firstOrder) +
         ", MinOrder " + decimal(trial.minOrder) + ", MaxOrder " + decimal(trial.maxOrder) +
         ", MaxNoise " + decimal(trial.maxNoise) + ", " + weeksField + " " + decimal(trial.weeks) +
         ", cost rates " + shortestDecimal(trial.inventoryCostRate) + ", " +
         shortestDecimal(trial.backorderCostRate) + ", " + shortestDecimal(trial.transitCostRate) +
         (!hasParticipant(trial.participantRole) ? std::string()
          : largestOrder == 0                    ? ", participant orders 0"
                              : ", participant orders up to " + decimal(largestOrder));
}

const char* const kChainFields = "InitInventory, InitDelayAmount, FirstOrder, MaxOrder, cost rates";

// The largest participant order in 0..kLargestParticipantOrder under which
// the chain keeps every width, by bisection: a larger bound widens every
// range, so the orders that are safe form one interval from 0. Empty when
// even orders of 0 are not safe.
struct SafeOrder {
  std::optional<int64_t> largest;
  Range safeCost;          // the end cost at the largest safe order
  Exceeded exceededAbove;  // what leaves its width just above it
};

SafeOrder findLargestSafeOrder(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                               const ChainRun& atLargest, std::optional<double> costShare) {
  SafeOrder found;
  ChainRun atZero = followChain(trial, players, 0, costShare);
  if (atZero.exceeded) {
    found.exceededAbove = *atZero.exceeded;
    return found;
  }
  int64_t safe = 0, unsafe = kLargestParticipantOrder;
  Range safeCost = atZero.endCost;
  Exceeded above = *atLargest.exceeded;
  while (unsafe - safe > 1) {
    const int64_t middle = safe + (unsafe - safe) / 2;
    ChainRun run = followChain(trial, players, middle, costShare);
    if (run.exceeded) {
      unsafe = middle;
      above = *run.exceeded;
    } else {
      safe = middle;
      safeCost = run.endCost;
    }
  }
  found.largest = safe;
  found.safeCost = safeCost;
  found.exceededAbove = above;
  return found;
}

bool usesSterman(const TrialPlan& trial, const std::vector<PlayerStrategy>& players) {
  for (int r = 0; r < kRoleCount; ++r) {
    if (!isTypedStage(trial, static_cast<int16_t>(r)) &&
        players[static_cast<size_t>(trial.rolePlayers[r])].usesSterman) {
      return true;
    }
  }
  return false;
}

// The Sterman targets computed at every trial start, and recomputed by a
// Sterman player whenever the customer demand differs from week 1's.
void checkStermanTargets(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                         std::vector<BoundFault>& faults) {
  const int64_t anchor = trial.weeklyDemand[0];
  const int64_t longest = int64_t{trial.delay} + trial.orderDelay;
  const std::string demand = demandFields(trial);
  for (int64_t delay : {int64_t{trial.delay}, longest}) {
    const int64_t line = anchor * (delay + 1);
    if (line > kMax32 || line < kMin32) {
      faults.push_back({demand + ", Delay", decimal(anchor),
                        "the week 1 demand " + decimal(anchor) + " times " + decimal(delay + 1) +
                            " weeks of delivery makes a desired supply line of " + decimal(line) +
                            ", beyond 32 bits"});
      return;
    }
    const int64_t target = line + trial.initialInventory;
    if (target > kMax32 || target < kMin32) {
      faults.push_back({"InitInventory", decimal(trial.initialInventory),
                        "InitInventory " + decimal(trial.initialInventory) +
                            " plus the desired supply line " + decimal(line) +
                            " makes a stock target of " + decimal(target) + ", beyond 32 bits"});
      return;
    }
  }
  if (!usesSterman(trial, players)) return;
  for (int64_t i = 0; i + 2 <= trial.weeks; ++i) {
    const int64_t d = trial.weeklyDemand[static_cast<size_t>(i)];
    if (d == anchor) continue;
    const int64_t line = d * longest + anchor;
    if (line > kMax32 || line < kMin32) {
      faults.push_back({demand, decimal(d),
                        "the demand " + decimal(d) + " of week " + decimal(i + 1) + " times " +
                            decimal(longest) + " weeks of delay plus the week 1 demand makes a " +
                            "desired supply line of " + decimal(line) + ", beyond 32 bits"});
      return;
    }
  }
}

}  // namespace

int32_t ordinaryOrderLimit(const TrialPlan& trial) {
  int64_t largestDemand = 0;
  const size_t weeks = std::min(trial.weeklyDemand.size(), static_cast<size_t>(trial.weeks));
  for (size_t i = 0; i < weeks; ++i)
    largestDemand = std::max<int64_t>(largestDemand, trial.weeklyDemand[i]);
  const int64_t ordinary = largestDemand > 0 ? 10 * largestDemand : 100;
  return static_cast<int32_t>(std::min<int64_t>(ordinary, kLargestParticipantOrder));
}

TrialBounds checkTrialBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                             const std::string& weeksField, std::optional<double> costShare) {
  TrialBounds bounds;
  std::vector<BoundFault>& faults = bounds.faults;
  if (trial.weeks > kLargestWeeks) {
    faults.push_back({weeksField, decimal(trial.weeks),
                      weeksField + " " + decimal(trial.weeks) + " is above " +
                          decimal(kLargestWeeks) + ", the most weeks the week counter can play"});
    return bounds;
  }
  checkStermanTargets(trial, players, faults);
  if (!faults.empty()) return bounds;

  const auto keepCost = [&bounds](Range cost) {
    bounds.lowestCost = static_cast<double>(cost.lo);
    bounds.highestCost = static_cast<double>(cost.hi);
  };
  const ChainRun atLargest = followChain(trial, players, kLargestParticipantOrder, costShare);
  if (!atLargest.exceeded) {
    keepCost(atLargest.endCost);
    return bounds;
  }
  if (!hasParticipant(trial.participantRole)) {
    faults.push_back(
        {kChainFields, "",
         atLargest.exceeded->complaint() + " (" + chainFields(trial, weeksField, 0) + ")"});
    return bounds;
  }
  const SafeOrder safe = findLargestSafeOrder(trial, players, atLargest, costShare);
  if (!safe.largest) {
    faults.push_back(
        {kChainFields, "",
         safe.exceededAbove.complaint() + " (" + chainFields(trial, weeksField, 0) + ")"});
    return bounds;
  }
  const std::string limit = decimal(*safe.largest);
  const std::string overflow =
      "orders above " + limit + " could overflow " + safe.exceededAbove.quantity() +
      (safe.exceededAbove.role == kNoParticipant ? std::string()
                                                 : " in week " + decimal(safe.exceededAbove.week));
  const int32_t ordinary = ordinaryOrderLimit(trial);
  if (*safe.largest < ordinary) {
    faults.push_back({kChainFields, limit,
                      overflow + ", and ordinary play needs orders up to " + decimal(ordinary) +
                          " (ten times the largest customer demand, at least 100) (" +
                          chainFields(trial, weeksField, *safe.largest + 1) + ")"});
    return bounds;
  }
  bounds.largestSafeOrder = static_cast<int16_t>(*safe.largest);
  bounds.warnings.push_back(
      {kChainFields, limit,
       overflow + "; the game accepts orders up to " + limit + " in this trial"});
  keepCost(safe.safeCost);
  return bounds;
}

std::vector<BoundFault> checkForecastBounds(const Forecast& f, const TrialPlan& trial) {
  std::vector<BoundFault> faults;
  if (f.extent < 0) {
    faults.push_back({"Extent", decimal(f.extent),
                      "Extent " + decimal(f.extent) +
                          " is below 0: the forecast would show weeks before week 1"});
  } else if (int64_t{f.extent} + trial.weeks > kMax16) {
    faults.push_back({"Extent", decimal(f.extent),
                      "Extent " + decimal(f.extent) + " with numweeks " + decimal(trial.weeks) +
                          " reaches beyond week 32767"});
  }
  if (f.maxNoise > kLargestForecastNoise) {
    faults.push_back({"MaxNoise", decimal(f.maxNoise),
                      "MaxNoise " + decimal(f.maxNoise) + " is above " +
                          decimal(kLargestForecastNoise) +
                          ", the largest forecast noise range 32 bits hold"});
  }
  if (!faults.empty()) return faults;
  const int64_t below = f.maxNoise > 0 ? f.maxNoise : 0;
  const int64_t above = f.maxNoise > 0 ? int64_t{f.maxNoise} + 1 : 0;
  const auto shown = [&](int64_t value, const std::string& field, const std::string& what) {
    const bool fits = value >= kMin16 && value <= kMax16;
    if (fits && value - below >= kMin16 && value + above <= kMax16) return true;
    faults.push_back(
        {field, decimal(value),
         what + (fits ? " with the forecast's MaxNoise " + decimal(f.maxNoise) : std::string()) +
             " does not fit the forecast's 16 bits (-32768 to 32767)"});
    return false;
  };
  // After the last week the panel always shows Excess.
  if (!shown(f.excess, "Excess", "Excess " + decimal(f.excess))) return faults;
  for (int64_t i = f.extent; i < trial.weeks; ++i) {
    const int64_t d = trial.weeklyDemand[static_cast<size_t>(i)];
    if (!shown(d, demandFields(trial),
               "the demand " + decimal(d) + " of week " + decimal(i + 1) + " it shows")) {
      break;
    }
  }
  return faults;
}

namespace {

// Neither the clock nor the draws change what week 1 costs: noise only
// changes orders, and orders reach the stocks from week 2 on.
class StillTicks final : public TickCounter {
 public:
  uint32_t now() override { return 0; }
};
class MiddleDraws final : public UniformRandom {
 public:
  void reseed(uint32_t) override {}
  double next() override { return 0.5; }
};

struct WeekOne {
  RoleState started;  // the participant's stage at the trial start
  RoleState charged;  // the same after the first week's cost
};

// The participant's stage through the real week step: the trial started on
// its demand, and the first week closed with an order of 0.
std::optional<WeekOne> playWeekOne(TrialPlan trial, const std::vector<PlayerStrategy>& players) {
  Chain chain;
  StillTicks ticks;
  MiddleDraws draws;
  ChainContext context{trial, players, chain, ticks, draws, {}};
  const auto stage = [&] { return chain.roles[static_cast<size_t>(trial.participantRole)]; };
  try {
    restartTrialChain(context);
    WeekOne week;
    week.started = stage();
    chain.currentWeek = 2;
    chain.participantOrder = 0;
    closeWeek(context);
    week.charged = stage();
    return week;
  } catch (const QuarnError&) {
    return std::nullopt;  // the plan's bounds refuse it
  }
}

}  // namespace

std::optional<BoundFault> trainingWeekOneFault(const TrialPlan& trial,
                                               const std::vector<PlayerStrategy>& players,
                                               int32_t costLimit, int32_t inventoryBound) {
  if (costLimit == 0 || inventoryBound == 0 || !hasParticipant(trial.participantRole)) {
    return std::nullopt;
  }
  const std::string start = "every training trial fails at week 1, before anything is ordered: ";
  if (costLimit < 0) {
    return BoundFault{"CostLimit", decimal(costLimit),
                      start + "CostLimit " + decimal(costLimit) +
                          " is below the cost of 0 the participant has then"};
  }
  const std::optional<WeekOne> week = playWeekOne(trial, players);
  if (!week) return std::nullopt;
  const std::string role = roleName(trial.participantRole);
  const int64_t inventory = week->started.inventory;
  if (std::llabs(inventory) > inventoryBound) {
    const bool retailer = trial.participantRole == roleIndex(Role::Retailer);
    return BoundFault{
        "InventoryBounds, InitInventory", decimal(inventoryBound),
        start + "the " + role + "'s " +
            (inventory < 0 ? "backorder is " + decimal(-inventory)
                           : "inventory is " + decimal(inventory)) +
            " (InitInventory " + decimal(trial.initialInventory) + " + InitDelayAmount " +
            decimal(trial.initialShipment) + " - " + (retailer ? "week 1 demand " : "FirstOrder ") +
            decimal(week->started.demand) + "), above InventoryBounds " + decimal(inventoryBound)};
  }
  const int32_t cost = week->charged.totalCost;
  if (cost <= costLimit) return std::nullopt;
  return BoundFault{"CostLimit", decimal(costLimit),
                    "every training trial fails at week 1, whatever is ordered: the " + role +
                        "'s cost of week 1 is " + decimal(cost) + " (" +
                        (inventory < 0 ? "backorder " + decimal(-inventory) + " at CostBackOrder " +
                                             shortestDecimal(trial.backorderCostRate)
                                       : "inventory " + decimal(inventory) + " at CostInventory " +
                                             shortestDecimal(trial.inventoryCostRate)) +
                        ", goods in transit at CostTransit " +
                        shortestDecimal(trial.transitCostRate) + "), above CostLimit " +
                        decimal(costLimit)};
}

}  // namespace quarn
