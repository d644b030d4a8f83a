#include "analysis/BatchSimulation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

PlayerStrategy passThrough() {
  return {.name = "PassThrough", .addsDemand = true};
}

// Two trials: the participant as Wholesaler, then no participant at all.
BatchRequest twoTrials(int16_t maxNoise, int runs, uint64_t seed, int jobs) {
  BatchRequest request;
  request.players = {stermanPlayer(0.26, 0.34, 0.36), passThrough()};
  TrialPlan first = steadyTrial(20, kWholesaler, 2);
  first.jumpWeek = 5;
  first.maxNoise = maxNoise;
  first.rolePlayers = {0, 0, kParticipantPlayer, 0};
  TrialPlan second = steadyTrial(16, kNoParticipant, 1);
  second.jumpWeek = 3;
  second.maxNoise = maxNoise;
  second.rolePlayers = {1, 0, 0, 0};
  request.trials = {first, second};
  request.player = 0;
  request.runs = runs;
  request.seed = seed;
  request.jobs = jobs;
  return request;
}

// The summaries as one comparable list of numbers.
std::vector<double> figures(const std::vector<TrialSummary>& table) {
  std::vector<double> figures;
  for (const TrialSummary& trial : table) {
    for (const StageSummary& stage : trial.stages) {
      for (const auto& d : {stage.endCost, stage.amplification}) {
        if (!d) continue;
        figures.insert(figures.end(),
                       {d->mean, d->sd.value_or(-1), d->q05, d->q50, d->q95, double(d->count)});
      }
    }
  }
  return figures;
}

TEST(BatchSimulation, RepeatsNoisyRunsWithTheSameSeed) {
  const std::vector<double> once = figures(simulateSetting(twoTrials(3, 40, 7, 1)));
  EXPECT_EQ(figures(simulateSetting(twoTrials(3, 40, 7, 1))), once);
  EXPECT_NE(figures(simulateSetting(twoTrials(3, 40, 8, 1))), once);
}

TEST(BatchSimulation, GivesTheSameTableForOneAndTwoJobs) {
  EXPECT_EQ(figures(simulateSetting(twoTrials(3, 40, 11, 2))),
            figures(simulateSetting(twoTrials(3, 40, 11, 1))));
}

TEST(BatchSimulation, PlaysTheTrialAsTheGameDoesWithTheParticipantsOrders) {
  // Without noise every run is the same game: the pass-through player on
  // the participant's stage orders what a participant typing each week's
  // demand orders.
  BatchRequest request = twoTrials(0, 3, 1, 1);
  request.player = 1;
  const std::vector<TrialSummary> table = simulateSetting(request);

  SimGame game(request.trials[0], request.players);
  game.start();
  for (int16_t week = 1; week <= 20; ++week) {
    game.press(static_cast<int16_t>(game.role(kWholesaler).demand));
  }
  for (int r = 0; r < kRoleCount; ++r) {
    const Distribution& cost = *table[0].stages[static_cast<size_t>(r)].endCost;
    EXPECT_EQ(cost.mean, game.role(r).totalCost) << r;
    EXPECT_EQ(cost.q05, cost.q95) << r;
    EXPECT_EQ(cost.sd, 0.0) << r;
  }
  EXPECT_EQ(table[0].stages[kWholesaler].player, "PassThrough");
  EXPECT_EQ(table[1].participantRole, kNoParticipant);
}

// The demand file is read at the trial's first start; the runs after it play
// on the same demand even when the file is gone.
TEST(BatchSimulation, ReadsADemandFileOnlyAtTheTrialsFirstStart) {
  std::string folder = (std::filesystem::temp_directory_path() / "quarn-batch-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  const auto writeDemand = [&] { std::ofstream(folder + "/demand.txt") << "4\n4\n9\n12\n3\n7\n"; };
  BatchRequest request = twoTrials(2, 6, 5, 1);
  request.trials[0].inputFile = "demand.txt";
  request.inputFolder = folder;
  writeDemand();
  const std::vector<double> withFile = figures(simulateSetting(request));

  request.progress = [&](int) { std::filesystem::remove(folder + "/demand.txt"); };
  writeDemand();
  EXPECT_EQ(figures(simulateSetting(request)), withFile);
  std::filesystem::remove_all(folder);
}

TEST(BatchSimulation, SummarisesWithSampleDeviationAndInterpolatedQuantiles) {
  const Distribution d = *summarise({5, 1, 4, 2, 3});
  EXPECT_DOUBLE_EQ(d.mean, 3.0);
  EXPECT_DOUBLE_EQ(*d.sd, std::sqrt(2.5));
  EXPECT_DOUBLE_EQ(d.q05, 1.2);
  EXPECT_DOUBLE_EQ(d.q50, 3.0);
  EXPECT_DOUBLE_EQ(d.q95, 4.8);
  EXPECT_FALSE(summarise({7})->sd);
  EXPECT_FALSE(summarise({}));
}

TEST(BatchSimulation, GivesAnExactZeroSpreadAndSaysSoWhenEveryRunIsTheSame) {
  const std::vector<TrialSummary> still = simulateSetting(twoTrials(0, 20, 1, 2));
  for (const TrialSummary& t : still) {
    for (const StageSummary& s : t.stages) EXPECT_EQ(s.endCost->sd, 0.0);
  }
  EXPECT_TRUE(everyRunIdentical(still));
  EXPECT_FALSE(everyRunIdentical(simulateSetting(twoTrials(2, 20, 1, 2))));
  EXPECT_FALSE(everyRunIdentical(simulateSetting(twoTrials(0, 1, 1, 1))));
}

TEST(BatchSimulation, KeepsEveryRunsEndCostInOrder) {
  const std::vector<TrialSummary> table = simulateSetting(twoTrials(2, 30, 5, 2));
  const StageSummary& stage = table[0].stages[kWholesaler];
  ASSERT_EQ(stage.endCosts.size(), 30u);
  EXPECT_TRUE(std::is_sorted(stage.endCosts.begin(), stage.endCosts.end()));
  EXPECT_DOUBLE_EQ(stage.endCosts.front(), quantile(stage.endCosts, 0.0));
}

// A team trial of `members` (member 1 on the first stage listed), the other
// stages passing the demand on; the demand steps from 4 to 8 in week 5.
TrialPlan teamTrial(const std::vector<int16_t>& members) {
  TrialPlan t = steadyTrial(20, kNoParticipant, 2);
  t.jumpWeek = 5;
  t.rolePlayers = {1, 1, 1, 1};
  for (size_t m = 0; m < members.size(); ++m) {
    const auto stage = static_cast<size_t>(members[m]);
    t.stageMembers[stage] = static_cast<int16_t>(m + 1);
    t.rolePlayers[stage] = kParticipantPlayer;
  }
  return t;
}

TEST(BatchSimulation, PlaysEveryMembersStageOfATeamTrialWithTheNamedPlayer) {
  const std::vector<std::vector<int16_t>> teams = {
      {kRetailer, kFactory},
      {kWholesaler, kRetailer, kDistributor},
      {kFactory, kDistributor, kWholesaler, kRetailer}};
  for (const std::vector<int16_t>& members : teams) {
    BatchRequest request = twoTrials(0, 3, 1, 1);
    request.trials = {teamTrial(members)};
    const TrialSummary t = simulateSetting(request).at(0);
    for (int16_t r = 0; r < kRoleCount; ++r) {
      const StageSummary& stage = t.stages[static_cast<size_t>(r)];
      const bool member = std::find(members.begin(), members.end(), r) != members.end();
      EXPECT_EQ(t.standIn[static_cast<size_t>(r)], member) << members.size() << " members, " << r;
      EXPECT_EQ(stage.player, member ? "Sterman" : "PassThrough") << r;
      // The Sterman rule answers the step in the demand: its orders swing.
      if (member) {
        EXPECT_GT(stage.amplification->mean, 0.0) << members.size() << " members, " << r;
      }
    }
  }
}

// A team of one orders where the participant alone would: the same table.
TEST(BatchSimulation, PlaysAOneMemberTeamAsTheParticipantAlone) {
  BatchRequest alone = twoTrials(2, 20, 3, 1);
  BatchRequest team = alone;
  team.trials[0].participantRole = kNoParticipant;
  team.trials[0].stageMembers[kWholesaler] = 1;
  EXPECT_EQ(figures(simulateSetting(team)), figures(simulateSetting(alone)));
}

}  // namespace
}  // namespace quarn::testing
