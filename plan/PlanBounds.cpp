#include "plan/PlanBounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Numbers.h"

namespace quarn {

namespace {

constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin16 = std::numeric_limits<int16_t>::min();
constexpr int64_t kMax16 = std::numeric_limits<int16_t>::max();

const char* const kRoleNames[kRoleCount] = {"Factory", "Distributor", "Wholesaler", "Retailer"};

// Every value a quantity can take lies in [lo, hi].
struct Range {
  int64_t lo = 0;
  int64_t hi = 0;
};

Range Exactly(int64_t v) {
  return {v, v};
}
Range operator+(Range a, Range b) {
  return {a.lo + b.lo, a.hi + b.hi};
}
Range operator-(Range a, Range b) {
  return {a.lo - b.hi, a.hi - b.lo};
}
Range Union(Range a, Range b) {
  return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}
Range Min(Range a, Range b) {
  return {std::min(a.lo, b.lo), std::min(a.hi, b.hi)};
}
// The part of `r` at or above 0, and the part below it.
std::optional<Range> NonNegative(Range r) {
  if (r.hi < 0) return std::nullopt;
  return Range{std::max<int64_t>(r.lo, 0), r.hi};
}
std::optional<Range> Negative(Range r) {
  if (r.lo >= 0) return std::nullopt;
  return Range{r.lo, std::min<int64_t>(r.hi, -1)};
}

// A value of the range that leaves its width, found in some week.
struct Exceeded {
  std::string complaint;
};

// The chain of one trial as ranges: the same steps as the week step, in the
// same order, each narrowing checked where the week step checks it.
class ChainBounds {
 public:
  ChainBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players)
      : trial_(trial), players_(players) {}

  void Run() {
    Start();
    for (int64_t press = 1; press <= trial_.numweeks; ++press) CloseWeek(press + 1);
  }

  Range EndCost() const {
    Range sum;
    for (const Stage& s : stages_) sum = sum + s.TotalCost;
    return sum;
  }

 private:
  struct Stage {
    Range Inventory, DeltaInventory, Received, Demand, Satisfied, TotalCost;
    std::vector<Range> OrderSlots, DelaySlots;
  };

  void Start() {
    for (int r = 0; r < kRoleCount; ++r) {
      Stage& s = stages_[r];
      s.OrderSlots.assign(static_cast<size_t>(trial_.OrderDelay) + 1, Exactly(trial_.FirstOrder));
      s.Inventory = s.DeltaInventory = Exactly(trial_.InitInventory);
      s.Received = Exactly(trial_.InitDelayAmount);
      s.DelaySlots.assign(static_cast<size_t>(trial_.Delay), Exactly(trial_.InitDelayAmount));
      s.Demand = Exactly(r == kRetailer ? trial_.WeeklyDemand[0] : trial_.FirstOrder);
    }
    StepWeek(1);
  }

  [[noreturn]] void Fail(const std::string& what, int role, int64_t week, int64_t value,
                         const char* width) const {
    throw Exceeded{"the " + std::string(kRoleNames[role]) + "'s " + what + " can reach " +
                   decimal(value) + " in week " + decimal(week) + ", beyond " + width};
  }

  Range Fit32(Range r, const std::string& what, int role, int64_t week) const {
    if (r.hi > kMax32) Fail(what, role, week, r.hi, "2147483647");
    if (r.lo < kMin32) Fail(what, role, week, r.lo, "-2147483648");
    return r;
  }

  // A cost in double precision rounded to 32 bits, as the cost charge does.
  Range FitCost(double lo, double hi, const std::string& what, int role, int64_t week) const {
    const double rlo = roundHalfEven(lo);
    const double rhi = roundHalfEven(hi);
    if (!(rhi <= static_cast<double>(kMax32))) {
      throw Exceeded{"the " + std::string(kRoleNames[role]) + "'s " + what + " can reach " +
                     shortestDecimal(hi) + " in week " + decimal(week) + ", beyond 2147483647"};
    }
    if (!(rlo >= static_cast<double>(kMin32))) {
      throw Exceeded{"the " + std::string(kRoleNames[role]) + "'s " + what + " can reach " +
                     shortestDecimal(lo) + " in week " + decimal(week) + ", beyond -2147483648"};
    }
    return {static_cast<int64_t>(rlo), static_cast<int64_t>(rhi)};
  }

  void StepWeek(int64_t w) {
    for (int r = 0; r < kRoleCount; ++r) {
      Stage& s = stages_[r];
      s.Demand = r == kRetailer ? Exactly(trial_.WeeklyDemand[static_cast<size_t>(w - 1)])
                                : stages_[r + 1].OrderSlots[0];
      ShipGoods(r, w);
      AdvanceShipments(r);
    }
    for (int r = kRetailer; r > trial_.SubjectRole; --r) PlaceOrder(r, w);
  }

  void CloseWeek(int64_t w) {
    for (int r = trial_.SubjectRole; r >= 0; --r) PlaceOrder(r, w);
    for (int r = 0; r < kRoleCount; ++r) ChargeCost(r, w);
    if (w <= trial_.numweeks) StepWeek(w);
  }

  void ShipGoods(int r, int64_t w) {
    Stage& s = stages_[r];
    s.Received = s.DelaySlots[0];
    std::optional<Range> satisfied;
    if (const std::optional<Range> stock = NonNegative(s.Inventory)) {
      const Range available = Fit32(*stock + s.Received, "available stock", r, w);
      satisfied = Min(available, s.Demand);
    }
    if (const std::optional<Range> backlog = Negative(s.Inventory)) {
      const Range required = Fit32(s.Demand - *backlog, "demand with backorder", r, w);
      const Range shipped = Min(s.Received, required);
      satisfied = satisfied ? Union(*satisfied, shipped) : shipped;
    }
    s.Satisfied = *satisfied;
    s.DeltaInventory = Fit32(s.Received - s.Demand, "change of inventory", r, w);
    s.Inventory = Fit32(s.Inventory + s.DeltaInventory, "inventory or backorder", r, w);
  }

  void AdvanceShipments(int r) {
    Stage& s = stages_[r];
    std::rotate(s.DelaySlots.begin(), s.DelaySlots.begin() + 1, s.DelaySlots.end());
    s.DelaySlots.back() = r > kFactory ? stages_[r - 1].Satisfied : s.OrderSlots.back();
  }

  void PlaceOrder(int r, int64_t w) {
    Stage& s = stages_[r];
    Range order;
    if (w >= trial_.numweeks) {
      order = s.OrderSlots[0];
    } else if (r == trial_.SubjectRole) {
      order = {0, kLargestSubjectOrder};
    } else {
      order = PlayerOrder(r, w);
    }
    std::rotate(s.OrderSlots.begin(), s.OrderSlots.begin() + 1, s.OrderSlots.end());
    s.OrderSlots.back() = order;
  }

  Range PlayerOrder(int r, int64_t w) const {
    const Stage& s = stages_[r];
    const PlayerStrategy& p = players_[static_cast<size_t>(trial_.RolePlayer[r])];
    Range order = trial_.MaxNoise > 0 ? Range{-1, 2 * int64_t{trial_.MaxNoise} - 2} : Range{};
    if (p.Sterman) {
      // The rule's result is clamped to MinOrder and MaxOrder.
      const Range sterman{std::min(trial_.MinOrder, trial_.MaxOrder),
                          std::max(trial_.MinOrder, trial_.MaxOrder)};
      order = Fit32(sterman + order, "order", r, w);
    }
    if (p.Demand) order = Fit32(order + s.Demand, "order", r, w);
    if (p.BackOrder) {
      if (const std::optional<Range> backlog = Negative(s.Inventory)) {
        const Range more = Fit32(order - *backlog, "order", r, w);
        order = s.Inventory.hi >= 0 ? Union(order, more) : more;
      }
    }
    if (p.Delta) {
      const std::optional<Range> fall = Negative(s.DeltaInventory);
      if (Negative(s.Inventory) && fall) {
        const Range more = Fit32(order - *fall + s.Demand, "order", r, w);
        order = s.Inventory.hi >= 0 || s.DeltaInventory.hi >= 0 ? Union(order, more) : more;
      }
    }
    if (order.lo < 0) {
      const Range replaced = Exactly(p.IfZero);
      order = order.hi >= 0 ? Union(Range{0, order.hi}, replaced) : replaced;
    }
    return order;
  }

  void ChargeCost(int r, int64_t w) {
    Stage& s = stages_[r];
    std::optional<Range> stockCost;
    if (const std::optional<Range> stock = NonNegative(s.Inventory)) {
      const double a = static_cast<double>(stock->lo) * trial_.CostInventory;
      const double b = static_cast<double>(stock->hi) * trial_.CostInventory;
      stockCost = FitCost(std::min(a, b), std::max(a, b), "inventory cost", r, w);
    }
    if (const std::optional<Range> backlog = Negative(s.Inventory)) {
      const double a = -static_cast<double>(backlog->hi) * trial_.CostBackOrder;
      const double b = -static_cast<double>(backlog->lo) * trial_.CostBackOrder;
      const Range cost = FitCost(std::min(a, b), std::max(a, b), "backorder cost", r, w);
      stockCost = stockCost ? Union(*stockCost, cost) : cost;
    }
    Range transit;
    for (const Range& units : s.DelaySlots) {
      transit = transit + units;
      if (transit.hi > kMax16 || transit.lo < kMin16) {
        throw Exceeded{"the goods on their way to the " + std::string(kRoleNames[r]) +
                       " can add up to " + decimal(transit.hi > kMax16 ? transit.hi : transit.lo) +
                       " in week " + decimal(w) + ", beyond the 16 bits (-32768 to 32767) " +
                       "the transit count holds"};
      }
    }
    const double a = static_cast<double>(transit.lo) * trial_.CostTransit;
    const double b = static_cast<double>(transit.hi) * trial_.CostTransit;
    const Range weekly =
        FitCost(std::min(a, b) + static_cast<double>(stockCost->lo),
                std::max(a, b) + static_cast<double>(stockCost->hi), "weekly cost", r, w);
    s.TotalCost = Fit32(s.TotalCost + weekly, "total cost", r, w);
  }

  const TrialPlan& trial_;
  const std::vector<PlayerStrategy>& players_;
  Stage stages_[kRoleCount];
};

// The demand of week w (1-based) as a plan field: InitialDemand and
// SecondDemand, or the demand file.
std::string DemandFields(const TrialPlan& trial) {
  return trial.Input.empty() ? "InitialDemand, SecondDemand" : "Input";
}

std::string ChainFields(const TrialPlan& trial, const std::string& weeksField) {
  return "InitInventory " + decimal(trial.InitInventory) + ", InitDelayAmount " +
         decimal(trial.InitDelayAmount) + ", FirstOrder " + decimal(trial.FirstOrder) +
         ", MinOrder " + decimal(trial.MinOrder) + ", MaxOrder " + decimal(trial.MaxOrder) +
         ", MaxNoise " + decimal(trial.MaxNoise) + ", " + weeksField + " " +
         decimal(trial.numweeks) + ", cost rates " + shortestDecimal(trial.CostInventory) + ", " +
         shortestDecimal(trial.CostBackOrder) + ", " + shortestDecimal(trial.CostTransit) +
         (trial.SubjectRole >= 0 ? ", participant orders up to 9999" : "");
}

bool UsesSterman(const TrialPlan& trial, const std::vector<PlayerStrategy>& players) {
  for (int r = 0; r < kRoleCount; ++r) {
    if (r != trial.SubjectRole && players[static_cast<size_t>(trial.RolePlayer[r])].Sterman) {
      return true;
    }
  }
  return false;
}

// The Sterman targets computed at every trial start, and recomputed by a
// Sterman player whenever the customer demand differs from week 1's.
void CheckStermanTargets(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                         std::vector<BoundFault>& faults) {
  const int64_t anchor = trial.WeeklyDemand[0];
  const int64_t longest = int64_t{trial.Delay} + trial.OrderDelay;
  const std::string demand = DemandFields(trial);
  for (int64_t delay : {int64_t{trial.Delay}, longest}) {
    const int64_t line = anchor * (delay + 1);
    if (line > kMax32 || line < kMin32) {
      faults.push_back({demand + ", Delay", decimal(anchor),
                        "the week 1 demand " + decimal(anchor) + " times " + decimal(delay + 1) +
                            " weeks of delivery makes a desired supply line of " + decimal(line) +
                            ", beyond 32 bits"});
      return;
    }
    const int64_t target = line + trial.InitInventory;
    if (target > kMax32 || target < kMin32) {
      faults.push_back({"InitInventory", decimal(trial.InitInventory),
                        "InitInventory " + decimal(trial.InitInventory) +
                            " plus the desired supply line " + decimal(line) +
                            " makes a stock target of " + decimal(target) + ", beyond 32 bits"});
      return;
    }
  }
  if (!UsesSterman(trial, players)) return;
  for (int64_t i = 0; i + 2 <= trial.numweeks; ++i) {
    const int64_t d = trial.WeeklyDemand[static_cast<size_t>(i)];
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

TrialBounds CheckTrialBounds(const TrialPlan& trial, const std::vector<PlayerStrategy>& players,
                             const std::string& weeksField) {
  TrialBounds bounds;
  std::vector<BoundFault>& faults = bounds.faults;
  if (trial.numweeks > kLargestWeeks) {
    faults.push_back({weeksField, decimal(trial.numweeks),
                      weeksField + " " + decimal(trial.numweeks) + " is above " +
                          decimal(kLargestWeeks) + ", the most weeks the week counter can play"});
  }
  if (trial.MaxNoise > kLargestMaxNoise) {
    faults.push_back({"MaxNoise", decimal(trial.MaxNoise),
                      "MaxNoise " + decimal(trial.MaxNoise) + " is above " +
                          decimal(kLargestMaxNoise) +
                          ", the largest noise range the orders can hold"});
  }
  if (!faults.empty()) return bounds;
  CheckStermanTargets(trial, players, faults);
  if (!faults.empty()) return bounds;
  ChainBounds chain(trial, players);
  try {
    chain.Run();
  } catch (const Exceeded& e) {
    faults.push_back({"InitInventory, InitDelayAmount, FirstOrder, MaxOrder, cost rates", "",
                      e.complaint + " (" + ChainFields(trial, weeksField) + ")"});
    return bounds;
  }
  const Range cost = chain.EndCost();
  bounds.lowestCost = static_cast<double>(cost.lo);
  bounds.highestCost = static_cast<double>(cost.hi);
  return bounds;
}

std::string StermanParameterFault(const PlayerStrategy& p) {
  if (!p.Sterman) return "";
  // Every quantity of the chain fits in 32 bits, the supply line in five of
  // them; so the order's terms stay below this bound.
  constexpr double kQuantity = 2147483648.0;
  const double bound = (2 * kQuantity + std::abs(p.Beta) * 5 * kQuantity) * std::abs(p.Alpha) +
                       (std::abs(p.Theta) + std::abs(1 - p.Theta)) * kQuantity +
                       std::abs(p.Epsilon);
  if (bound < 1e300) return "";
  return "the Sterman parameters Alpha " + shortestDecimal(p.Alpha) + ", Beta " +
         shortestDecimal(p.Beta) + ", Theta " + shortestDecimal(p.Theta) + " and Epsilon " +
         shortestDecimal(p.Epsilon) + " are too large for an order to be computed";
}

std::vector<BoundFault> CheckForecastBounds(const Forecast& f, const TrialPlan& trial) {
  std::vector<BoundFault> faults;
  if (f.Extent < 0) {
    faults.push_back({"Extent", decimal(f.Extent),
                      "Extent " + decimal(f.Extent) +
                          " is below 0: the forecast would show weeks before week 1"});
  } else if (int64_t{f.Extent} + trial.numweeks > kMax16) {
    faults.push_back({"Extent", decimal(f.Extent),
                      "Extent " + decimal(f.Extent) + " with numweeks " + decimal(trial.numweeks) +
                          " reaches beyond week 32767"});
  }
  if (f.MaxNoise > kLargestForecastNoise) {
    faults.push_back({"MaxNoise", decimal(f.MaxNoise),
                      "MaxNoise " + decimal(f.MaxNoise) + " is above " +
                          decimal(kLargestForecastNoise) +
                          ", the largest forecast noise range 32 bits hold"});
  }
  if (!faults.empty()) return faults;
  const int64_t below = f.MaxNoise > 0 ? f.MaxNoise : 0;
  const int64_t above = f.MaxNoise > 0 ? int64_t{f.MaxNoise} + 1 : 0;
  const auto shown = [&](int64_t value, const std::string& field, const std::string& what) {
    const bool fits = value >= kMin16 && value <= kMax16;
    if (fits && value - below >= kMin16 && value + above <= kMax16) return true;
    faults.push_back(
        {field, decimal(value),
         what + (fits ? " with the forecast's MaxNoise " + decimal(f.MaxNoise) : std::string()) +
             " does not fit the forecast's 16 bits (-32768 to 32767)"});
    return false;
  };
  // After the last week the panel always shows Excess.
  if (!shown(f.Excess, "Excess", "Excess " + decimal(f.Excess))) return faults;
  for (int64_t i = f.Extent; i < trial.numweeks; ++i) {
    const int64_t d = trial.WeeklyDemand[static_cast<size_t>(i)];
    if (!shown(d, DemandFields(trial),
               "the demand " + decimal(d) + " of week " + decimal(i + 1) + " it shows")) {
      break;
    }
  }
  return faults;
}

std::optional<BoundFault> TrainingWeekOneFault(const TrialPlan& trial, int32_t costLimit,
                                               int32_t inventoryBound) {
  if (costLimit == 0 || inventoryBound == 0 || trial.SubjectRole < 0) return std::nullopt;
  const std::string start = "every training trial fails at week 1, before anything is ordered: ";
  if (costLimit < 0) {
    return BoundFault{"CostLimit", decimal(costLimit),
                      start + "CostLimit " + decimal(costLimit) +
                          " is below the cost of 0 the participant has then"};
  }
  // Week 1 is simulated at the trial start: the first slot of the pipeline
  // arrives and the first demand is served.
  const bool retailer = trial.SubjectRole == kRetailer;
  const int64_t demand = retailer ? trial.WeeklyDemand[0] : trial.FirstOrder;
  const int64_t inventory = int64_t{trial.InitInventory} + trial.InitDelayAmount - demand;
  if (std::abs(inventory) <= inventoryBound) return std::nullopt;
  return BoundFault{"InventoryBounds, InitInventory", decimal(inventoryBound),
                    start + "the " + kRoleNames[trial.SubjectRole] + "'s " +
                        (inventory < 0 ? "backorder is " + decimal(-inventory)
                                       : "inventory is " + decimal(inventory)) +
                        " (InitInventory " + decimal(trial.InitInventory) + " + InitDelayAmount " +
                        decimal(trial.InitDelayAmount) + " - " +
                        (retailer ? "week 1 demand " : "FirstOrder ") + decimal(demand) +
                        "), above InventoryBounds " + decimal(inventoryBound)};
}

}  // namespace quarn
