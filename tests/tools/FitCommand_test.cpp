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

// The ID is known: its owner played no experiment trial.
TEST_F(FitCommand, SaysThatAParticipantPlayedTrainingOnly) {
  addBlock();
  for (const auto& [subject, trial, training] :
       {std::tuple{"P1", 1, false}, std::tuple{"Trainee", -1, true}}) {
    insertRow("datRole", {{"Subject", subject},
                          {"Setting", "Demo"},
                          {"Trial", trial},
                          {"Training", training},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }
  try {
    admin::cmdFit({file.folder(), "--subject", "trainee"});
    ADD_FAILURE() << "a participant without experiment trials was taken";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.description(),
              "Participant Trainee played training only: no experiment trial is recorded");
  }
}

}  // namespace
}  // namespace quarn::testing
