#include "plan/modTrain.h"

#include "interventions/modPause.h"
#include "plan/modSetup.h"
#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

class TrainTest : public PlanTest {
 protected:
  TrainTest() {
    hooks.SetPlayerCaption = [this](const std::string& c) { captions.push_back(c); };
    hooks.ApplyDisplayConfiguration = [this](const std::string& c) { applied.push_back(c); };
    hooks.NextTrial = [this] { ++nextTrials; };
  }
  void Load() {
    ExperimentContext c{db, toolkit, identity, plan, training, pauses, file.Folder(), hooks};
    LoadExperiment(c);
  }
  void Recorded(const char* subject, int trial) {
    Row("datRole", {{"Subject", subject},
                    {"Setting", "Demo"},
                    {"Trial", trial},
                    {"Week", 1},
                    {"Role", "Retailer"}});
  }

  TrainingState training;
  PauseState pauses;
  TrainingHooks hooks;
  std::vector<std::string> captions, applied;
  int nextTrials = 0;
};

TEST_F(TrainTest, SettingWithoutTrainingKeepsTheLoginTrial) {
  Block({{"Runs", 2}});
  Block({{"DisplayOption", "Second"}});
  plan.CurrentTrial = 2;
  Load();
  EXPECT_FALSE(training.TrainingMode);
  EXPECT_EQ(training.PlanCount, 0);
  EXPECT_EQ(plan.TrialPlans.size(), 3u);
  EXPECT_EQ(plan.CurrentTrial, 2);
  EXPECT_TRUE(toolkit.shown.empty());
  EXPECT_EQ(applied, (std::vector<std::string>{"Second"}));
}

TEST_F(TrainTest, ParticipantWithNoTrialLeftLoadsWithoutApplyingADisplay) {
  Block();
  plan.CurrentTrial = 1;
  Load();
  EXPECT_TRUE(applied.empty());
}

TEST_F(TrainTest, TrainingTrialsFollowTheBlocksAndStartFirst) {
  Block({{"Runs", 5}});
  Training({{"Delay", 3}, {"DisplayOption", "Train"}, {"Retailer", "Bot"}, {"Factory", "Subject"}});
  Training({{"Runs", 4}});  // only the first row counts
  plan.CurrentTrial = 3;
  Load();
  EXPECT_TRUE(training.TrainingMode);
  EXPECT_EQ(training.TrainingRuns, 2);
  EXPECT_EQ(training.TrainingCostLimit, 100);
  EXPECT_EQ(training.TrainingInventoryBound, 50);
  EXPECT_EQ(training.TrainingPassword, "skip");
  EXPECT_EQ(training.PlanCount, 7);
  EXPECT_EQ(training.ResumeTrial, 2);
  EXPECT_TRUE(training.TrainingPassed);
  EXPECT_EQ(training.TrainingTrialNo, -1);
  EXPECT_EQ(plan.TrialCount, 5);
  ASSERT_EQ(plan.TrialPlans.size(), 7u);
  EXPECT_EQ(plan.CurrentTrial, 5);
  const TrialPlan& t = plan.TrialPlans[6];
  EXPECT_EQ(t.numweeks, 6);
  EXPECT_EQ(t.OrderDelay, 3);
  EXPECT_EQ(t.SubjectRole, 0);
  EXPECT_FALSE(t.EnableProfit);
  EXPECT_EQ(plan.TrialPlans[4].OrderDelay, 1);
  EXPECT_EQ(captions, (std::vector<std::string>{"Training"}));
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.Last().prompt, "First, we will have some training trials...");
  EXPECT_EQ(toolkit.Last().title, "");
  EXPECT_EQ(applied, (std::vector<std::string>{"Train"}));

  EndTraining(toolkit, plan, training, hooks);
  EXPECT_EQ(toolkit.Last().prompt, "The experiment will now begin");
  EXPECT_EQ(toolkit.Last().title, "Training Complete");
  EXPECT_FALSE(training.TrainingMode);
  EXPECT_EQ(plan.CurrentTrial, 2);
  EXPECT_EQ(captions.back(), "");
  EXPECT_EQ(nextTrials, 1);
}

TEST_F(TrainTest, ReturningParticipantsTrainBelowTheirLowestTrial) {
  Block();
  Training();
  Recorded("S1", 2);
  Recorded("S1", -3);
  Recorded("S2", -9);
  Load();
  EXPECT_EQ(training.TrainingTrialNo, -4);

  file.Exec("DELETE FROM datRole");
  Recorded("S1", 1);
  Recorded("S1", 4);
  Load();
  EXPECT_EQ(training.TrainingTrialNo, 0);
}

TEST_F(TrainTest, PausesAreLoadedLast) {
  Block();
  Row("tblPause", {{"Setting", "Demo"}, {"Trial", 1}, {"Password", "p"}});
  Load();
  EXPECT_EQ(pauses.PauseCount, 1);
}

}  // namespace
}  // namespace quarn::testing
