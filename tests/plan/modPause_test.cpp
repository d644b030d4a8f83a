#include "interventions/modPause.h"

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

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

}  // namespace
}  // namespace quarn::testing
