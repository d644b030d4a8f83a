#include "plan/PlanFault.h"

namespace quarn {

PlanFault makeRefusal(const std::string& table, const std::string& place, int16_t trial,
                      const std::string& field, const std::string& value,
                      const std::string& complaint) {
  PlanFault fault;
  fault.table = table;
  fault.place = place;
  fault.trial = trial;
  fault.field = field;
  fault.value = value;
  fault.text = place + ": " + complaint;
  fault.title = "Error: " + table;
  return fault;
}

PlanFault makeWarning(const std::string& table, const std::string& place, int16_t trial,
                      const std::string& field, const std::string& value,
                      const std::string& complaint) {
  PlanFault warning = makeRefusal(table, place, trial, field, value, complaint);
  warning.warning = true;
  return warning;
}

const PlanFault* firstFault(const std::vector<PlanFault>& faults) {
  for (const PlanFault& f : faults) {
    if (!f.warning) return &f;
  }
  return nullptr;
}

std::string describeFault(const PlanFault& fault) {
  std::string line = fault.text;
  if (line.compare(0, fault.place.size(), fault.place) != 0) line = fault.place + ": " + line;
  return fault.warning ? "warning: " + line : line;
}

}  // namespace quarn
