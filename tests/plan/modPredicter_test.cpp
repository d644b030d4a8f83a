#include "interventions/modPredicter.h"

#include <map>

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

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
