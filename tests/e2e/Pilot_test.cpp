#include "app/Pilot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "base/Text.h"
#include "tests/e2e/E2eSupport.h"

namespace quarn::testing {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// The demo with a training bound that a flood of orders breaks (the demo's
// 30 holds even against that).
void tightenTraining(DemoFolder& demo) {
  demo.db.exec("UPDATE tblTraining SET InventoryBounds=20");
}

// A new participant plays the demo setting through the pilot, from the login
// to the end of the game: a training trial that fails on a flood of orders
// and is played again, the pause after trial 2 and its password, every
// experiment trial. The rows and the text file agree line for line. Rows
// played into a server are checked in a copy in the demo's file.
void expectTheDemoPlayedThrough(DemoFolder& demo) {
  PilotOptions options{demo.dataDir(),
                       "Demo",
                       "E2E",
                       [](const GameSession& session) {
                         const bool firstAttempt =
                             session.inTraining() && session.recordedTrial() == -1;
                         return firstAttempt ? 9999 : demandOrder(session);
                       },
                       {},
                       {}};
  std::ostringstream out, err;
  const PilotReport report = runPilot(options, out, err);
  ASSERT_EQ(report.exitCode, 0) << out.str() << err.str();
  EXPECT_EQ(err.str(), "");
  if (demo.server) {
    ASSERT_EQ(demo.db.count("datRole"), 0) << "the session played into the file";
    demo.resultsToFile();
  }

  const std::vector<Prompt>& prompts = report.prompts;
  auto count = [&prompts](PromptKind kind) {
    return std::count_if(prompts.begin(), prompts.end(),
                         [&](const Prompt& prompt) { return prompt.kind == kind; });
  };
  EXPECT_EQ(count(PromptKind::RegisterNewUser), 1);
  EXPECT_EQ(count(PromptKind::TrainingFailed), 1);
  EXPECT_EQ(count(PromptKind::TrainingComplete), 1);
  ASSERT_FALSE(prompts.empty());
  EXPECT_EQ(prompts.back().title, "All 4 Trial(s) Completed");
  EXPECT_NE(out.str().find("Pause after trial 2: password entered\n"), std::string::npos);
  EXPECT_NE(out.str().find("Trial 4 of 4 (Delay 2, 20 weeks): cost "), std::string::npos);

  TestDatabase& db = demo.db;
  EXPECT_EQ(db.count("datUser") + db.count("datTrial", "Subject<>'E2E'") +
                db.count("datRole", "Subject<>'E2E' OR Setting<>'Demo'"),
            1);
  EXPECT_EQ(db.count("datUser", "Subject='E2E' AND Setting='Demo' AND Major='Other'"), 1);

  // Trials in the order played: training numbers negative and falling, the
  // failed attempt first; then the experiment.
  const std::vector<int64_t> played = {-1, -2, -3, 1, 2, 3, 4};
  const char* const roleNames[] = {"Factory", "Distributor", "Wholesaler", "Retailer"};

  auto trials = db.rows("SELECT * FROM datTrial ORDER BY rowid");
  ASSERT_EQ(trials.size(), played.size());
  for (size_t i = 0; i < trials.size(); ++i) {
    const TestRow& row = trials[i];
    const int64_t trial = intOf(row, "Trial");
    EXPECT_EQ(trial, played[i]);
    EXPECT_EQ(intOf(row, "Training") != 0, trial < 0) << trial;
    EXPECT_EQ(intOf(row, "Weeks"), trial < 0 ? 10 : 20) << trial;
    const int64_t role = trial < 0 ? 3 : 4 - trial;  // Retailer first, Factory last
    EXPECT_EQ(std::get<std::string>(row.at(roleNames[role])), "Subject") << trial;
    // The trial's end cost is the participant's total in its last week.
    EXPECT_EQ(db.count("datRole", "Trial=" + std::to_string(trial) + " AND User=6 AND TotalCost=" +
                                      std::to_string(intOf(row, "EndCost")) +
                                      " AND Week=(SELECT max(Week) FROM datRole WHERE Trial=" +
                                      std::to_string(trial) + ")"),
              1)
        << trial;
  }

  // Every datRole row, by (Trial, Week, Role).
  std::map<std::tuple<int64_t, int64_t, std::string>, TestRow> rows;
  for (TestRow& row : db.rows("SELECT * FROM datRole")) {
    const int64_t trial = intOf(row, "Trial");
    EXPECT_EQ(intOf(row, "Training") != 0, trial < 0);
    rows[{trial, intOf(row, "Week"), std::get<std::string>(row.at("Role"))}] = row;
  }

  // The text file: one line per week in the order played, each its four
  // rows written out again (the order column aside).
  const std::vector<std::string> lines = split(readFile(demo.textFile("E2E")), '\n');
  ASSERT_EQ(lines.size() * 4, rows.size());
  auto num = [](const TestRow& row, const std::string& column) {
    return "," + std::to_string(intOf(row, column.c_str()));
  };
  std::vector<int64_t> seen;
  int64_t week = 0;
  for (const std::string& crlf : lines) {
    ASSERT_EQ(crlf.back(), '\r');
    const std::string line = crlf.substr(0, crlf.size() - 1);
    const std::vector<std::string> f = split(line, ',');
    ASSERT_GE(f.size(), 9u);
    const int64_t trial = std::stoll(f[2]);
    if (seen.empty() || seen.back() != trial) seen.push_back(trial), week = 0;
    const size_t delay = std::stoul(f[5]);
    const TestRow& first = rows[{trial, ++week, f[9]}];
    std::string expected = "E2E,Demo," + f[2] + num(first, "Week") + "," + f[4] + "," + f[5] +
                           num(first, "TransactionTime") + "," + f[7] +
                           (f[7] == "NULL" ? "," + f[8] : num(first, "PNoise"));
    for (size_t b = 9; b < f.size(); b += 9 + delay) {
      const TestRow& row = rows[{trial, week, f[b]}];
      expected += "," + f[b] +
                  (intOf(row, "User") == 6 ? ",Subject"
                   : f[b + 1] == "Subject" ? ",?"
                                           : "," + f[b + 1]) +
                  num(row, "Demand") + "," + f[b + 3] + num(row, "Satisfied") +
                  num(row, "DeltaInventory") + num(row, "Inventory");
      for (size_t k = 1; k <= delay; ++k) expected += num(row, "Delay" + std::to_string(k));
      expected += num(row, "WeeklyCost") + num(row, "TotalCost");
    }
    EXPECT_EQ(line, expected);
  }
  EXPECT_EQ(seen, played);
  for (int64_t trial : played) {
    if (trial == -1) continue;
    EXPECT_EQ(db.count("datRole", "Trial=" + std::to_string(trial)), trial < 0 ? 40 : 80) << trial;
  }
  const int failedWeeks = db.count("datRole", "Trial=-1") / 4;
  EXPECT_GT(failedWeeks, 0);
  EXPECT_LT(failedWeeks, 10);
}

TEST(Pilot, PlaysTheDemoFromLoginToGameOverAndEveryRecordAgrees) {
  DemoFolder demo;
  tightenTraining(demo);
  expectTheDemoPlayedThrough(demo);
}

TEST(Pilot, PlaysTheDemoIntoAServerAndEveryRecordAgrees) {
  DemoFolder demo;
  tightenTraining(demo);
  demo.moveToServer();
  expectTheDemoPlayedThrough(demo);
}

// The moderator's password ends training at its first week: the orders file
// starts with the experiment's first week, and only its trials are played.
TEST(Pilot, SkipTrainingPlaysTheExperimentTrialsAlone) {
  DemoFolder demo;
  PilotOptions options{demo.dataDir(), "Demo", "SKIP", ordersFromList({7, 5}), {}, {}};
  options.skipTraining = true;
  std::ostringstream out, err;
  const PilotReport report = runPilot(options, out, err);
  ASSERT_EQ(report.exitCode, 0) << out.str() << err.str();
  EXPECT_NE(out.str().find("Training skipped: password entered\n"), std::string::npos);
  EXPECT_EQ(demo.db.count("datRole", "Training<>0"), 0);
  EXPECT_EQ(demo.db.count("datTrial", "Training<>0"), 1);
  EXPECT_EQ(demo.db.count("datRole", "Trial=1 AND Week=1 AND User=6 AND \"Order\"=7"), 1);
  EXPECT_EQ(demo.db.count("datRole", "Trial=4 AND User=6"), 20);
}

// An order above a trial's largest safe order is not played: the pilot ends
// with status 1, naming the order and the limit, and nothing of it is stored.
TEST(Pilot, OrderAboveTheTrialsLargestOrderEndsThePilotNamingBoth) {
  DemoFolder demo;
  demo.db.exec("UPDATE tblBlock SET CostBackOrder=1000");
  PilotOptions options{demo.dataDir(), "Demo", "FLOOD", ordersFromList({9999}), {}, {}};
  options.skipTraining = true;
  std::ostringstream out, err;
  const PilotReport report = runPilot(options, out, err);
  EXPECT_EQ(report.exitCode, 1);
  EXPECT_NE(err.str().find("the order 9999 was refused: Orders in this trial are at most "),
            std::string::npos)
      << err.str();
  EXPECT_EQ(demo.db.count("datRole", "Training=0"), 0);
}

// A text file that cannot be written is reported as what it is, not as a
// database failure.
TEST(Pilot, NamesATextFileFailureAsSuch) {
  DemoFolder demo;
  fs::create_directories(demo.textFile("TXT"));  // a folder where the file belongs
  std::ostringstream out, err;
  const PilotReport report = runPilot({demo.dataDir(), "Demo", "TXT", {}, {}}, out, err);
  EXPECT_EQ(report.exitCode, 1);
  EXPECT_NE(err.str().find("the session ended before Game Over: the text file could not be "
                           "written after 3 retries (Problems on weekly output to text file): "),
            std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find("database"), std::string::npos) << err.str();
}

// The login's rule for User IDs holds for the pilot: an empty ID, or one with
// an invisible character that makes it a look-alike of another, is refused
// before anything is written.
TEST(Pilot, RefusesUserIdsTheLoginRefusesWritingNothing) {
  DemoFolder demo;
  for (const std::string subject : {"",
                                    "P\xE2\x80\x8B"
                                    "07",
                                    "\xE2\x80\xAE"
                                    "70P"}) {
    SCOPED_TRACE(printable(subject));
    std::ostringstream out, err;
    EXPECT_EQ(runPilot({demo.dataDir(), "Demo", subject, {}, {}}, out, err).exitCode, 1);
    EXPECT_NE(err.str().find("the login refused: "), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(demo.textFile(subject)));
  }
  EXPECT_EQ(demo.db.count("datUser"), 0);
}

// A team name is refused on a setting that teams do not play, as the login
// window offers no Team box there.
TEST(Pilot, TeamNameOnASettingWithoutTeamsIsRefused) {
  DemoFolder demo;
  PilotOptions options{demo.dataDir(), "Demo", "P1", {}, {}};
  options.team = "Blue";
  std::ostringstream out, err;
  EXPECT_EQ(runPilot(options, out, err).exitCode, 1);
  EXPECT_NE(err.str().find("setting Demo is not played by teams: --team Blue is not taken"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(demo.db.count("datUser"), 0);
}

// Editors on some systems begin a text file with a byte-order mark.
TEST(Pilot, OrdersFileMayBeginWithAByteOrderMark) {
  DemoFolder demo;
  const std::string path = demo.db.folder() + "/bom.orders";
  std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF"
                                           "12\r\n5\r\n";
  EXPECT_EQ(readOrdersFile(path), (std::vector<int16_t>{12, 5}));
}

}  // namespace
}  // namespace quarn::testing
