#include "bench/server/SimulatedPage.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <thread>

#include "server/WebServer.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::bench {
namespace {

namespace asio = boost::asio;

constexpr auto kPatience = std::chrono::seconds(60);
const std::chrono::milliseconds kPace{20};

// The browser's server on a port of its own and its one thread, in the
// demo's application folder.
class RunningServer {
 public:
  explicit RunningServer(const std::string& appFolder)
      : m_web(m_io, {asio::ip::make_address("127.0.0.1"), 0}, appFolder),
        m_thread([this] { m_io.run(); }) {}
  ~RunningServer() {
    m_io.stop();
    m_thread.join();
  }
  uint16_t port() const { return m_web.port(); }

 private:
  asio::io_context m_io{1};
  server::WebServer m_web;
  std::thread m_thread;
};

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

  // Plays one page to its end (or the patience's).
  std::shared_ptr<SimulatedPage> play(PagePlan plan) {
    auto page =
        std::make_shared<SimulatedPage>(io, std::move(plan), SimulatedPage::Clock::now(), 1);
    page->start(std::chrono::milliseconds(0));
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

}  // namespace
}  // namespace quarn::bench
