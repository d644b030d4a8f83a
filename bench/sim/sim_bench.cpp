// Whole 52-week trials of four simulated Sterman players with noise.
#include <benchmark/benchmark.h>

#include "base/Clock.h"
#include "base/Random.h"
#include "sim/Chain.h"
#include "sim/TrialStart.h"

namespace {

using namespace quarn;

std::vector<PlayerStrategy> ThreeStermanPlayers() {
  std::vector<PlayerStrategy> players;
  for (const auto& [alpha, beta, theta] :
       {std::array{0.26, 0.34, 0.36}, std::array{0.5, 0.1, 0.6}, std::array{0.2, 0.8, 0.2}}) {
    PlayerStrategy p;
    p.name = "Sterman";
    p.usesSterman = true;
    p.alpha = alpha;
    p.beta = beta;
    p.theta = theta;
    players.push_back(p);
  }
  return players;
}

// Played by the three players alone, the Factory's twice.
TrialPlan SimulatedTrial() {
  TrialPlan t;
  t.weeks = 52;
  t.delay = 2;
  t.orderDelay = 1;
  t.initialDemand = 4;
  t.jumpWeek = 5;
  t.secondDemand = 8;
  t.rolePlayers = {0, 1, 2, 0};
  t.participantRole = kNoParticipant;
  t.firstOrder = 4;
  t.maxOrder = 100;
  t.maxNoise = 2;
  t.initialInventory = 12;
  t.initialShipment = 4;
  t.inventoryCostRate = 0.5;
  t.backorderCostRate = 1.0;
  return t;
}

void BM_WholeTrials(benchmark::State& state) {
  const std::vector<PlayerStrategy> players = ThreeStermanPlayers();
  TrialPlan trial = SimulatedTrial();
  trial.maxNoise = static_cast<int16_t>(state.range(0));
  Chain chain;
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  ChainContext c{trial, players, chain, ticks, random, {}};
  int64_t weeks = 0;
  for (auto _ : state) {
    startTrialChain(c, "");
    for (int w = 0; w < 52; ++w) {
      ++chain.currentWeek;
      chain.participantOrder = 0;
      closeWeek(c);
    }
    benchmark::DoNotOptimize(trial.totalCost);
    weeks += 52;
  }
  state.counters["weeks"] =
      benchmark::Counter(static_cast<double>(weeks), benchmark::Counter::kIsRate);
}
// The argument is MaxNoise; 0 shows the chain without the generator's reseeding.
BENCHMARK(BM_WholeTrials)->Arg(2)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
