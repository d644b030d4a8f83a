#include <gtest/gtest.h>

#include <fstream>
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

// The fields of a CSV line without quoted fields.
std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> split;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) split.push_back(field);
  return split;
}

// Team settings of 2, 3 and 4 members, simulated without --as: the first
// player of the anchoring-and-adjustment rule stands in for every member.
TEST_F(SimulateCommand, PlaysEveryMembersStageOfATeamSetting) {
  insertRow("tblPlayer",
            {{"Name", "Anchor"}, {"Sterman", true}, {"Alpha", 0.3}, {"Beta", 0.2}, {"Theta", 0.5}});
  const std::vector<std::pair<std::string, Columns>> teams = {
      {"Two", {{"Retailer", "Subject1"}, {"Factory", "Subject2"}}},
      {"Three",
       {{"Wholesaler", "Subject1"}, {"Retailer", "Subject2"}, {"Distributor", "Subject3"}}},
      {"Four",
       {{"Factory", "Subject1"},
        {"Distributor", "Subject2"},
        {"Wholesaler", "Subject3"},
        {"Retailer", "Subject4"}}}};
  const std::string csv = file.folder() + "/simulated.csv";
  for (auto [setting, team] : teams) {
    Columns row = team;
    row.emplace("Setting", setting);
    addBlock(row);
    EXPECT_EQ(run({file.folder(), setting, "--runs", "4", "--seed", "1", "--csv", csv}), 0);
    EXPECT_NE(out.str().find("Anchor on every member's stage"), std::string::npos) << out.str();
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);  // the header
    int members = 0;
    while (std::getline(in, line)) {
      const std::vector<std::string> f = fields(line);
      const bool member = team.count(f.at(2)) != 0;
      EXPECT_EQ(f.at(4), member ? "1" : "0") << line;
      EXPECT_EQ(f.at(3), member ? "Anchor" : "Bot") << line;
      // The rule answers the step in the demand: the member's orders swing.
      if (member) {
        EXPECT_NE(f.at(12), "0") << line;  // AmplificationMean
      }
      members += member ? 1 : 0;
    }
    EXPECT_EQ(members, static_cast<int>(team.size())) << setting;
  }
}

}  // namespace
}  // namespace quarn::testing
