#pragma once

#include <array>
#include <string>

#include "base/Errors.h"
#include "sim/modDelivery.h"

namespace quarn {

// A demand file that cannot be used: names the file and the line.
class DemandFileError : public QuarnError {
 public:
  DemandFileError(int number, const std::string& description) : QuarnError(number, description) {}
};

// Fills `trial.WeeklyDemand` from the step pattern, or from the file named by
// `trial.Input` in `inputFolder` (the application's Input folder). Throws
// DemandFileError for a file that is missing, unreadable, empty or holds
// something other than numbers; the trial is then left untouched.
void BuildDemand(TrialPlan& trial, const std::string& inputFolder);

// Checks a trial's demand file without building anything (for the plan
// checks at load time). Throws DemandFileError like BuildDemand.
void CheckDemandFile(const TrialPlan& trial, const std::string& inputFolder);

// The chain part of a trial start: builds the demand series, resets the four
// stages (role names as shown on the main window), sets the week to 1, resets
// the Sterman state and simulates week 1.
void StartTrialChain(ChainContext& c, const std::array<std::string, kRoleCount>& roleNames,
                     const std::string& inputFolder);

}  // namespace quarn
