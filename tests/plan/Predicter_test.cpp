#include "plan/Predicter.h"

#include <map>

#include "base/Errors.h"
#include "tests/plan/PlanFixture.h"
#include "tests/support/FixedRandom.h"

namespace quarn::testing {
namespace {

class PredicterTest : public PlanTest {
 protected:
  PredicterTest() {
    trial.weeks = 20;
    for (int w = 1; w <= 21; ++w) trial.weeklyDemand.push_back(100 + w);  // week w at w - 1
  }
  PredicterState state;
  TrialPlan trial;
  FixedRandom random;
};

// No name reads nothing (a file that is not there would fail loudly).
TEST_F(PredicterTest, LoadsTheNamedRowOnly) {
  insertRow("tblPredicter",
            {{"Predicter", "Ahead"}, {"Extent", 2}, {"Excess", -5}, {"MaxNoise", 3}});
  EXPECT_EQ(loadPredicter(tables(), state, "Missing"), -1);
  EXPECT_EQ(loadPredicter(tables(), state, "Ahead"), 2);
  EXPECT_EQ(state.forecast.maxNoise, 3);
  file.stores.setLocation(file.folder() + "/no-such.mdb");
  EXPECT_EQ(loadPredicter(tables(), state, ""), -1);
}

TEST_F(PredicterTest, ShowsTheDemandExtentWeeksAheadThenExcess) {
  state.forecast = {2, -5, 0};
  EXPECT_EQ(std::vector<int>({predictDemand(state, trial, 5, random),
                              predictDemand(state, trial, 18, random),
                              predictDemand(state, trial, 19, random),
                              predictDemand(state, trial, 21, random), state.noise}),
            std::vector<int>({107, 120, -5, -5, 0}));
  EXPECT_EQ(random.drawsTaken, 0u);  // no noise drawn
}

TEST_F(PredicterTest, RefusesAForecastBeyond16Bits) {
  state.forecast = {2, 40000, 0};
  EXPECT_THROW(predictDemand(state, trial, 19, random), OverflowError);
}

TEST_F(PredicterTest, NoiseOfOneSpreadsOverFourValues) {
  state.forecast = {0, 0, 1};
  random.draws.clear();
  for (int i = 0; i < 600; ++i) random.draws.push_back((i + 0.5) / 600);
  random.draws.push_back(0.5);  // 0.5 exactly: rounds to the even 0
  std::map<int, int> counts;
  for (int i = 0; i < 600; ++i) {
    const int16_t shown = predictDemand(state, trial, 1, random);
    EXPECT_EQ(shown, 101 + state.noise);
    ++counts[state.noise];
  }
  EXPECT_EQ(counts, (std::map<int, int>{{-1, 100}, {0, 200}, {1, 200}, {2, 100}}));
  predictDemand(state, trial, 1, random);
  EXPECT_EQ(state.noise, 0);
  EXPECT_TRUE(random.reseeds.empty());
}

}  // namespace
}  // namespace quarn::testing
