#include "plan/RowReader.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"

namespace quarn {

std::string settingPlace(const std::string& setting) {
  return "Setting " + printable(setting);
}

std::string blockPlace(const std::string& setting, const Row& row, int64_t firstTrial,
                       int64_t runs) {
  std::string place = settingPlace(setting) + ", tblBlock row RandomGroup " +
                      cellText(row.cell("RandomGroup").value()) + ", Index " +
                      cellText(row.cell("Index").value());
  if (runs == 1) return place + " (trial " + decimal(firstTrial) + ")";
  if (runs > 1) {
    return place + " (trials " + decimal(firstTrial) + " to " + decimal(firstTrial + runs - 1) +
           ")";
  }
  return place;
}

std::string trainingPlace(const std::string& setting) {
  return settingPlace(setting) + ", tblTraining";
}

RowReader::RowReader(std::string table, std::string place, int16_t trial,
                     std::vector<PlanFault>& faults)
    : m_table(std::move(table)), m_place(std::move(place)), m_trial(trial), m_faults(faults) {}

size_t RowReader::faultCount() const {
  return static_cast<size_t>(std::count_if(m_faults.begin(), m_faults.end(),
                                           [](const PlanFault& f) { return !f.warning; }));
}

PlanFault RowReader::refusal(const std::string& field, const std::string& value,
                             const std::string& complaint) const {
  return makeRefusal(m_table, m_place, m_trial, field, value, complaint);
}

template <typename Read>
auto RowReader::guarded(const std::string& column, const char* width, const char* kind, Read read)
    -> std::optional<decltype(read(std::declval<const Cell&>()))> {
  std::string value;
  try {
    const Cell cell = m_row->cell(column);
    value = cellText(cell.value());
    return read(cell);
  } catch (const OverflowError&) {
    add(refusal(column, value, column + " " + value + " does not fit in " + width));
  } catch (const QuarnError& e) {
    std::string complaint;
    switch (e.number()) {
      case kErrInvalidUseOfNull:
        complaint = column + " is empty (Null)";
        break;
      case kErrTypeMismatch:
        complaint = column + " '" + value + "' is not " + kind;
        break;
      default:
        complaint = column + ": " + e.description();
        break;
    }
    PlanFault fault = refusal(column, value, complaint);
    fault.errorNumber = e.number();
    add(std::move(fault));
  }
  return std::nullopt;
}

// A whole-number column holding a fraction is played rounded (halves to
// even); files may rely on it, so it is kept, and said.
template <typename Whole>
void RowReader::warnAboutFraction(const std::string& column, std::optional<Whole> read) {
  if (!read) return;
  const double held = m_row->cell(column).toDouble();
  if (held == static_cast<double>(*read)) return;
  PlanFault warning = refusal(column, shortestDecimal(held),
                              column + " " + shortestDecimal(held) +
                                  " is not a whole number: it plays as " + decimal(*read));
  warning.warning = true;
  add(std::move(warning));
}

std::optional<int16_t> RowReader::int16(const std::string& column) {
  const std::optional<int16_t> read =
      guarded(column, "16 bits", "a number", [](const Cell& c) { return c.toInt16(); });
  warnAboutFraction(column, read);
  return read;
}

std::optional<int32_t> RowReader::int32(const std::string& column) {
  const std::optional<int32_t> read =
      guarded(column, "32 bits", "a number", [](const Cell& c) { return c.toInt32(); });
  warnAboutFraction(column, read);
  return read;
}

std::optional<double> RowReader::real(const std::string& column) {
  return guarded(column, "a double", "a finite number", [](const Cell& c) { return c.toDouble(); });
}

std::optional<std::string> RowReader::text(const std::string& column) {
  return guarded(column, "a text", "a text", [](const Cell& c) { return c.toText(); });
}

std::string RowReader::textOrEmpty(const std::string& column) {
  return guarded(column, "a text", "a text",
                 [](const Cell& c) { return c.isNull() ? std::string() : c.toText(); })
      .value_or(std::string());
}

bool RowReader::isNull(const std::string& column) const {
  return m_row->cell(column).isNull();
}

bool RowReader::truth(const std::string& column) {
  return guarded(column, "a yes/no value", "a yes/no value",
                 [](const Cell& c) { return c.toBool(); })
      .value_or(false);
}

}  // namespace quarn
