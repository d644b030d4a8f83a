#include "plan/modTrain.h"

#include <map>

#include "interventions/modPause.h"
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

  applied.clear();  // a participant with no trial left: no display to apply
  plan.CurrentTrial = 3;
  Load();
  EXPECT_TRUE(applied.empty());
}

TEST_F(TrainTest, TrainingTrialsFollowTheBlocksAndStartFirst) {
  Block({{"Runs", 5}});
  Training({{"Delay", 3}, {"DisplayOption", "Train"}, {"Retailer", "Bot"}, {"Factory", "Subject"}});
  Training({{"Runs", 4}});  // only the first row counts
  plan.CurrentTrial = 3;
  Load();
  EXPECT_TRUE(training.TrainingMode && training.TrainingPassed);
  EXPECT_EQ(
      std::vector<int>({training.TrainingRuns, training.TrainingCostLimit,
                        training.TrainingInventoryBound, training.PlanCount, training.ResumeTrial,
                        training.TrainingTrialNo, plan.TrialCount, plan.CurrentTrial}),
      std::vector<int>({2, 100, 50, 7, 2, -1, 5, 5}));
  EXPECT_EQ(training.TrainingPassword, "skip");
  ASSERT_EQ(plan.TrialPlans.size(), 7u);
  const TrialPlan& t = plan.TrialPlans[6];
  EXPECT_EQ(std::vector<int>({t.numweeks, t.OrderDelay, t.SubjectRole, t.EnableProfit,
                              plan.TrialPlans[4].OrderDelay}),
            std::vector<int>({6, 3, 0, 0, 1}));
  EXPECT_EQ(captions, (std::vector<std::string>{"Training"}));
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.Last().prompt, "First, we will have some training trials...");
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

class PauseTest : public PlanTest {
 protected:
  void Pause(const char* setting, int trial, const char* password) {
    Row("tblPause", {{"Setting", setting}, {"Trial", trial}, {"Password", password}});
  }
  PauseState pauses;
};

TEST_F(PauseTest, PausesComeInTrialOrderWithTheirOwnPasswords) {
  Pause("Demo", 4, "Second");
  Pause("Demo", 2, "First");
  Pause("Other", 1, "x");
  LoadPauses(db, identity, pauses);
  ASSERT_EQ(pauses.PauseCount, 2);

  EXPECT_FALSE(PauseDue(pauses, 0));  // trial 1 just finished
  EXPECT_TRUE(PauseDue(pauses, 1));
  EXPECT_FALSE(CheckPausePassword(pauses, "first"));
  EXPECT_FALSE(CheckPausePassword(pauses, "Second"));
  EXPECT_TRUE(CheckPausePassword(pauses, "First"));
  EXPECT_FALSE(PauseDue(pauses, 1));
  EXPECT_FALSE(PauseDue(pauses, 2));
  EXPECT_TRUE(PauseDue(pauses, 3));
  EXPECT_TRUE(CheckPausePassword(pauses, "Second"));
  EXPECT_FALSE(PauseDue(pauses, 3));
  EXPECT_FALSE(CheckPausePassword(pauses, "Second"));  // nothing pending

  // A setting without pauses keeps what was loaded, and NextPause never resets.
  identity.SettingName = "None";
  LoadPauses(db, identity, pauses);
  EXPECT_EQ(pauses.PauseCount, 2);
  EXPECT_EQ(pauses.NextPause, 2);
}

class PredicterTest : public PlanTest {
 protected:
  PredicterTest() {
    trial.numweeks = 20;
    for (int w = 1; w <= 21; ++w) trial.WeeklyDemand.push_back(100 + w);  // week w at w - 1
  }
  PredicterState state;
  TrialPlan trial;
};

TEST_F(PredicterTest, LoadsTheNamedRowOnly) {
  Row("tblPredicter", {{"Predicter", "Ahead"}, {"Extent", 2}, {"Excess", -5}, {"MaxNoise", 3}});
  state.PredictExtent = 9;
  EXPECT_EQ(LoadPredicter(db, state, "Missing"), -1);
  EXPECT_EQ(state.PredictExtent, 9);
  EXPECT_EQ(LoadPredicter(db, state, "Ahead"), 2);
  EXPECT_EQ(state.PredictExcess, -5);
  EXPECT_EQ(state.PredictMaxNoise, 3);

  db.DatabasePath = file.Folder() + "/no-such.mdb";  // any open would fail loudly
  EXPECT_EQ(LoadPredicter(db, state, ""), -1);
}

TEST_F(PredicterTest, ShowsTheDemandExtentWeeksAheadThenExcess) {
  state = {2, -5, 0, 7};
  EXPECT_EQ(PredictDemand(state, trial, 5, random), 107);
  EXPECT_EQ(PredictDemand(state, trial, 18, random), 120);
  EXPECT_EQ(PredictDemand(state, trial, 19, random), -5);
  EXPECT_EQ(PredictDemand(state, trial, 21, random), -5);
  EXPECT_EQ(LastPredictNoise(state), 7);  // no noise drawn
  EXPECT_EQ(random.next, 0u);

  state.PredictExcess = 40000;
  EXPECT_THROW(PredictDemand(state, trial, 19, random), OverflowError);
  state.PredictExtent = -3;
  EXPECT_THROW(PredictDemand(state, trial, 1, random), QuarnError);
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
