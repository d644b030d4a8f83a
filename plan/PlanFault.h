#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarn {

// One thing wrong with a plan, or (a warning) legal but almost always a
// mistake. The loaders refuse the plan at the first fault and ignore
// warnings; the administration tool lists them all.
struct PlanFault {
  std::string table;   // the table the fault lies in: tblBlock, tblTraining, tblPlayer, ...
  std::string place;   // where: "Setting Demo, tblBlock row RandomGroup 0, Index 2 (trial 3)"
  int16_t trial = -1;  // index in the plan of the first trial concerned; -1 for none
  std::string field;   // the column or plan field
  std::string value;   // its value as text
  std::string text;    // what the moderator is shown
  std::string title;   // title of the refusal box
  // Non-zero for a value that cannot be converted at all (a Null, text in a
  // number column, a missing column): raised as an error with this number
  // instead of being refused with a message box.
  int errorNumber = 0;
  bool warning = false;
};

// A refusal of `field` holding `value` in a row of `table`, shown as the
// row's place, ": " and `complaint`. `trial` is the first trial concerned
// (-1 for none).
PlanFault makeRefusal(const std::string& table, const std::string& place, int16_t trial,
                      const std::string& field, const std::string& value,
                      const std::string& complaint);
// The same, as a warning.
PlanFault makeWarning(const std::string& table, const std::string& place, int16_t trial,
                      const std::string& field, const std::string& value,
                      const std::string& complaint);

// The first entry of `faults` that is not a warning, or null.
const PlanFault* firstFault(const std::vector<PlanFault>& faults);

// One line for a listing: the message, with its place put in front when the
// message does not name it itself, and "warning: " in front of a warning.
std::string describeFault(const PlanFault& fault);

}  // namespace quarn
