#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace quarn::testing
