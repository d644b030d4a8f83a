#pragma once

// A study at a glance: who did best in each trial, how the orders swing
// more at each stage up the chain, and where a participant's cost stands
// among simulated players in the same place.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "analysis/Statistics.h"

namespace quarn {

// The trials with every participant renamed P01, P02 ... in the order of
// their IDs (wider numbers past 99), so that the same database always gives
// the same names; team members too, where a team trial names them.
std::vector<RecordedTrial> anonymised(std::vector<RecordedTrial> trials);

// The end costs over many simulated runs of a setting's trial of each stage
// a simulated player took over from a person (the participant's, or every
// member's of a team trial), from the lowest, and who played them. Stages
// that nobody took over have none.
struct SimulatedCosts {
  std::string player;
  size_t runs = 0;
  std::array<std::vector<double>, kRoleCount> costs;
};
using SimulatedCostsByTrial = std::map<std::pair<std::string, int16_t>, SimulatedCosts>;

struct LeagueEntry {
  std::string subject;
  int16_t role = kNoParticipant;
  int64_t cost = 0;       // the participant's stage
  int64_t chainCost = 0;  // all four stages
  bool complete = false;
  // Among the complete trials, from 1 for the lowest cost; equal costs
  // share a rank. Empty for an incomplete trial.
  std::optional<int> rank;
  // Percent of simulated runs with a lower cost (equal ones counted half);
  // empty without simulated runs.
  std::optional<double> percentile;
};

struct LeagueTable {
  std::string setting;
  int16_t trial = 0;
  std::vector<LeagueEntry> entries;  // ranked first, by rank; then the incomplete
};

// One table per setting and trial with a participant, in that order.
std::vector<LeagueTable> leagueTables(const std::vector<RecordedTrial>& trials,
                                      const SimulatedCostsByTrial& simulated = {});

// A participant's place in one trial's table: "3 of 30". Empty when the
// trial is incomplete or not in the tables.
struct ClassPlace {
  int rank = 0;
  int ranked = 0;
};
std::optional<ClassPlace> classPlace(const std::vector<LeagueTable>& tables,
                                     const RecordedTrial& trial);

// The amplification ratios of one stage over every complete chain played
// (a team trial once, see playedChains), and
// their quartiles, mean and 95 % t interval.
struct StageSpread {
  std::vector<double> values;
  double q25 = 0.0, median = 0.0, q75 = 0.0, low = 0.0, high = 0.0;  // low/high: extremes
  double mean = 0.0;
  std::optional<Interval> interval;
};
// By stage, Factory first; a stage without values has none.
std::array<std::optional<StageSpread>, kRoleCount> amplificationByStage(
    const std::vector<RecordedTrial>& trials);

}  // namespace quarn
