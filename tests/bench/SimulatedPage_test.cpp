#include "bench/server/SimulatedPage.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>

#include "db/ClassStore.h"
#include "db/OpenDatabase.h"
#include "tests/bench/RunningServer.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::bench {
namespace {

namespace asio = boost::asio;

constexpr auto kPatience = std::chrono::seconds(60);
const std::chrono::milliseconds kPace{20};

class SimulatedPageTest : public ::testing::Test {
 protected:
  SimulatedPageTest() {
    // "Short": the demo's four trials of three weeks, with its pause after
    // trial 2; no training.
    demo.db.exec(
        "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo';"
        "UPDATE b SET Setting = 'Short', numweeks = 3; INSERT INTO tblBlock SELECT * FROM b;"
        "CREATE TEMP TABLE p AS SELECT * FROM tblPause WHERE Setting = 'Demo';"
        "UPDATE p SET Setting = 'Short'; INSERT INTO tblPause SELECT * FROM p;");
  }

  // A class of names on "Short".
  void openClass(const std::string& code) {
    ClassRow row;
    row.code = code;
    row.setting = "Short";
    row.password = hashClassPassword("teacher");
    row.opened = "2026-12-08 08:00:00";
    openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().open(row, [&] { return code; });
  }

  // The teacher starts the class once the student joined it (its students
  // wait for the start).
  void startOnceJoined(const SimulatedPage& page, const std::string& code) {
    const auto patience = std::chrono::steady_clock::now() + kPatience;
    while (!page.joinedClass() && page.failure().empty() &&
           std::chrono::steady_clock::now() < patience) {
      io.run_for(std::chrono::milliseconds(20));
    }
    openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().setState(code, ClassState::Started);
  }

  // Plays one page to its end (or the patience's).
  std::shared_ptr<SimulatedPage> play(PagePlan plan, std::optional<StudentPlan> student = {}) {
    auto page =
        std::make_shared<SimulatedPage>(io, std::move(plan), SimulatedPage::Clock::now(), 1);
    if (student) page->joinAsStudent(*student);
    page->start(std::chrono::milliseconds(0));
    if (student) startOnceJoined(*page, student->code);
    io.run_for(kPatience);
    page->abandon();
    io.restart();
    io.run();
    return page;
  }

  testing::DemoFolder demo;
  RunningServer web{demo.app.string()};
  asio::io_context io;  // the pages' sockets; it outlives every page
};

TEST_F(SimulatedPageTest, PlaysEveryTrialThroughThePauseRecordingEachOrdersAnswer) {
  const auto page = play({web.port(), "B1", "Short", "", kPace, "continue"});
  EXPECT_EQ(page->failure(), "");
  EXPECT_TRUE(page->gameOver());
  EXPECT_EQ(page->trialsEnded(), (std::set<int>{1, 2, 3, 4}));
  std::vector<std::pair<int, int>> weeks;
  for (const OrderMade& order : page->orders()) {
    weeks.emplace_back(order.trial, order.week);
    EXPECT_TRUE(order.answeredMs && *order.answeredMs >= order.sentMs);
  }
  std::vector<std::pair<int, int>> expected;
  for (int trial = 1; trial <= 4; ++trial) {
    for (int week = 1; week <= 3; ++week) expected.emplace_back(trial, week);
  }
  EXPECT_EQ(weeks, expected);
  // What the page counts on is what the game stored.
  EXPECT_EQ(demo.db.count("datRole", "Subject='B1'"), 4 * 3 * 4);
  EXPECT_EQ(demo.db.count("datTrial", "Subject='B1'"), 4);
}

TEST_F(SimulatedPageTest, StopsWithTheReasonOfARefusedLogin) {
  const auto page = play({web.port(), "B1", "Nowhere", "", kPace, ""});
  EXPECT_FALSE(page->gameOver());
  EXPECT_EQ(page->failure().rfind("refused login", 0), 0u) << page->failure();
  EXPECT_TRUE(page->orders().empty());
}

TEST_F(SimulatedPageTest, JoinsAClassByItsCodeAndPlaysUnderTheUserIdItWasGiven) {
  openClass("QRS234");
  const auto page =
      play({web.port(), "", "", "", kPace, "continue"}, StudentPlan{"QRS234", "Ada", 0});
  EXPECT_EQ(page->failure(), "");
  EXPECT_TRUE(page->joinedClass());
  EXPECT_TRUE(page->gameOver());
  EXPECT_EQ(page->subject(), "QRS234-001");
  ASSERT_EQ(page->orders().size(), 4u * 3u);
  for (const OrderMade& order : page->orders()) EXPECT_EQ(order.subject, "QRS234-001");
  EXPECT_EQ(demo.db.count("datRole", "Subject='QRS234-001'"), 4 * 3 * 4);
}

TEST_F(SimulatedPageTest, VanishesWhenItsWeekOpensWithoutOrderingIt) {
  openClass("QRS234");
  const auto page =
      play({web.port(), "", "", "", kPace, "continue"}, StudentPlan{"QRS234", "Ada", 5});
  EXPECT_TRUE(page->vanished());
  EXPECT_EQ(page->failure(), "");
  EXPECT_FALSE(page->gameOver());
  // Trial 1's three weeks and trial 2's first, each answered; week 2 of
  // trial 2 opened and was left.
  ASSERT_EQ(page->orders().size(), 4u);
  EXPECT_EQ(page->orders().back().trial, 2);
  EXPECT_EQ(page->orders().back().week, 1);
  EXPECT_TRUE(page->orders().back().answeredMs);
  EXPECT_EQ(page->trialsEnded(), (std::set<int>{1}));
}

TEST_F(SimulatedPageTest, NotesTheWeekTheClockOrderedForItAndPlaysOn) {
  // "Clocked": one trial of one week with the week clock's ten seconds; the
  // page thinks for 15 seconds at least.
  demo.db.exec(
      "CREATE TEMP TABLE c AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" = 1;"
      "UPDATE c SET Setting = 'Clocked', numweeks = 1, JumpWeek = 1;"
      "INSERT INTO tblBlock SELECT * FROM c;");
  demo.db.insert("tblSetting",
                 {{"Setting", "Clocked"}, {"WeekSeconds", 10}, {"ClockRule", "Sterman"}});
  const auto page = play({web.port(), "C1", "Clocked", "", std::chrono::seconds(30), ""});
  EXPECT_EQ(page->failure(), "");
  EXPECT_TRUE(page->gameOver());
  EXPECT_TRUE(page->orders().empty());
  EXPECT_EQ(page->weeksClockOrdered(), (std::set<std::pair<int, int>>{{1, 1}}));
  EXPECT_EQ(demo.db.count("datRole", "Subject='C1' AND User=8"), 1);
}

}  // namespace
}  // namespace quarn::bench
