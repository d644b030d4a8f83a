#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "server/ParticipantSession.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr int kWeeks = 4;
constexpr int kTrials = 2;

// A team setting beside the demo's: its first two trials, shortened, the
// members on the Retailer (Subject1) and the Factory (Subject2), each
// training alone.
void addPairSetting(TestDatabase& db) {
  db.exec("CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= " +
          std::to_string(kTrials) + "; UPDATE b SET Setting = 'Pair', numweeks = " +
          std::to_string(kWeeks) + memberAssignments({"Retailer", "Factory"}) +
          ", \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
          "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  copyDemoTraining(db, "Pair");
}

// The members' orders, one a week of both trials.
const std::vector<int> kBrowserOrders = {5, 3, 8, 2, 6, 4, 7, 1};
const std::vector<int> kPilotOrders = {4, 4, 9, 0, 3, 5, 6, 2};

// The decision time the page measures for its n-th order.
int decisionMs(size_t n) {
  return 700 + static_cast<int>(n);
}

// The demo with the Pair setting, its team T1 fixed as `first`
// (Subject1) and `second` (Subject2): on the lab server, where P2 is played
// by a pilot process, or in the demo's file.
class PairOnServer {
 public:
  enum class Place { LabServer, File };
  explicit PairOnServer(Place place = Place::LabServer, const std::string& first = "B1",
                        const std::string& second = "P2") {
    addPairSetting(demo.db);
    if (place == Place::LabServer) demo.moveToServer();
    const std::string out = demo.db.folder() + "/team.out";
    const std::string fix = std::string(QUARN_ADMIN_TOOL) + " team " + demo.dataDir() +
                            " Pair T1 " + first + " " + second + " > " + out + " 2>&1";
    if (std::system(fix.c_str()) != 0) ADD_FAILURE() << readFile(out);
  }

  // Starts the pilot of `subject` ordering `orders`.
  pid_t startPilot(const std::string& subject, const std::vector<int>& orders) {
    const std::string file = demo.db.folder() + "/" + subject + ".orders";
    std::ofstream(file) << [&] {
      std::string lines;
      for (const int order : orders) lines += std::to_string(order) + "\n";
      return lines;
    }();
    return startPilotOf(demo, "Pair", subject, out(subject),
                        {"--team", "T1", "--skip-training", "--orders", file});
  }
  std::string out(const std::string& subject) const {
    return demo.db.folder() + "/" + subject + ".out";
  }

  // The rows `sql` reads, as stored.
  std::vector<std::vector<CellValue>> values(const std::string& sql) {
    std::vector<std::vector<CellValue>> found;
    for (const Row& row : demo.played().tables().reads().query(sql)) {
      found.push_back(row.values());
    }
    return found;
  }
  // Every stored row of `table`, its `columns` (those that are the same for
  // the same orders) in `order`.
  std::vector<std::vector<CellValue>> records(const std::string& table, const std::string& columns,
                                              const std::string& order) {
    return values("SELECT " + columns + " FROM \"" + table + "\" ORDER BY " + order);
  }

  DemoFolder demo;
};

const char* const kRoleColumns =
    R"("Subject", "Trial", "Training", "Week", "Role", "User", "PNoise", "Order",
       "DeltaInventory", "Inventory", "Delay1", "Delay2", "Delay3", "Demand", "Satisfied",
       "WeeklyCost", "TotalCost")";
const char* const kTrialColumns =
    R"("Subject", "Trial", "Training", "Weeks", "Delay", "Predicter", "InventoryCost",
       "BackCost", "TransitCost", "EndCost", "Factory", "Distributor", "Wholesaler", "Retailer")";

// A browser's page attached to its session as the server's host attaches
// it, ticked as the host ticks it: skips training, orders its orders in
// turn with the page's decision times, until the game is over.
class BrowserMember {
 public:
  BrowserMember(const std::string& appFolder, const std::string& device)
      : m_session(appFolder, device,
                  [this](const json& message) { m_received.push_back(message); }) {}

  // Whether the game reached its end within a minute.
  bool play(const json& login, const std::vector<int>& orders) {
    m_session.receive(login.dump());
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
      for (; m_handled < m_received.size(); ++m_handled) {
        const json message = m_received[m_handled];  // answering adds to the list
        const std::string type = message["type"];
        if (type == "gameOver") return true;
        if (type == "ended" || type == "refused") return false;
        if (type == "training") m_training = message["active"].get<bool>();
        if (type == "weekOpened") answer(message["turn"].get<int>(), orders);
      }
      m_session.tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::string transcript() const {
    std::string text;
    for (const json& message : m_received) text += message.dump() + "\n";
    return text;
  }

 private:
  void answer(int turn, const std::vector<int>& orders) {
    if (m_training) {
      m_session.receive(json{{"type", "skipTraining"}, {"password", "skip"}}.dump());
      return;
    }
    const size_t n = std::min(m_ordered++, orders.size() - 1);
    m_session.receive(json{
        {"type", "order"},
        {"turn", turn},
        {"value", std::to_string(orders[n])},
        {"decisionMs",
         decisionMs(n)}}.dump());
  }

  server::ParticipantSession m_session;
  std::vector<json> m_received;
  size_t m_handled = 0;
  size_t m_ordered = 0;
  bool m_training = false;
};

json loginOf(const std::string& subject) {
  return {{"type", "login"},
          {"subject", subject},
          {"setting", "Pair"},
          {"team", "T1"},
          {"questionnaire",
           {{"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}}}};
}

const json kBrowserLogin = loginOf("B1");

// A team of a browser and a desktop pilot records what a team of two
// pilots records for the same orders; the browser's decision times are the
// page's.
TEST(BrowserTeam, ABrowserAndAPilotRecordWhatTwoPilotsRecord) {
  PairOnServer mixed;
  const pid_t pilot = mixed.startPilot("P2", kPilotOrders);
  BrowserMember browser(mixed.demo.app.string(), "browser b1");
  EXPECT_TRUE(browser.play(kBrowserLogin, kBrowserOrders)) << browser.transcript();
  EXPECT_EQ(waitFor(pilot), 0) << readFile(mixed.out("P2"));

  PairOnServer pilots;
  const pid_t first = pilots.startPilot("B1", kBrowserOrders);
  const pid_t second = pilots.startPilot("P2", kPilotOrders);
  EXPECT_EQ(waitFor(first), 0) << readFile(pilots.out("B1"));
  EXPECT_EQ(waitFor(second), 0) << readFile(pilots.out("P2"));

  const char* roleOrder = R"("Subject", "Training", "Trial", "Week", "Role")";
  const auto roles = mixed.records("datRole", kRoleColumns, roleOrder);
  EXPECT_EQ(mixed.values(R"(SELECT "Subject" FROM "datRole" WHERE "Training" = 0)").size(),
            static_cast<size_t>(2 * kTrials * kWeeks * kRoleCount));
  EXPECT_EQ(roles, pilots.records("datRole", kRoleColumns, roleOrder));
  const char* trialOrder = R"("Subject", "Training", "Trial")";
  EXPECT_EQ(mixed.records("datTrial", kTrialColumns, trialOrder),
            pilots.records("datTrial", kTrialColumns, trialOrder));
  const char* teamColumns = R"("Setting", "Team", "Trial", "Member", "Role", "Subject", "Player",
                               "FromWeek")";
  EXPECT_EQ(mixed.records("datTeam", teamColumns, R"("Trial", "Member")"),
            pilots.records("datTeam", teamColumns, R"("Trial", "Member")"));
  const char* userColumns = R"("Subject", "Setting", "Age", "Gender", "SchoolYear", "Major")";
  EXPECT_EQ(mixed.records("datUser", userColumns, R"("Subject")"),
            pilots.records("datUser", userColumns, R"("Subject")"));

  std::vector<std::vector<CellValue>> measured;
  for (size_t n = 0; n < kBrowserOrders.size(); ++n) measured.push_back({int64_t{decisionMs(n)}});
  EXPECT_EQ(mixed.values(R"(SELECT "TransactionTime" FROM "datRole" WHERE "Subject" = 'B1'
                            AND "User" = 6 AND "Training" = 0 ORDER BY "Trial", "Week")"),
            measured);
}

// Two browsers of one team, served by one process from the demo's file: the
// team is kept in the file, each session hears of the other's orders from
// its own process, and both record the same chain of every week.
TEST(BrowserFileTeam, TwoBrowsersOfOneTeamPlayOnTheDemoFile) {
  PairOnServer pair(PairOnServer::Place::File, "B1", "B2");
  BrowserMember first(pair.demo.app.string(), "browser b1");
  BrowserMember second(pair.demo.app.string(), "browser b2");
  bool secondOver = false;
  std::thread secondPage([&] { secondOver = second.play(loginOf("B2"), kPilotOrders); });
  EXPECT_TRUE(first.play(loginOf("B1"), kBrowserOrders)) << first.transcript();
  secondPage.join();
  EXPECT_TRUE(secondOver) << second.transcript();

  EXPECT_EQ(pair.values(R"(SELECT "Order" FROM "datTeamOrder"
                           WHERE "Training" = 0 AND "Week" > 0 ORDER BY "Member", "Trial", "Week")")
                .size(),
            kBrowserOrders.size() + kPilotOrders.size());
  const char* sameForBoth = R"("Trial", "Week", "Role", "Order", "Inventory", "Delay1", "Demand",
                               "Satisfied", "WeeklyCost", "TotalCost")";
  const auto rowsOf = [&](const char* subject) {
    return pair.values("SELECT " + std::string(sameForBoth) +
                       R"( FROM "datRole" WHERE "Training" = 0 AND "Subject" = ')" + subject +
                       R"(' ORDER BY "Trial", "Week", "Role")");
  };
  EXPECT_EQ(rowsOf("B1").size(), static_cast<size_t>(kTrials * kWeeks * kRoleCount));
  EXPECT_EQ(rowsOf("B1"), rowsOf("B2"));
}

}  // namespace
}  // namespace quarn::testing
