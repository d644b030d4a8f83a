#pragma once

#include <string>
#include <vector>

#include "base/Errors.h"
#include "sim/TrialPlan.h"

namespace quarn {

// A demand file that cannot be used: names the file and the line.
class DemandFileError : public QuarnError {
 public:
  DemandFileError(int number, const std::string& description) : QuarnError(number, description) {}
};

// Fills `trial.weeklyDemand` from the step pattern, or from the file named by
// `trial.inputFile` in `inputFolder` (the application's Input folder). Throws
// DemandFileError for a file that is missing, unreadable, empty or holds
// something other than numbers; the trial is then left untouched. A number
// with a fraction is rounded (halves to even); `fractions`, when given,
// receives a note naming each one with the file, line and place, and the
// value it plays as.
void buildDemand(TrialPlan& trial, const std::string& inputFolder,
                 std::vector<std::string>* fractions = nullptr);

// Checks a trial's demand file without building anything (for the plan
// checks at load time). Throws DemandFileError like buildDemand.
void checkDemandFile(const TrialPlan& trial, const std::string& inputFolder);

}  // namespace quarn
