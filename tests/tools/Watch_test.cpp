#include "tools/Watch.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
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
  // A mark refreshed `secondsAgo`; `state` empty: an application that does
  // not say what the participant does. Stored as a row: a server would date
  // a mark made through the stores by its own clock, not by the test's.
  void mark(const char* subject, const char* setting, const char* host, int64_t secondsAgo,
            std::optional<PlayState> state = std::nullopt, int16_t week = 0, int64_t stateFor = 0) {
    const int64_t now = clock.seconds();
    Columns row = {{"Subject", subject},     {"Setting", setting}, {"Host", host},
                   {"Process", int64_t{42}}, {"Since", now - 600}, {"LastWeek", now - secondsAgo}};
    if (state) {
      row.insert({{"State", playStateWord(*state)},
                  {"StateSince", now - stateFor},
                  {"Trial", 2},
                  {"Week", int{week}},
                  {"Weeks", 20},
                  {"Role", "Retailer"},
                  {"Cost", 77}});
    }
    db.insert("datPlaying", row);
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
// above the table. A workstation gone quiet is told apart from one whose
// participant thinks; a participant without a mark closed the session.
TYPED_TEST(WatchTest, OnceWritesAPlainTableUnderTheTime) {
  this->week("P1", "A", 2, 6, "14:09:00", 35);
  this->week("P1", "A", 2, 7, "14:09:30");
  this->week("Zo\xC3\xAB", "A", -2, 3, "14:05:00", 12);
  this->week("P3", "A", 4, 20, "13:55:00", 90);
  this->mark("P1", "A", "lab-1", 10, PlayState::Choosing, 8, 300);
  this->mark("Zo\xC3\xAB", "A", "lab-2", 300);
  admin::WatchOptions options;
  options.once = true;
  std::ostringstream out;
  EXPECT_EQ(admin::runWatch(options, *openMonitor(this->db.choice()), "the lab's server",
                            this->clock, out, false),
            0);
  EXPECT_EQ(
      out.str(),
      "2024-03-05 14:10:00  the lab's server\n"
      "User ID  Setting  Trial        Week     Role      State                       Cost  "
      "Workstation\n"
      "P1       A        2            8 of 20  Retailer  choosing an order for 5:00  77    "
      "lab-1 (process 42)\n"
      "P3       A        4            20       Retailer  closed 15:00 ago            90    -\n"
      "Zo\xC3\xAB      A        training -2  3        Retailer  playing                     12    "
      "lab-2 (process 42)  GONE 5:00\n"
      "3 participants playing or active in the last hour; GONE: a workstation silent for "
      "more than 60 s (a running one speaks every 15 s)\n");
}

// Each state of a marked participant in words.
TYPED_TEST(WatchTest, SaysWhatEachParticipantDoes) {
  const struct {
    const char* subject;
    PlayState state;
    const char* shown;
  } cases[] = {
      {"S1", PlayState::LoggedIn, "logged in"},
      {"S2", PlayState::Choosing, "choosing an order for 0:42"},
      {"S3", PlayState::Watching, "watching the shipment"},
      {"S4", PlayState::TrialOver, "at the trial's end"},
      {"S5", PlayState::Restarting, "restarting the training trial"},
      {"S6", PlayState::Paused, "in a pause for 0:42"},
      {"S7", PlayState::Finished, "finished"},
  };
  for (const auto& c : cases) this->mark(c.subject, "A", "lab-1", 5, c.state, 3, 42);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), std::size(cases));
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(admin::stateText(shown[i]), cases[i].shown) << cases[i].subject;
    EXPECT_FALSE(shown[i].gone) << cases[i].subject;
  }
}

// A participant thinking for minutes keeps a workstation that speaks; one
// whose refreshes stopped beyond the limit is gone.
TYPED_TEST(WatchTest, GoneOnlyWhenTheRefreshesStop) {
  this->mark("THINKS", "A", "lab-1", 14, PlayState::Choosing, 3, 600);
  this->mark("STOPPED", "A", "lab-2", 61, PlayState::Choosing, 3, 61);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(subjectsOf(shown), (std::vector<std::string>{"STOPPED/A", "THINKS/A"}));
  EXPECT_TRUE(shown[0].gone);
  EXPECT_FALSE(shown[1].gone);
}

// --json: one object a line, with the view's time; unknown values are null.
TYPED_TEST(WatchTest, JsonLinesCarryTheSameAsTheTable) {
  this->mark("P1", "A", "lab-1", 10, PlayState::Paused, 20, 90);
  this->mark("P2", "A", "lab-2", 20);
  admin::WatchOptions options = admin::parseWatchArguments({"db", "--once", "--json"});
  std::ostringstream out;
  admin::runWatch(options, *openMonitor(this->db.choice()), "db", this->clock, out, false);
  EXPECT_EQ(out.str(),
            R"j({"time":"2024-03-05 14:10:00","subject":"P1","setting":"A","trial":2,)j"
            R"j("training":false,"week":20,"weeks":20,"role":"Retailer","state":"pause",)j"
            R"j("stateSeconds":90,"cost":77,"workstation":"lab-1 (process 42)",)j"
            R"j("quietSeconds":10,"gone":false})j"
            "\n"
            R"j({"time":"2024-03-05 14:10:00","subject":"P2","setting":"A","trial":null,)j"
            R"j("training":false,"week":null,"weeks":null,"role":null,"state":"playing",)j"
            R"j("stateSeconds":600,"cost":null,"workstation":"lab-2 (process 42)",)j"
            R"j("quietSeconds":20,"gone":false})j"
            "\n");
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

// Logged in, no week yet: listed from the login's mark.
TYPED_TEST(WatchTest, ListsALoginWithoutAWeekYet) {
  this->mark("P9", "A", "lab-3", 5, PlayState::LoggedIn);
  const std::vector<admin::WatchLine> shown = this->lines();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].state, "login");
  EXPECT_EQ(shown[0].workstation, "lab-3 (process 42)");
}

}  // namespace
}  // namespace quarn::testing
