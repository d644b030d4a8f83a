#include "game/ExperimentLoading.h"

#include <gtest/gtest.h>

#include "tests/plan/PlanFixture.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/ScriptedPrompter.h"

namespace quarn::testing {
namespace {

class ExperimentLoadingTest : public PlanTest {
 protected:
  ExperimentLoadingTest() { state.identity = {"S1", "Demo"}; }

  bool load() { return loadExperimentPlan(services, state); }
  void addRecorded(const char* subject, int trial) {
    insertRow("datRole", {{"Subject", subject},
                          {"Setting", "Demo"},
                          {"Trial", trial},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }

  ScriptedPrompter prompter;
  ManualTickCounter ticks;
  FixedRandom random;
  FixedWallClock clock;
  DatabaseAccess db{file.stores, prompter, random};
  GameServices services{prompter, ticks, random, clock, db, file.folder()};
  GameState state;
};

TEST_F(ExperimentLoadingTest, WithoutTrainingTheLoginsTrialStays) {
  addBlock({{"Runs", 5}});
  state.plan.currentTrial = 2;
  EXPECT_FALSE(load());
  EXPECT_FALSE(state.training.active);
  EXPECT_TRUE(state.plan.trainingTrials.empty());
  EXPECT_EQ(state.plan.trialCount(), 5);
  EXPECT_EQ(state.plan.currentTrial, 2);
  EXPECT_TRUE(prompter.shown.empty());
}

// How the training row reads is the plan readers' concern.
TEST_F(ExperimentLoadingTest, TrainingTrialsFollowTheBlocksAndStartFirst) {
  addBlock({{"Runs", 5}});
  addTraining();
  state.plan.currentTrial = 3;
  EXPECT_TRUE(load());
  const TrainingState& training = state.training;
  const Plan& plan = state.plan;
  EXPECT_TRUE(training.active && training.passed);
  EXPECT_EQ(std::vector<int>({training.costLimit, plan.totalTrialCount(), training.resumeTrial,
                              training.recordedTrial, plan.trialCount(), plan.currentTrial}),
            std::vector<int>({100, 7, 2, -1, 5, 5}));
  EXPECT_TRUE(prompter.shown.empty());
}

// A returning participant trains below 0 and below the lowest trial
// recorded: after experiment trials only, from -1.
TEST_F(ExperimentLoadingTest, ReturningParticipantsTrainBelowZeroAndTheirLowestTrial) {
  addBlock();
  addTraining();
  const struct {
    std::vector<int> recorded;
    int expected;
  } cases[] = {{{}, -1}, {{2, -3}, -4}, {{2, 1}, -1}, {{3}, -1}, {{0}, -1}};
  for (const auto& k : cases) {
    file.exec("DELETE FROM datRole");
    addRecorded("S2", -9);
    for (int trial : k.recorded) addRecorded("S1", trial);
    load();
    EXPECT_EQ(state.training.recordedTrial, k.expected) << ::testing::PrintToString(k.recorded);
  }
}

TEST_F(ExperimentLoadingTest, FaultyTrainingRowEndsTheApplicationWithItsRefusal) {
  addBlock();
  addTraining({{"Runs", 0}});
  EXPECT_THROW(load(), ApplicationEnd);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().title, "Error: tblTraining");
  EXPECT_EQ(prompter.last().prompt, "Setting Demo, tblTraining: Runs 0 is below 1");
}

TEST_F(ExperimentLoadingTest, UnconvertibleValueEndsTheStartUpWithAnError) {
  addBlock();
  file.exec("UPDATE tblBlock SET MaxOrder='0x10'");
  EXPECT_EQ(errorOf([&] { load(); }), kErrTypeMismatch);
  EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace quarn::testing
