#include <sstream>

#include "tests/plan/PlanFixture.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

class CheckCommandTest : public PlanTest {
 protected:
  int Run(std::vector<std::string> args) {
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    const int code = admin::CmdCheck(args);
    std::cout.rdbuf(saved);
    return code;
  }
  std::ostringstream out;
};

TEST_F(CheckCommandTest, ListsTheFaultsOfEverySettingAndFailsOnAny) {
  Block();
  Block({{"Setting", "Other"}, {"numweeks", 0}, {"JumpWeek", 1}});
  Training({{"Setting", "TrainOnly"}});
  EXPECT_EQ(Run({file.Folder()}), 1);
  EXPECT_EQ(out.str(),
            "tblBlock: Setting Other, trial 0: numweeks 0 is below 1\n"
            "tblBlock: Setting TrainOnly: tblBlock has no rows for this setting\n"
            "2 faults in 3 settings\n");

  out.str("");
  EXPECT_EQ(Run({file.Folder() + "/", "Demo"}), 0);
  EXPECT_EQ(out.str(), "0 faults in 1 setting\n");
}

}  // namespace
}  // namespace quarn::testing
