#include <gtest/gtest.h>

#include "base/Errors.h"
#include "tests/plan/PlanFixture.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

class FitCommand : public PlanTest {};

// A name nobody recorded is an error naming the recorded ones, never an
// empty table that looks like success.
TEST_F(FitCommand, RefusesAnUnknownParticipantOrSetting) {
  addBlock();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{file.folder(), "--subject", "Nobody"},
        std::vector<std::string>{file.folder(), "--setting", "Nowhere"}}) {
    try {
      admin::cmdFit(args);
      ADD_FAILURE() << args[1] << " " << args[2] << " was taken";
    } catch (const QuarnError& e) {
      EXPECT_NE(e.description().find(args[2] + " is recorded"), std::string::npos)
          << e.description();
    }
  }
}

}  // namespace
}  // namespace quarn::testing
