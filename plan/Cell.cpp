#include "plan/Cell.h"

#include <cmath>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"

namespace quarn {

namespace {

[[noreturn]] void nullUse() {
  throw QuarnError(kErrInvalidUseOfNull, "Invalid use of Null");
}

// A number written as text, as a typed field would convert it: plain
// decimal only, white space around it allowed. Hexadecimal, "inf", "nan" and
// numbers beyond a double's range are refused rather than guessed at.
double numberFromText(const std::string& text) {
  const ParsedNumber parsed = parseNumber(trimSpace(text));
  if (parsed.kind != NumberKind::Number) {
    throw QuarnError(kErrTypeMismatch, "Type mismatch: '" + printable(text) + "' is not a number");
  }
  return parsed.value;
}

}  // namespace

int16_t Cell::toInt16() const {
  if (auto* i = std::get_if<int64_t>(&m_value)) return narrow16(*i, m_column.c_str());
  return quarn::toInt16(toDouble(), m_column.c_str());
}

int32_t Cell::toInt32() const {
  if (auto* i = std::get_if<int64_t>(&m_value)) return narrow32(*i, m_column.c_str());
  return quarn::toInt32(toDouble(), m_column.c_str());
}

double Cell::toDouble() const {
  if (isNull()) nullUse();
  if (auto* i = std::get_if<int64_t>(&m_value)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&m_value)) {
    // The engine stores an infinity written into a REAL column as it is.
    if (!std::isfinite(*d)) {
      throw QuarnError(kErrTypeMismatch,
                       "Type mismatch: " + shortestDecimal(*d) + " is not a finite number");
    }
    return *d;
  }
  return numberFromText(std::get<std::string>(m_value));
}

std::string Cell::toText() const {
  if (isNull()) nullUse();
  if (auto* i = std::get_if<int64_t>(&m_value)) return decimal(*i);
  if (auto* d = std::get_if<double>(&m_value)) return shortestDecimal(*d);
  return std::get<std::string>(m_value);
}

bool Cell::toBool() const {
  if (isNull()) return false;
  if (auto* i = std::get_if<int64_t>(&m_value)) return *i != 0;
  if (auto* d = std::get_if<double>(&m_value)) return *d != 0.0;
  const std::string text = toLowerAscii(std::get<std::string>(m_value));
  if (text == "true" || text == "yes" || text == "on") return true;
  if (text == "false" || text == "no" || text == "off" || text.empty()) return false;
  return numberFromText(text) != 0.0;
}

ColumnNames::ColumnNames(std::vector<std::string> names) : m_names(std::move(names)) {
  for (size_t c = 0; c < m_names.size(); ++c) m_byLowerName.emplace(toLowerAscii(m_names[c]), c);
}

std::optional<size_t> ColumnNames::find(std::string_view name) const {
  const auto found = m_byLowerName.find(toLowerAscii(name));
  if (found == m_byLowerName.end()) return std::nullopt;
  return found->second;
}

Cell Row::cell(std::string_view column) const {
  const std::optional<size_t> index = m_columns->find(column);
  if (!index) {
    throw QuarnError(kErrItemNotFound,
                     "Item not found in this collection (" + std::string(column) + ")");
  }
  return Cell(m_columns->names()[*index], m_values[*index]);
}

std::string cellText(const CellValue& value) {
  if (std::holds_alternative<int64_t>(value)) return decimal(std::get<int64_t>(value));
  if (std::holds_alternative<double>(value)) return shortestDecimal(std::get<double>(value));
  if (std::holds_alternative<std::string>(value)) return printable(std::get<std::string>(value));
  return "Null";
}

}  // namespace quarn
