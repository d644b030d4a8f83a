#include "tools/Watch.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/EngineDatabases.h"
#include "tests/support/FixedClocks.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// The participants' weeks around 2024-03-05 14:10:00, local time.
template <class Engine>
class WatchTest : public ::testing::Test {
 protected:
  WatchTest() : clock(LocalDateTime{2024, 3, 5, 14, 10, 0}) {}

  // The participant's stage and a simulated one.
  void week(const char* subject, const char* setting, int trial, int week, const char* time,
            int cost = 40) {
    for (const char* role : {"Factory", "Retailer"}) {
      const bool participant = std::string(role) == "Retailer";
      db.insert("datRole", {{"Subject", subject},
                            {"Setting", setting},
                            {"Trial", trial},
                            {"Training", trial < 0},
                            {"Week", week},
                            {"Role", role},
                            {"User", participant ? 6 : 0},
                            {"TotalCost", participant ? cost : 999},
                            {"Date", "2024-03-05"},
                            {"TimeOfDay", time}});
    }
  }
  void mark(const char* subject, const char* setting, const char* host, int64_t secondsAgo) {
    // Stored as a row: a server would date a mark made through the stores
    // by its own clock, not by the test's.
    const int64_t now = clock.seconds();
    db.insert("datPlaying", {{"Subject", subject},
                             {"Setting", setting},
                             {"Host", host},
                             {"Process", int64_t{42}},
                             {"Since", now - 600},
                             {"LastWeek", now - secondsAgo}});
  }
  std::vector<admin::WatchLine> lines(const std::string& setting = "") {
    admin::WatchOptions options;
    options.setting = setting;
    return admin::watchLines(*openMonitor(db.choice()), clock.seconds(), options);
  }

  Engine db;
  FixedWallClock clock;
};
TYPED_TEST_SUITE(WatchTest, Engines, EngineNames);

std::vector<std::string> subjectsOf(const std::vector<admin::WatchLine>& lines) {
  std::vector<std::string> subjects;
  for (const admin::WatchLine& line : lines) subjects.push_back(line.subject + "/" + line.setting);
  return subjects;
}

// Into a file or a pipe: no screen control, the time and the database
// above the table.
TYPED_TEST(WatchTest, OnceWritesAPlainTableUnderTheTime) {
  this->week("P1", "A", 2, 6, "14:09:00", 35);
  this->week("P1", "A", 2, 7, "14:09:30");
  this->week("Zo\xC3\xAB", "A", -2, 3, "14:05:00", 12);
  this->mark("P1", "A", "lab-1", 30);
  this->mark("Zo\xC3\xAB", "A", "lab-2", 300);
  admin::WatchOptions options;
  options.once = true;
  std::ostringstream out;
  EXPECT_EQ(admin::runWatch(options, *openMonitor(this->db.choice()), "the lab's server",
                            this->clock, out, false),
            0);
  EXPECT_EQ(out.str(),
            "2024-03-05 14:10:00  the lab's server\n"
            "User ID  Setting  Trial        Week  Last week  Cost  Workstation\n"
            "P1       A        2            7     0:30 ago   40    lab-1 (process 42)\n"
            "Zo\xC3\xAB      A        training -2  3     5:00 ago   12    lab-2 (process 42)  "
            "SILENT\n"
            "2 participants active in the last hour; SILENT: a workstation with no week "
            "recorded for more than 120 s\n");
}

TYPED_TEST(WatchTest, LeavesOutWhoRecordedNothingForAnHour) {
  this->week("P1", "A", 1, 1, "13:10:30");
  this->week("P2", "A", 1, 1, "13:09:59");
  this->week("P3", "A", 1, 1, "09:00:00");
  EXPECT_EQ(subjectsOf(this->lines()), (std::vector<std::string>{"P1/A"}));
}

TYPED_TEST(WatchTest, ShowsTheSettingAskedForOnly) {
  this->week("P1", "A", 1, 1, "14:00:00");
  this->week("P1", "B", 1, 4, "14:01:00");
  this->week("P2", "B", 1, 2, "14:02:00");
  EXPECT_EQ(subjectsOf(this->lines("B")), (std::vector<std::string>{"P1/B", "P2/B"}));
  EXPECT_EQ(subjectsOf(this->lines()), (std::vector<std::string>{"P1/A", "P1/B", "P2/B"}));
}

// Logged in, no week yet: the line counts from the login's mark.
TYPED_TEST(WatchTest, ListsALoginWithoutAWeekYet) {
  this->mark("P9", "A", "lab-3", 200);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].trial, "-");
  EXPECT_EQ(shown[0].secondsSince, 200);
  EXPECT_TRUE(shown[0].silent);
}

}  // namespace
}  // namespace quarn::testing
