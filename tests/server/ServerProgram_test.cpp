#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/E2eSupport.h"
#include "tests/server/PageClient.h"
#include "tests/support/Processes.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

struct ServerRun {
  int exitCode = -1;
  std::string output;
};

// Runs quarngame-server with `args` to its end.
ServerRun runServer(const fs::path& folder, std::vector<std::string> args) {
  args.insert(args.begin(), QUARN_SERVER_PROGRAM);
  const std::string outFile = (folder / "server.out").string();
  int status = 0;
  ::waitpid(startProcess(args, outFile), &status, 0);
  std::ifstream out(outFile);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          std::string(std::istreambuf_iterator<char>(out), {})};
}

TEST(ServerProgram, RefusesToStartWithoutSayingHowToReachIt) {
  TestDatabase place;
  const fs::path folder = place.folder();
  const std::string garbage = (folder / "garbage.pem").string();
  std::ofstream(garbage) << "not a certificate\n";
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> said;
  } cases[] = {
      {{"--folder", folder.string()}, 2, {"--cert FILE --key FILE", "--plain-http"}},
      {{"--cert", garbage}, 2, {"Usage"}},
      {{"--key", garbage, "--plain-http"}, 2, {"Usage"}},
      {{"--cert", garbage, "--key", garbage, "--plain-http"}, 2, {"Usage"}},
      {{"--threads", "0", "--plain-http"}, 2, {"Usage"}},
      {{"--folder", folder.string(), "--port", "0", "--cert", garbage, "--key", garbage},
       1,
       {garbage}},
      {{"--help"}, 0, {"--cert FILE", "--key FILE", "--plain-http", "--threads N"}},
  };
  for (const auto& c : cases) {
    const ServerRun run = runServer(folder, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args.front() << ": " << run.output;
    for (const std::string& words : c.said) {
      EXPECT_NE(run.output.find(words), std::string::npos) << words << " in " << run.output;
    }
  }
}

// The port a server started with --port 0 serves on, once it says so.
uint16_t portOf(const std::string& outFile) {
  const std::regex serving("on port ([0-9]+)");
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream out(outFile);
    const std::string said(std::istreambuf_iterator<char>(out), {});
    if (std::smatch found; std::regex_search(said, found, serving)) {
      return static_cast<uint16_t>(std::stoi(found[1]));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  throw std::runtime_error("the server did not say its port");
}

// A participant's page that orders each open week until the server goes
// away, counting the weeks whose next week it was shown.
void playUntilTheServerGoes(uint16_t port, const std::string& subject,
                            std::atomic<int>& acknowledged, int& ownAcknowledged) {
  try {
    PageClient page(port);
    page.send({{"type", "login"},
               {"subject", subject},
               {"setting", "Demo"},
               {"questionnaire",
                {{"age", 30}, {"gender", "Female"}, {"schoolYear", "Other"}, {"major", "Other"}}}});
    bool ordered = false;
    for (;;) {
      const nlohmann::json message = page.receive();
      if (message["type"] != "weekOpened") continue;
      if (ordered) {
        ++ownAcknowledged;
        ++acknowledged;
      }
      // The server takes a page's moves a quarter of a second apart.
      std::this_thread::sleep_for(std::chrono::milliseconds(260));
      page.send({{"type", "order"}, {"turn", message["turn"]}, {"value", 4}});
      ordered = true;
    }
  } catch (const std::exception&) {
    // The server was killed.
  }
}

// Many sessions' weeks share the server's commits; a week whose next week
// a page was shown is on disk, whenever the server is killed.
TEST(ServerProgram, KilledServerKeepsEveryWeekWhoseNextWeekWasShown) {
  DemoFolder demo;
  const std::string outFile = demo.db.folder() + "/server.out";
  const pid_t server = startProcess(
      {QUARN_SERVER_PROGRAM, "--folder", demo.app.string(), "--port", "0", "--plain-http"},
      outFile);
  const uint16_t port = portOf(outFile);
  constexpr int kPages = 16;
  std::atomic<int> acknowledged{0};
  std::vector<int> ownAcknowledged(kPages, 0);
  std::vector<std::thread> pages;
  for (int p = 0; p < kPages; ++p) {
    pages.emplace_back(playUntilTheServerGoes, port, "K" + std::to_string(p),
                       std::ref(acknowledged), std::ref(ownAcknowledged[static_cast<size_t>(p)]));
  }
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (acknowledged < 4 * kPages && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(server, SIGKILL);
  ::waitpid(server, nullptr, 0);
  for (std::thread& page : pages) page.join();
  EXPECT_GE(acknowledged, 4 * kPages);
  for (int p = 0; p < kPages; ++p) {
    const std::string subject = "K" + std::to_string(p);
    EXPECT_GE(demo.db.count("datRole", "Subject='" + subject + "'"),
              4 * ownAcknowledged[static_cast<size_t>(p)])
        << subject;
  }
}

}  // namespace
}  // namespace quarn::testing
