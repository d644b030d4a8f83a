#pragma once

// A setting's experiment trials played many times in memory, the
// participant's stage taken by a simulated player, to see what end costs and
// amplification a design leads to before anyone plays it.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/TrialPlan.h"

namespace quarn {

struct Distribution {
  size_t count = 0;  // values summarised
  double mean = 0.0;
  std::optional<double> sd;  // sample standard deviation over the runs; empty for one run
  double q05 = 0.0;
  double q50 = 0.0;
  double q95 = 0.0;
};

// Mean, sample standard deviation and the 5, 50 and 95 % quantiles
// (interpolated between the two nearest order statistics); empty for no values.
std::optional<Distribution> summarise(std::vector<double> values);

// The linear-interpolation quantile of sorted values (p from 0 to 1).
double quantile(std::span<const double> sorted, double p);

struct StageSummary {
  std::string player;
  std::vector<double> endCosts;  // every run's end cost, from the lowest
  std::optional<Distribution> endCost;
  // Runs whose customer demand varied; empty when it never did.
  std::optional<Distribution> amplification;
};

struct TrialSummary {
  int16_t trial = 0;  // numbered from 1, as the records number experiment trials
  int16_t participantRole = kNoParticipant;
  // The stages the simulated participant played: the participant's, or every
  // team member's in a team trial.
  std::array<bool, kRoleCount> standIn{};
  std::array<StageSummary, kRoleCount> stages;
};

// Whether any stage of the trial was played by the simulated participant.
bool hasStandIn(const TrialSummary& trial);

struct BatchRequest {
  std::vector<PlayerStrategy> players;  // tblPlayer, which the trials' rolePlayers index
  std::vector<TrialPlan> trials;        // the setting's block trials, in play order
  std::string inputFolder;
  // Index into players of the player on the participant's stage, and on
  // every member's stage of a team trial.
  int16_t player = 0;
  int runs = 1;
  uint64_t seed = 0;
  int jobs = 1;
  // Told after every finished run, from any worker thread, with the number of
  // runs done so far. Calls do not overlap.
  std::function<void(int done)> progress;
};

// Each run gets its own generator, seeded from the seed and the run's index,
// so the results do not depend on how many threads share the runs.
uint32_t runSeed(uint64_t seed, uint64_t run);

// Plays every block trial `runs` times, the participant's stage (every
// member's in a team trial) ordering where the participant would: after the
// week's step, when the week is closed, before the stages upstream. Nothing is recorded anywhere.
// Errors of a run (a value leaving its width) end the batch with that error.
std::vector<TrialSummary> simulateSetting(const BatchRequest& request);

// Whether every run came out the same: every stage's end cost and
// amplification equal in all runs (a setting without noise). False for
// fewer than two runs.
bool everyRunIdentical(const std::vector<TrialSummary>& table);

}  // namespace quarn
