#include "plan/modTrain.h"

#include <map>

#include "interventions/modPredicter.h"
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

TEST_F(TrainTest, TrainingTrialsFollowTheBlocksAndStartFirst) {
  Block({{"Runs", 5}, {"DisplayOption", "Second"}});
  plan.currentTrial = 2;
  Load();  // no training: the login trial stays and its display is applied
  EXPECT_FALSE(training.active || !plan.trainingTrials.empty() || !toolkit.shown.empty());
  EXPECT_EQ(plan.currentTrial, 2);
  plan.currentTrial = 5;  // no trial left: no display to apply
  Load();
  EXPECT_EQ(applied, (std::vector<std::string>{"Second"}));
  applied.clear();

  Training({{"Delay", 3}, {"DisplayOption", "Train"}, {"Retailer", "Bot"}, {"Factory", "Subject"}});
  Training({{"Runs", 4}});  // only the first row counts
  plan.currentTrial = 3;
  Load();
  EXPECT_TRUE(training.active && training.passed);
  EXPECT_EQ(std::vector<int>({static_cast<int>(plan.trainingTrials.size()), training.costLimit,
                              training.inventoryBound, plan.totalTrialCount(), training.resumeTrial,
                              training.recordedTrial, plan.trialCount(), plan.currentTrial}),
            std::vector<int>({2, 100, 50, 7, 2, -1, 5, 5}));
  EXPECT_EQ(training.password, "skip");
  ASSERT_EQ(plan.totalTrialCount(), 7);
  const TrialPlan& t = plan.trialAt(6);
  EXPECT_EQ(std::vector<int>({t.weeks, t.orderDelay, t.participantRole, t.enableProfit,
                              plan.trialAt(4).orderDelay}),
            std::vector<int>({6, 3, 0, 0, 1}));
  EXPECT_EQ(captions, (std::vector<std::string>{"Training"}));
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.Last().prompt, "First, we will have some training trials...");
  EXPECT_EQ(applied, (std::vector<std::string>{"Train"}));

  EndTraining(toolkit, plan, training, hooks);
  EXPECT_EQ(toolkit.Last().prompt, "The experiment will now begin");
  EXPECT_EQ(toolkit.Last().title, "Training Complete");
  EXPECT_FALSE(training.active);
  EXPECT_EQ(plan.currentTrial, 2);
  EXPECT_EQ(captions.back(), "");
  EXPECT_EQ(nextTrials, 1);
}

// A returning participant trains one below the lowest trial recorded.
TEST_F(TrainTest, ReturningParticipantsTrainBelowTheirLowestTrial) {
  Block();
  Training();
  for (auto [subject, trial] : {std::pair{"S1", 2}, {"S1", -3}, {"S2", -9}})
    Recorded(subject, trial);
  Load();
  EXPECT_EQ(training.recordedTrial, -4);
  file.Exec("UPDATE datRole SET Trial=1 WHERE Trial=-3");
  Load();
  EXPECT_EQ(training.recordedTrial, 0);
}

class PredicterTest : public PlanTest {
 protected:
  PredicterTest() {
    trial.weeks = 20;
    for (int w = 1; w <= 21; ++w) trial.weeklyDemand.push_back(100 + w);  // week w at w - 1
  }
  PredicterState state;
  TrialPlan trial;
};

// The named row only; no name opens nothing (the path would fail loudly).
TEST_F(PredicterTest, ShowsTheDemandExtentWeeksAheadThenExcess) {
  Row("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", 2}, {"Excess", -5}, {"MaxNoise", 3}});
  EXPECT_EQ(LoadPredicter(db, state, "Missing"), -1);
  EXPECT_EQ(LoadPredicter(db, state, "Ahead"), 2);
  EXPECT_EQ(state.PredictMaxNoise, 3);
  state.PredictMaxNoise = 0;
  db.DatabasePath = file.Folder() + "/no-such.mdb";
  EXPECT_EQ(LoadPredicter(db, state, ""), -1);
  EXPECT_EQ(std::vector<int>({PredictDemand(state, trial, 5, random),
                              PredictDemand(state, trial, 18, random),
                              PredictDemand(state, trial, 19, random),
                              PredictDemand(state, trial, 21, random), LastPredictNoise(state)}),
            std::vector<int>({107, 120, -5, -5, 0}));
  EXPECT_EQ(random.drawsTaken, 0u);  // no noise drawn
  state.PredictExcess = 40000;
  EXPECT_THROW(PredictDemand(state, trial, 19, random), OverflowError);
}

TEST_F(PredicterTest, NoiseOfOneSpreadsOverFourValues) {
  state = {0, 0, 1, 0};
  random.draws.clear();
  for (int i = 0; i < 600; ++i) random.draws.push_back((i + 0.5) / 600);
  random.draws.push_back(0.5);  // 0.5 exactly: rounds to the even 0
  std::map<int, int> counts;
  for (int i = 0; i < 600; ++i) {
    const int16_t shown = PredictDemand(state, trial, 1, random);
    EXPECT_EQ(shown, 101 + LastPredictNoise(state));
    ++counts[LastPredictNoise(state)];
  }
  EXPECT_EQ(counts, (std::map<int, int>{{-1, 100}, {0, 200}, {1, 200}, {2, 100}}));
  PredictDemand(state, trial, 1, random);
  EXPECT_EQ(LastPredictNoise(state), 0);
  EXPECT_TRUE(random.reseeds.empty());
}

}  // namespace
}  // namespace quarn::testing
