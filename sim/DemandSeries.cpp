#include "sim/DemandSeries.h"

#include <string_view>
#include <vector>

#include "base/Numbers.h"
#include "base/Text.h"
#include "sim/InputFile.h"

namespace quarn {

namespace {

// Blanks around a demand file's fields and lines.
constexpr std::string_view kFieldBlanks = " \t\r\f";

std::string demandPath(const TrialPlan& trial, const std::string& inputFolder) {
  return inputFolder + "/" + trial.inputFile;
}

// The numbers of a demand file's text, read in order: separated by commas or
// line ends; blank lines are skipped, but an empty field between commas is
// refused rather than read as something, so that no week is silently
// shifted. Refusals name the line and the field's place in it, never its
// content. A leading byte-order mark is skipped.
std::vector<int32_t> parseDemandText(std::string_view text, const std::string& named, size_t count,
                                     std::vector<std::string>* fractions) {
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
      if (fractions && parsed.value != static_cast<double>(numbers.back())) {
        fractions->push_back(at + ": " + shortestDecimal(parsed.value) +
                             " is not a whole number: it plays as " + decimal(numbers.back()));
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
std::vector<int32_t> readDemandFile(const TrialPlan& trial, const std::string& inputFolder,
                                    size_t count, std::vector<std::string>* fractions = nullptr) {
  const std::string named = "Demand file \"" + printable(demandPath(trial, inputFolder)) + "\"";
  std::string text;
  try {
    text = readInputFile(inputFolder, trial.inputFile, named);
  } catch (const QuarnError& e) {
    throw DemandFileError(e.number(), e.description());
  }
  return parseDemandText(text, named, count, fractions);
}

// The faults that would make buildDemand index outside the demand series.
void requireDemandValues(const TrialPlan& trial) {
  std::vector<TrialValueFault> faults;
  for (TrialValueFault& f : checkTrialValues(trial)) {
    if (f.field == "numweeks" || f.field == "JumpWeek") faults.push_back(std::move(f));
  }
  if (!faults.empty()) {
    throw QuarnError(kErrInvalidPlan,
                     "The demand cannot be built: " + describeTrialValueFaults(faults));
  }
}

}  // namespace

void buildDemand(TrialPlan& trial, const std::string& inputFolder,
                 std::vector<std::string>* fractions) {
  requireDemandValues(trial);
  const auto weeks = static_cast<size_t>(trial.weeks);
  std::vector<int32_t> demand(weeks + 1, 0);
  if (trial.inputFile.empty()) {
    // JumpWeek = numweeks + 2 lets the first part reach the spare last slot.
    for (int i = 0; i <= trial.jumpWeek - 2; ++i)
      demand[static_cast<size_t>(i)] = trial.initialDemand;
    for (int i = trial.jumpWeek - 1; i <= trial.weeks - 1; ++i) {
      demand[static_cast<size_t>(i)] = trial.secondDemand;
    }
  } else {
    const std::vector<int32_t> numbers = readDemandFile(trial, inputFolder, weeks, fractions);
    for (size_t i = 0; i < weeks; ++i) {
      demand[i] = i < numbers.size() ? numbers[i] : trial.initialDemand;
    }
    demand[weeks] = demand[weeks - 1];
  }
  trial.weeklyDemand = std::move(demand);
}

void checkDemandFile(const TrialPlan& trial, const std::string& inputFolder) {
  if (trial.inputFile.empty()) return;
  const size_t count = trial.weeks > 0 ? static_cast<size_t>(trial.weeks) : 1;
  readDemandFile(trial, inputFolder, count);
}

}  // namespace quarn
