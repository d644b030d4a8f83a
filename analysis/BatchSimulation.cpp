#include "analysis/BatchSimulation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "analysis/Measures.h"
#include "analysis/RecordedTrial.h"
#include "analysis/Statistics.h"
#include "base/Clock.h"
#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Random.h"
#include "sim/Chain.h"
#include "sim/SimulatedPlayer.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"

namespace quarn {

double quantile(std::span<const double> sorted, double p) {
  if (sorted.empty()) return 0.0;
  const double position = p * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<size_t>(std::floor(position));
  const size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (position - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

std::optional<Distribution> summarise(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  Distribution d;
  d.count = values.size();
  // Equal values give their value and a spread of exactly 0, without the
  // rounding of a sum.
  d.mean = values.front() == values.back() ? values.front() : mean(values);
  d.sd = sampleSd(values);
  d.q05 = quantile(values, 0.05);
  d.q50 = quantile(values, 0.50);
  d.q95 = quantile(values, 0.95);
  return d;
}

uint32_t runSeed(uint64_t seed, uint64_t run) {
  // SplitMix64 of the pair: neighbouring runs get unrelated seeds.
  uint64_t z = seed * 0x9E3779B97F4A7C15ULL + run + 0x632BE59BD9B4E019ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

namespace {

// The tick count the noise would reseed from; the seeded generators of the
// runs take their seed in its place.
class StillTickCounter final : public TickCounter {
 public:
  uint32_t now() override { return 0; }
};

// What one run leaves of one trial.
struct TrialOutcome {
  std::array<double, kRoleCount> endCost{};
  std::array<std::optional<double>, kRoleCount> amplification;
};

// The participant's stage, and every member's stage of a team trial, is
// played by `player`: its rolePlayers entry names the player, so that
// playerOrder finds the strategy, while participantRole and stageMembers
// keep each stage ordering where its person orders.
std::vector<TrialPlan> trialsWithPlayer(std::vector<TrialPlan> trials, int16_t player) {
  for (TrialPlan& trial : trials) {
    for (int16_t r = 0; r < kRoleCount; ++r) {
      if (isTypedStage(trial, r)) trial.rolePlayers[static_cast<size_t>(r)] = player;
    }
  }
  return trials;
}

// A team's members are stood in for as the game stands in for a member the
// moderator replaced: the stage's simulated player orders, from week 1, where
// the member would have.
void standInForMembers(const TrialPlan& trial, Chain& chain) {
  for (size_t r = 0; r < kRoleCount; ++r) {
    if (trial.stageMembers[r] != 0) chain.replacedFromWeek[r] = 1;
  }
}

// What one worker keeps from run to run: its own copy of the trials (a start
// writes the demand and the cost into its trial), which of them have their
// demand series built, and the chain and recorded weeks whose storage every
// run reuses.
struct Worker {
  std::vector<TrialPlan> trials;
  std::vector<bool> demandBuilt;
  Chain chain;
  RecordedTrial recorded;
};

// Copies each closed week into the recorded weeks, over the previous run's.
struct ClosedWeekCopier {
  void operator()() {
    if (closed == recorded.weeks.size()) recorded.weeks.emplace_back();
    recordWeek(chain, static_cast<int16_t>(chain.currentWeek - 1), recorded.weeks[closed++]);
  }
  const Chain& chain;
  RecordedTrial& recorded;
  size_t closed = 0;
};

TrialOutcome playTrial(Worker& worker, size_t index, const std::vector<PlayerStrategy>& players,
                       const std::string& inputFolder, TickCounter& ticks, UniformRandom& random) {
  TrialPlan& trial = worker.trials[index];
  Chain& chain = worker.chain;
  RecordedTrial& recorded = worker.recorded;
  recorded.participantRole = trial.participantRole;
  recorded.plannedWeeks = trial.weeks;
  recorded.delay = trial.delay;
  ClosedWeekCopier copier{chain, recorded};
  ChainContext c{trial, players, chain, ticks, random, std::ref(copier)};
  // The demand file, if any, is read at the trial's first start only.
  if (worker.demandBuilt[index]) {
    restartTrialChain(c);
  } else {
    startTrialChain(c, inputFolder);
    worker.demandBuilt[index] = true;
  }
  standInForMembers(trial, chain);
  playToEnd(c, [&] {
    int32_t order = 0;
    // On the last two presses the participant's entry does not reach the
    // chain, and the player is not asked.
    if (hasParticipant(trial.participantRole) && chain.currentWeek < trial.weeks) {
      order = playerOrder(c, trial.participantRole);
    }
    return narrow16(order, "The simulated participant's order");
  });
  recorded.weeks.resize(copier.closed);
  const TrialMeasures measures = measureTrial(recorded);
  TrialOutcome outcome;
  for (size_t r = 0; r < kRoleCount; ++r) {
    outcome.endCost[r] = static_cast<double>(measures.stages[r].totalCost);
    outcome.amplification[r] = measures.stages[r].amplification;
  }
  return outcome;
}

std::vector<TrialOutcome> playRun(Worker& worker, const BatchRequest& request, int run) {
  StillTickCounter ticks;
  StandardUniformRandom random(runSeed(request.seed, static_cast<uint64_t>(run)));
  std::vector<TrialOutcome> outcomes;
  outcomes.reserve(worker.trials.size());
  for (size_t t = 0; t < worker.trials.size(); ++t) {
    outcomes.push_back(playTrial(worker, t, request.players, request.inputFolder, ticks, random));
  }
  return outcomes;
}

// `trials` name the simulated participant in rolePlayers (trialsWithPlayer).
std::vector<TrialSummary> summariseRuns(const std::vector<TrialPlan>& trials,
                                        const std::vector<PlayerStrategy>& players,
                                        const std::vector<std::vector<TrialOutcome>>& runs) {
  std::vector<TrialSummary> summaries;
  for (size_t t = 0; t < trials.size(); ++t) {
    const TrialPlan& trial = trials[t];
    TrialSummary summary;
    summary.trial = static_cast<int16_t>(t + 1);
    summary.participantRole = trial.participantRole;
    for (size_t r = 0; r < kRoleCount; ++r) {
      summary.standIn[r] = isTypedStage(trial, static_cast<int16_t>(r));
      summary.stages[r].player = players[static_cast<size_t>(trial.rolePlayers[r])].name;
      std::vector<double> costs, ratios;
      for (const std::vector<TrialOutcome>& run : runs) {
        const TrialOutcome& outcome = run[t];
        costs.push_back(outcome.endCost[r]);
        if (outcome.amplification[r]) ratios.push_back(*outcome.amplification[r]);
      }
      summary.stages[r].endCost = summarise(costs);
      std::sort(costs.begin(), costs.end());
      summary.stages[r].endCosts = std::move(costs);
      summary.stages[r].amplification = summarise(ratios);
    }
    summaries.push_back(std::move(summary));
  }
  return summaries;
}

}  // namespace

std::vector<TrialSummary> simulateSetting(const BatchRequest& request) {
  if (request.player < 0 || static_cast<size_t>(request.player) >= request.players.size()) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "The simulated participant is not in the player table");
  }
  const std::vector<TrialPlan> trials = trialsWithPlayer(request.trials, request.player);
  const int runs = std::max(request.runs, 0);
  std::vector<std::vector<TrialOutcome>> outcomes(static_cast<size_t>(runs));

  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex mutex;  // guards failure, done and the progress calls
  int done = 0;
  auto work = [&] {
    Worker worker{trials, std::vector<bool>(trials.size(), false), {}, {}};
    for (int run = next++; run < runs && !failed; run = next++) {
      try {
        outcomes[static_cast<size_t>(run)] = playRun(worker, request, run);
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        failed = true;
        return;
      }
      const std::lock_guard lock(mutex);
      ++done;
      if (request.progress) request.progress(done);
    }
  };
  const int jobs = std::clamp(request.jobs, 1, std::max(runs, 1));
  std::vector<std::thread> workers;
  for (int j = 1; j < jobs; ++j) workers.emplace_back(work);
  work();
  for (std::thread& w : workers) w.join();
  if (failure) std::rethrow_exception(failure);
  return summariseRuns(trials, request.players, outcomes);
}

bool hasStandIn(const TrialSummary& trial) {
  return std::any_of(trial.standIn.begin(), trial.standIn.end(), [](bool s) { return s; });
}

bool everyRunIdentical(const std::vector<TrialSummary>& table) {
  bool anyRuns = false;
  for (const TrialSummary& trial : table) {
    for (const StageSummary& stage : trial.stages) {
      const auto same = [](const std::optional<Distribution>& d) {
        return !d || d->sd.value_or(0.0) == 0.0;
      };
      if (stage.endCosts.size() > 1) anyRuns = true;
      if (stage.endCosts.size() < 2 || stage.endCosts.front() != stage.endCosts.back() ||
          !same(stage.amplification)) {
        return false;
      }
    }
  }
  return anyRuns;
}

}  // namespace quarn
