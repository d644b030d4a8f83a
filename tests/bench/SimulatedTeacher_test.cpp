#include "bench/server/SimulatedTeacher.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <functional>

#include "bench/server/SimulatedPage.h"
#include "db/ClassStore.h"
#include "db/OpenDatabase.h"
#include "tests/bench/RunningServer.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::bench {
namespace {

namespace asio = boost::asio;

constexpr auto kPatience = std::chrono::seconds(60);
const std::chrono::milliseconds kPace{20};
const std::string kCode = "QRS234";
const std::string kPassword = "teacher";

class SimulatedTeacherTest : public ::testing::Test {
 protected:
  SimulatedTeacherTest() {
    // "Pair": the demo's first trial of three weeks, member 1 the Factory,
    // member 2 the Retailer; its class forms teams as students arrive.
    demo.db.exec(
        "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" = 1;"
        "UPDATE b SET Setting = 'Pair', numweeks = 3, Factory = 'Subject1', Distributor = "
        "'Sterman', Wholesaler = 'Sterman', Retailer = 'Subject2';"
        "INSERT INTO tblBlock SELECT * FROM b;");
    ClassRow row;
    row.code = kCode;
    row.setting = "Pair";
    row.password = hashClassPassword(kPassword);
    row.leftoverPlayer = "Sterman";
    row.opened = "2026-12-08 08:00:00";
    openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().open(row, [] { return kCode; });
  }

  std::shared_ptr<SimulatedTeacher> teacher(const std::string& password) {
    auto page = std::make_shared<SimulatedTeacher>(io, web.port(), kCode, password, runStart);
    page->start();
    return page;
  }

  std::shared_ptr<SimulatedPage> student(const std::string& name) {
    auto page = std::make_shared<SimulatedPage>(io, PagePlan{web.port(), "", "", "", kPace, ""},
                                                runStart, 1);
    page->joinAsStudent({kCode, name, 0});
    page->start(std::chrono::milliseconds(0));
    return page;
  }

  // Runs the sockets until `done` (or the patience ran out).
  void runUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      io.restart();
      io.run_for(std::chrono::milliseconds(10));
    }
  }

  void close(SimulatedTeacher& page) {
    page.stop();
    io.restart();
    io.run_for(std::chrono::seconds(5));
  }

  testing::DemoFolder demo;
  RunningServer web{demo.app.string()};
  asio::io_context io;
  const SimulatedPage::Clock::time_point runStart = SimulatedPage::Clock::now();
};

TEST_F(SimulatedTeacherTest, StartsTheClassAndSeesEveryOrderInTheLiveView) {
  const auto page = teacher(kPassword);
  page->startClass();
  const auto ada = student("Ada");
  const auto bo = student("Bo");
  const auto seenToTheEnd = [&](const std::string& subject) {
    const auto seen = page->sightings().find(subject);
    return seen != page->sightings().end() && seen->second.back().shown.second == kWholeTrial;
  };
  runUntil([&] {
    return ada->gameOver() && bo->gameOver() && seenToTheEnd(ada->subject()) &&
           seenToTheEnd(bo->subject());
  });
  close(*page);
  EXPECT_EQ(page->failure(), "");
  EXPECT_TRUE(page->classStarted());
  EXPECT_EQ(openStores(demo.dataDir(), kDefaultDatabaseFile)->classes().find(kCode)->state,
            ClassState::Started);
  std::vector<OrderMade> orders = ada->orders();
  orders.insert(orders.end(), bo->orders().begin(), bo->orders().end());
  ASSERT_EQ(orders.size(), 6u);
  const ViewDelays delays = viewDelays(orders, page->sightings());
  EXPECT_EQ(delays.unseen, 0);
  EXPECT_GT(page->views(), 0);
}

TEST_F(SimulatedTeacherTest, ReportsTheRefusalOfAWrongPassword) {
  const auto page = teacher("guess");
  page->startClass();
  runUntil([&] { return !page->failure().empty(); });
  close(*page);
  EXPECT_EQ(page->failure(), "refused classLogin: wrongPassword");
  EXPECT_FALSE(page->loggedIn());
  EXPECT_FALSE(page->classStarted());
}

}  // namespace
}  // namespace quarn::bench
