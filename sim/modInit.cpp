#include "sim/modInit.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "sim/Numbers.h"
#include "sim/TrialPlan.h"

namespace quarn {

namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\f'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

enum class Parsed { kNumber, kNotNumber, kOutOfRange };

// A decimal number such as "12", "-3", "+4.5" or "1e3". Words that the
// library would also take ("inf", "nan") are not numbers here.
Parsed ParseNumber(std::string_view text, double& value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() ||
      !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
    return Parsed::kNotNumber;
  }
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (ptr != end) return Parsed::kNotNumber;
  if (ec == std::errc::result_out_of_range) return Parsed::kOutOfRange;
  if (ec != std::errc()) return Parsed::kNotNumber;
  if (negative) value = -value;
  return Parsed::kNumber;
}

std::string DemandPath(const TrialPlan& trial, const std::string& inputFolder) {
  return inputFolder + "/" + trial.Input;
}

// Reads the first `count` numbers of a demand file; fewer when the file holds
// fewer. Numbers are separated by commas or line ends; blank lines are
// skipped, but an empty field between commas is refused rather than read as
// something, so that no week is silently shifted.
std::vector<int32_t> ReadDemandFile(const std::string& path, size_t count) {
  const std::string named = "Demand file \"" + path + "\"";
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    throw DemandFileError(kErrFileNotFound, named + " was not found");
  }
  std::ifstream in;
  if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
  if (!in.is_open()) throw DemandFileError(kErrFileNotFound, named + " cannot be read");

  std::vector<int32_t> numbers;
  std::string line;
  int64_t lineNo = 0;
  while (numbers.size() < count && std::getline(in, line)) {
    ++lineNo;
    const std::string_view whole = Trim(line);
    if (whole.empty()) continue;
    const std::string at = named + ", line " + Decimal(lineNo) + ": ";
    size_t start = 0;
    while (numbers.size() < count) {
      const size_t comma = whole.find(',', start);
      const std::string_view field =
          Trim(whole.substr(start, comma == std::string_view::npos ? whole.npos : comma - start));
      double value = 0.0;
      switch (ParseNumber(field, value)) {
        case Parsed::kNotNumber:
          throw DemandFileError(kErrTypeMismatch,
                                at +
                                    (field.empty() ? std::string("an empty field")
                                                   : "\"" + std::string(field) + "\"") +
                                    " is not a number");
        case Parsed::kOutOfRange:
          throw DemandFileError(kErrOverflow,
                                at + std::string(field) + " does not fit in a 32-bit integer");
        case Parsed::kNumber:
          break;
      }
      try {
        numbers.push_back(ToInt32(value, "Demand"));
      } catch (const OverflowError&) {
        throw DemandFileError(kErrOverflow,
                              at + std::string(field) + " does not fit in a 32-bit integer");
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  if (in.bad()) {
    throw DemandFileError(kErrFileNotFound,
                          named + " cannot be read after line " + Decimal(lineNo));
  }
  if (numbers.empty()) throw DemandFileError(kErrInvalidPlan, named + " holds no numbers");
  return numbers;
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
    const std::vector<int32_t> numbers = ReadDemandFile(DemandPath(trial, inputFolder), weeks);
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
  ReadDemandFile(DemandPath(trial, inputFolder), count);
}

void StartTrialChain(ChainContext& c, const std::array<std::string, kRoleCount>& roleNames,
                     const std::string& inputFolder) {
  TrialPlan& trial = CurrentPlan(c.plan);
  std::vector<PlanFault> faults = CheckTrialValues(trial);
  if (trial.SubjectRole < kNoSubject || trial.SubjectRole >= kRoleCount) {
    faults.push_back({"SubjectRole", Decimal(trial.SubjectRole)});
  } else {
    for (int16_t r = 0; r < kRoleCount; ++r) {
      const int16_t player = trial.RolePlayer[static_cast<size_t>(r)];
      if (r != trial.SubjectRole &&
          (player < 0 || static_cast<size_t>(player) >= c.plan.PlayerTable.size())) {
        faults.push_back({"RolePlayer(" + Decimal(r) + ")", Decimal(player)});
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
