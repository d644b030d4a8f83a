#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/modDatabase.h"
#include "sim/TrialPlan.h"

namespace quarn {

// One thing wrong with a setting's plan rows. The loaders refuse the plan at
// the first fault; the administration tool lists them all.
struct SettingFault {
  std::string setting;
  std::string table;   // "tblBlock" or "tblTraining"
  int16_t trial = -1;  // index in TrialPlans of the first trial concerned; -1 for none
  std::string field;   // the column or plan field
  std::string value;   // its value as text
  std::string text;    // what the moderator is shown
  std::string title;   // title of the refusal box
  // Non-zero for a value that cannot be converted at all (a Null, text in a
  // number column, a missing column): raised as an error with this number
  // instead of being refused with a message box.
  int errorNumber = 0;
};

// Shows the fault's refusal and ends the application (an error fault is
// raised as a QuarnError instead, for the top of the event loop to report).
[[noreturn]] void RefusePlan(Toolkit& toolkit, const SettingFault& fault);

// One line for a listing: the table, then the message, with the setting and
// trial put in front when the message does not name them itself.
std::string DescribeFault(const SettingFault& fault);

// The value checks of one loaded trial that the chain and the demand series
// rely on (Delay, numweeks, JumpWeek, OrderDelay, the demand file), each fault
// named after the setting, table and trial index.
std::vector<SettingFault> CheckLoadedTrial(const TrialPlan& trial, const std::string& setting,
                                           const std::string& table, int16_t index,
                                           const std::string& inputFolder);

// Every fault of a setting's block and training rows, with the player names
// looked up in `players` (the loaded tblPlayer). Reads the database but
// starts and writes nothing. An error that stops the reading itself (a
// missing column) is returned as a fault too.
std::vector<SettingFault> CheckSetting(Database& db, const Plan& players,
                                       const std::string& setting, const std::string& inputFolder);

}  // namespace quarn
