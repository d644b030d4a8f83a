// Whole 52-week trials of four simulated Sterman players with noise.
#include <benchmark/benchmark.h>

#include "base/Clock.h"
#include "base/Random.h"
#include "sim/modDelivery.h"
#include "sim/modInit.h"

namespace {

using namespace quarn;

Plan FourStermanPlayers() {
  Plan plan;
  for (const auto& [alpha, beta, theta] :
       {std::array{0.26, 0.34, 0.36}, std::array{0.5, 0.1, 0.6}, std::array{0.2, 0.8, 0.2}}) {
    PlayerStrategy p;
    p.Name = "Sterman";
    p.Sterman = true;
    p.Alpha = alpha;
    p.Beta = beta;
    p.Theta = theta;
    plan.PlayerTable.push_back(p);
  }
  TrialPlan t;
  t.numweeks = 52;
  t.Delay = 2;
  t.OrderDelay = 1;
  t.InitialDemand = 4;
  t.JumpWeek = 5;
  t.SecondDemand = 8;
  t.RolePlayer = {0, 1, 2, 0};
  t.SubjectRole = kNoSubject;
  t.FirstOrder = 4;
  t.MaxOrder = 100;
  t.MaxNoise = 2;
  t.InitInventory = 12;
  t.InitDelayAmount = 4;
  t.CostInventory = 0.5;
  t.CostBackOrder = 1.0;
  plan.TrialPlans = {t};
  return plan;
}

void BM_WholeTrials(benchmark::State& state) {
  Plan plan = FourStermanPlayers();
  plan.TrialPlans[0].MaxNoise = static_cast<int16_t>(state.range(0));
  Chain chain;
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  ChainContext c{plan, chain, ticks, random, {}};
  const std::array<std::string, kRoleCount> names{"Factory", "Distributor", "Wholesaler",
                                                  "Retailer"};
  int64_t weeks = 0;
  for (auto _ : state) {
    StartTrialChain(c, names, "");
    for (int w = 0; w < 52; ++w) {
      ++chain.CurrentWeek;
      SetSubjectOrder(chain, 0);
      CloseWeek(c);
    }
    benchmark::DoNotOptimize(plan.TrialPlans[0].TotalCost);
    weeks += 52;
  }
  state.counters["weeks"] =
      benchmark::Counter(static_cast<double>(weeks), benchmark::Counter::kIsRate);
}
// The argument is MaxNoise; 0 shows the chain without the generator's reseeding.
BENCHMARK(BM_WholeTrials)->Arg(2)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
