#include "sim/modInit.h"

#include <string_view>
#include <vector>

#include "base/Numbers.h"
#include "base/Text.h"
#include "sim/InputFile.h"
#include "sim/TrialPlan.h"

namespace quarn {

namespace {

// Blanks around a demand file's fields and lines.
constexpr std::string_view kFieldBlanks = " \t\r\f";

std::string DemandPath(const TrialPlan& trial, const std::string& inputFolder) {
  return inputFolder + "/" + trial.Input;
}

// The numbers of a demand file's text, read in order: separated by commas or
// line ends; blank lines are skipped, but an empty field between commas is
// refused rather than read as something, so that no week is silently
// shifted. Refusals name the line and the field's place in it, never its
// content. A leading byte-order mark is skipped.
std::vector<int32_t> ParseDemandText(std::string_view text, const std::string& named,
                                     size_t count) {
  text = withoutByteOrderMark(text);
  std::vector<int32_t> numbers;
  int64_t lineNo = 0;
  while (numbers.size() < count && !text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view whole = trimmed(text.substr(0, end), kFieldBlanks);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNo;
    if (whole.empty()) continue;
    size_t start = 0;
    for (int64_t place = 1; numbers.size() < count; ++place) {
      const size_t comma = whole.find(',', start);
      const std::string_view field =
          trimmed(whole.substr(start, comma == std::string_view::npos ? whole.npos : comma - start),
                  kFieldBlanks);
      const std::string at = named + ", line " + decimal(lineNo) + ", number " + decimal(place);
      const ParsedNumber parsed = parseNumber(field);
      switch (parsed.kind) {
        case NumberKind::NotNumber:
          throw DemandFileError(kErrTypeMismatch,
                                at + (field.empty() ? " is empty" : " is not a number"));
        case NumberKind::OutOfRange:
          throw DemandFileError(kErrOverflow, at + " does not fit in a 32-bit integer");
        case NumberKind::Number:
          break;
      }
      try {
        numbers.push_back(toInt32(parsed.value, "Demand"));
      } catch (const OverflowError&) {
        throw DemandFileError(kErrOverflow, at + " does not fit in a 32-bit integer");
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  if (numbers.empty()) throw DemandFileError(kErrInvalidPlan, named + " holds no numbers");
  return numbers;
}

// Reads the first `count` numbers of the trial's demand file; fewer when the
// file holds fewer.
std::vector<int32_t> ReadDemandFile(const TrialPlan& trial, const std::string& inputFolder,
                                    size_t count) {
  const std::string named = "Demand file \"" + printable(DemandPath(trial, inputFolder)) + "\"";
  std::string text;
  try {
    text = ReadInputFile(inputFolder, trial.Input, named);
  } catch (const QuarnError& e) {
    throw DemandFileError(e.number(), e.description());
  }
  return ParseDemandText(text, named, count);
}

std::string Describe(const std::vector<PlanFault>& faults) {
  std::string text;
  for (const PlanFault& f : faults) {
    text += (text.empty() ? "" : ", ") + f.field + " = " + f.value;
  }
  return text;
}

// The faults that would make BuildDemand index outside the demand series.
void RequireDemandValues(const TrialPlan& trial) {
  std::vector<PlanFault> faults;
  for (PlanFault& f : CheckTrialValues(trial)) {
    if (f.field == "numweeks" || f.field == "JumpWeek") faults.push_back(std::move(f));
  }
  if (!faults.empty()) {
    throw QuarnError(kErrInvalidPlan, "The demand cannot be built: " + Describe(faults));
  }
}

}  // namespace

void BuildDemand(TrialPlan& trial, const std::string& inputFolder) {
  RequireDemandValues(trial);
  const auto weeks = static_cast<size_t>(trial.numweeks);
  std::vector<int32_t> demand(weeks + 1, 0);
  if (trial.Input.empty()) {
    // JumpWeek = numweeks + 2 lets the first part reach the spare last slot.
    for (int i = 0; i <= trial.JumpWeek - 2; ++i)
      demand[static_cast<size_t>(i)] = trial.InitialDemand;
    for (int i = trial.JumpWeek - 1; i <= trial.numweeks - 1; ++i) {
      demand[static_cast<size_t>(i)] = trial.SecondDemand;
    }
  } else {
    const std::vector<int32_t> numbers = ReadDemandFile(trial, inputFolder, weeks);
    for (size_t i = 0; i < weeks; ++i) {
      demand[i] = i < numbers.size() ? numbers[i] : trial.InitialDemand;
    }
    demand[weeks] = demand[weeks - 1];
  }
  trial.WeeklyDemand = std::move(demand);
}

void CheckDemandFile(const TrialPlan& trial, const std::string& inputFolder) {
  if (trial.Input.empty()) return;
  const size_t count = trial.numweeks > 0 ? static_cast<size_t>(trial.numweeks) : 1;
  ReadDemandFile(trial, inputFolder, count);
}

void StartTrialChain(ChainContext& c, const std::array<std::string, kRoleCount>& roleNames,
                     const std::string& inputFolder) {
  TrialPlan& trial = CurrentPlan(c.plan);
  std::vector<PlanFault> faults = CheckTrialValues(trial);
  if (trial.SubjectRole < kNoSubject || trial.SubjectRole >= kRoleCount) {
    faults.push_back({"SubjectRole", decimal(trial.SubjectRole)});
  } else {
    for (int16_t r = 0; r < kRoleCount; ++r) {
      const int16_t player = trial.RolePlayer[static_cast<size_t>(r)];
      if (r != trial.SubjectRole &&
          (player < 0 || static_cast<size_t>(player) >= c.plan.PlayerTable.size())) {
        faults.push_back({"RolePlayer(" + decimal(r) + ")", decimal(player)});
      }
    }
  }
  if (!faults.empty()) {
    throw QuarnError(kErrInvalidPlan, "The trial cannot start: " + Describe(faults));
  }

  BuildDemand(trial, inputFolder);  // may throw; nothing of the chain is touched yet

  for (int16_t r = 0; r < kRoleCount; ++r) {
    RoleState& s = c.chain.Roles[static_cast<size_t>(r)];
    s.RoleName = roleNames[static_cast<size_t>(r)];
    s.PlayerName =
        r == trial.SubjectRole
            ? "Subject"
            : c.plan.PlayerTable[static_cast<size_t>(trial.RolePlayer[static_cast<size_t>(r)])]
                  .Name;
    s.OrderSlots.assign(static_cast<size_t>(trial.OrderDelay) + 1, trial.FirstOrder);
    s.Inventory = trial.InitInventory;
    s.DeltaInventory = trial.InitInventory;
    s.Received = trial.InitDelayAmount;
    s.DelaySlots.assign(static_cast<size_t>(trial.Delay), trial.InitDelayAmount);
    s.Demand = r == kRetailer ? trial.WeeklyDemand[0] : trial.FirstOrder;
    s.Satisfied = 0;
    s.WeeklyCost = 0;
    s.TotalCost = 0;
  }
  trial.TotalCost = 0.0;
  c.chain.CurrentWeek = 1;
  ResetSterman(c);
  StepWeek(c);
}

}  // namespace quarn
