#include "plan/WeekClock.h"

#include "plan/SettingCheck.h"
#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

class WeekClockTest : public PlanTest {
 protected:
  WeekClockTest() { insertRow("tblPlayer", {{"Name", "Passer"}}); }
  WeekClockRow clockOf(const std::string& setting = "Demo") {
    return readWeekClock(tables(), players(), setting);
  }
};

TEST_F(WeekClockTest, ClockIsReadFromTheSettingsRow) {
  const struct {
    const char* name;
    Columns row;  // none: the setting has no row
    int32_t seconds;
    int16_t player;
  } cases[] = {
      {"no row", {}, 0, kNoClockPlayer},
      {"no clock", {{"Language", "de"}}, 0, kNoClockPlayer},
      {"last order", {{"WeekSeconds", 60}}, 60, kNoClockPlayer},
      {"shortest", {{"WeekSeconds", 10}, {"ClockRule", ""}}, 10, kNoClockPlayer},
      {"longest", {{"WeekSeconds", 3600}}, 3600, kNoClockPlayer},
      {"a player, its name in any case", {{"WeekSeconds", 45}, {"ClockRule", " passer "}}, 45, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    file.exec(R"(DELETE FROM "tblSetting")");
    if (!c.row.empty()) {
      Columns row = c.row;
      row["Setting"] = "Demo";
      insertRow("tblSetting", row);
    }
    const WeekClockRow read = clockOf();
    EXPECT_TRUE(read.faults.empty()) << refusal(read.faults).second;
    EXPECT_EQ(read.clock.seconds, c.seconds);
    EXPECT_EQ(read.clock.player, c.player);
    EXPECT_EQ(read.clock.runs(), c.seconds > 0);
  }
}

// A clock the game could not keep, or a rule naming nobody, is refused
// before anyone plays; the setting then has no clock.
TEST_F(WeekClockTest, ClockOutsideItsRangeOrRuleNamingNoPlayerIsRefused) {
  const struct {
    Columns row;
    const char* field;
  } cases[] = {
      {{{"WeekSeconds", 9}}, "WeekSeconds"},
      {{{"WeekSeconds", 3601}}, "WeekSeconds"},
      {{{"WeekSeconds", -30}}, "WeekSeconds"},
      {{{"WeekSeconds", 60}, {"ClockRule", "Nobody"}}, "ClockRule"},
      {{{"WeekSeconds", 60}, {"ClockRule", "Subject"}}, "ClockRule"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    file.exec(R"(DELETE FROM "tblSetting")");
    Columns row = c.row;
    row["Setting"] = "Demo";
    insertRow("tblSetting", row);
    const WeekClockRow read = clockOf();
    ASSERT_EQ(read.faults.size(), 1u);
    EXPECT_EQ(read.faults[0].field, c.field);
    EXPECT_EQ(read.faults[0].table, "tblSetting");
    EXPECT_FALSE(read.clock.runs());
  }
}

// The plan check lists the clock's fault with the setting's others.
TEST_F(WeekClockTest, SettingCheckListsTheClocksFault) {
  addBlock();
  insertRow("tblSetting", {{"Setting", "Demo"}, {"WeekSeconds", 5}});
  const std::vector<PlanFault> faults =
      checkSetting(tables(), players(), "Demo", file.folder(), PlanHome::File);
  ASSERT_NE(firstFault(faults), nullptr);
  EXPECT_EQ(describeFault(*firstFault(faults)),
            "Setting Demo, tblSetting: WeekSeconds 5 is not 0 (no clock) or 10 to 3600 seconds");
}

}  // namespace
}  // namespace quarn::testing
