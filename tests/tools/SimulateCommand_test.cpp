#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "base/Errors.h"
#include "tests/plan/PlanFixture.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// `simulate` on the folder of a plan test's database: setting Demo has the
// participant as Retailer and no noise.
class SimulateCommand : public PlanTest {
 protected:
  int run(const std::vector<std::string>& args) {
    out.str("");
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    try {
      const int code = admin::cmdSimulate(args);
      std::cout.rdbuf(saved);
      return code;
    } catch (...) {
      std::cout.rdbuf(saved);
      throw;
    }
  }
  std::ostringstream out;
};

TEST_F(SimulateCommand, SaysSoWhenEveryRunComesOutTheSame) {
  addBlock();
  EXPECT_EQ(run({file.folder(), "Demo", "--as", "bot", "--runs", "50", "--seed", "1"}), 0);
  EXPECT_NE(out.str().find("Every run came out the same"), std::string::npos);
  addBlock({{"Setting", "Noisy"}, {"MaxNoise", 3}});
  EXPECT_EQ(run({file.folder(), "Noisy", "--as", "Bot", "--runs", "50", "--seed", "1"}), 0);
  EXPECT_EQ(out.str().find("Every run came out the same"), std::string::npos);
}

TEST_F(SimulateCommand, RefusesAPlayerForASettingWithoutAParticipant) {
  addBlock({{"Setting", "Auto"}, {"Retailer", "Bot"}});
  try {
    run({file.folder(), "Auto", "--as", "Bot", "--runs", "5"});
    FAIL() << "--as was ignored";
  } catch (const QuarnError& e) {
    EXPECT_NE(e.description().find("has no participant's stage"), std::string::npos);
  }
}

}  // namespace
}  // namespace quarn::testing
