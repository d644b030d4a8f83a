// Times the fit of the anchoring-and-adjustment rule to one participant's
// trial: 36-week trials (34 decision weeks) played by participants of four
// kinds (steady, lagged step, over-reacting, random orders) on the Retailer
// and the Wholesaler, three of each, fitted in turn. The time per fit is the
// benchmark's time divided by the 24 trials (reported as items per second).

#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/DecisionRuleFit.h"
#include "tests/analysis/PlayedOrders.h"

namespace quarn::testing {
namespace {

std::vector<std::vector<DecisionWeek>> playedWeeks() {
  std::vector<std::vector<DecisionWeek>> all;
  for (const Habit& habit : participantHabits()) {
    for (const int16_t role : {kRetailer, kWholesaler}) {
      for (unsigned seed = 1; seed <= 3; ++seed) {
        all.push_back(decisionWeeks(playedTrial(habit.order, role, 2, 36, seed), role));
      }
    }
  }
  return all;
}

void BM_FitParticipants(benchmark::State& state) {
  const std::vector<std::vector<DecisionWeek>> trials = playedWeeks();
  for (auto _ : state) {
    for (const std::vector<DecisionWeek>& weeks : trials) {
      benchmark::DoNotOptimize(fitAnchoringRule(weeks));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(trials.size()));
}
BENCHMARK(BM_FitParticipants)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
}  // namespace quarn::testing

BENCHMARK_MAIN();
