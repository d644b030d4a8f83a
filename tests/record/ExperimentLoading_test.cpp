#include "record/ExperimentLoading.h"

#include <gtest/gtest.h>

#include "tests/plan/PlanFixture.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/ScriptedPrompter.h"

namespace quarn::testing {
namespace {

class LoadTest : public PlanTest {
 protected:
  LoadTest() {
    identity.SubjectID = "S1";
    identity.SettingName = "Demo";
    hooks.SetPlayerCaption = [this](const std::string& c) { captions.push_back(c); };
    hooks.ApplyDisplayConfiguration = [this](const std::string& c) { applied.push_back(c); };
    hooks.NextTrial = [this] { ++nextTrials; };
  }
  void load() {
    ExperimentContext c{db, prompter, identity, plan, training, pauses, file.folder(), hooks};
    loadExperiment(c);
  }
  void addRecorded(const char* subject, int trial) {
    insertRow("datRole", {{"Subject", subject},
                          {"Setting", "Demo"},
                          {"Trial", trial},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }

  ScriptedPrompter prompter;
  FixedRandom random;
  DatabaseAccess db{file.stores, prompter, random};
  Identity identity;
  Plan plan;
  TrainingState training;
  PauseSchedule pauses;
  TrainingHooks hooks;
  std::vector<std::string> captions, applied;
  int nextTrials = 0;
};

// Without training the login's trial stays and its display is applied; a
// participant with no trial left has no display to apply.
TEST_F(LoadTest, WithoutTrainingTheLoginsTrialStays) {
  addBlock({{"Runs", 5}, {"DisplayOption", "Second"}});
  plan.currentTrial = 2;
  load();
  EXPECT_FALSE(training.active || !plan.trainingTrials.empty() || !prompter.shown.empty());
  EXPECT_EQ(plan.currentTrial, 2);
  plan.currentTrial = 5;
  load();
  EXPECT_EQ(applied, (std::vector<std::string>{"Second"}));
}

TEST_F(LoadTest, TrainingTrialsFollowTheBlocksAndStartFirst) {
  addBlock({{"Runs", 5}});
  addTraining(
      {{"Delay", 3}, {"DisplayOption", "Train"}, {"Retailer", "Bot"}, {"Factory", "Subject"}});
  plan.currentTrial = 3;
  load();
  EXPECT_TRUE(training.active && training.passed);
  EXPECT_EQ(std::vector<int>({training.costLimit, training.inventoryBound, plan.totalTrialCount(),
                              training.resumeTrial, training.recordedTrial, plan.trialCount(),
                              plan.currentTrial}),
            std::vector<int>({100, 50, 7, 2, -1, 5, 5}));
  EXPECT_EQ(plan.trialAt(6).orderDelay, 3);
  EXPECT_EQ(captions, (std::vector<std::string>{"Training"}));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().prompt, "First, we will have some training trials...");
  EXPECT_EQ(applied, (std::vector<std::string>{"Train"}));
}

TEST_F(LoadTest, EndOfTrainingHandsBackToTheExperiment) {
  addBlock({{"Runs", 5}});
  addTraining();
  plan.currentTrial = 3;
  load();
  endTraining(prompter, plan, training, hooks);
  EXPECT_EQ(prompter.last().prompt, "The experiment will now begin");
  EXPECT_EQ(prompter.last().title, "Training Complete");
  EXPECT_FALSE(training.active);
  EXPECT_EQ(plan.currentTrial, 2);
  EXPECT_EQ(captions.back(), "");
  EXPECT_EQ(nextTrials, 1);
}

// A returning participant trains one below the lowest trial recorded.
TEST_F(LoadTest, ReturningParticipantsTrainBelowTheirLowestTrial) {
  addBlock();
  addTraining();
  for (auto [subject, trial] : {std::pair{"S1", 2}, {"S1", -3}, {"S2", -9}}) {
    addRecorded(subject, trial);
  }
  load();
  EXPECT_EQ(training.recordedTrial, -4);
  file.exec("UPDATE datRole SET Trial=1 WHERE Trial=-3");
  load();
  EXPECT_EQ(training.recordedTrial, 0);
}

// A bad training row, or a pause that cannot be read, is refused before
// training is announced; the refusal ends the application.
TEST_F(LoadTest, RefusalComesBeforeTrainingIsAnnounced) {
  addBlock();
  addTraining({{"Runs", 0}});
  EXPECT_THROW(load(), ApplicationEnd);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().title, "Error: tblTraining");
  EXPECT_EQ(prompter.last().prompt, "Setting Demo, tblTraining: Runs 0 is below 1");
}

TEST_F(LoadTest, UnconvertibleValueEndsTheStartUpWithAnError) {
  addBlock();
  file.exec("UPDATE tblBlock SET MaxOrder='0x10'");
  try {
    load();
    ADD_FAILURE() << "accepted";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.number(), kErrTypeMismatch);
  }
  EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace quarn::testing
