#include "base/Numbers.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

#include "base/Errors.h"

namespace quarn {

namespace {

template <typename Int>
Int checkedFromDouble(double value, const char* what) {
  const double rounded = roundHalfEven(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    throw OverflowError(std::string(what) + " " + shortestDecimal(value) + " does not fit");
  }
  return static_cast<Int>(rounded);
}

template <typename Int>
Int checkedFromInt64(int64_t value, const char* what) {
  if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max()) {
    throw OverflowError(std::string(what) + " " + std::to_string(value) + " does not fit");
  }
  return static_cast<Int>(value);
}

bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The exact value of a text of an optional sign and digits, when it fits.
std::optional<int64_t> wholeValue(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

double roundHalfEven(double value) {
  return std::nearbyint(value);
}

int16_t toInt16(double value, const char* what) {
  return checkedFromDouble<int16_t>(value, what);
}
int32_t toInt32(double value, const char* what) {
  return checkedFromDouble<int32_t>(value, what);
}
int16_t narrow16(int64_t value, const char* what) {
  return checkedFromInt64<int16_t>(value, what);
}
int32_t narrow32(int64_t value, const char* what) {
  return checkedFromInt64<int32_t>(value, what);
}

std::string decimal(int64_t value) {
  return std::to_string(value);
}

std::string shortestDecimal(double value) {
  std::ostringstream out;
  out.precision(15);
  out << value;
  return out.str();
}

std::string twoDigits(int value) {
  // Built by appending: g++ 12 warns falsely (-Wrestrict) on an insert at 0.
  const std::string digits = std::to_string(value < 0 ? -value : value);
  std::string text = value < 0 ? "-" : "";
  if (digits.size() < 2) text += '0';
  text += digits;
  return text;
}

ParsedNumber parseNumber(std::string_view text) {
  ParsedNumber parsed;
  std::string_view magnitude = text;
  bool negative = false;
  if (!magnitude.empty() && (magnitude.front() == '+' || magnitude.front() == '-')) {
    negative = magnitude.front() == '-';
    magnitude.remove_prefix(1);
  }
  // from_chars would also take "inf" and "nan"; a number starts with a digit
  // or the point of a fraction.
  if (magnitude.empty() || !(isDigit(magnitude.front()) || magnitude.front() == '.')) {
    return parsed;
  }
  const char* end = magnitude.data() + magnitude.size();
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(magnitude.data(), end, value, std::chars_format::general);
  if (ptr != end) return parsed;
  if (ec == std::errc::result_out_of_range) {
    parsed.kind = NumberKind::OutOfRange;
    return parsed;
  }
  if (ec != std::errc()) return parsed;
  parsed.kind = NumberKind::Number;
  parsed.value = negative ? -value : value;
  parsed.wholeForm =
      std::all_of(magnitude.begin(), magnitude.end(), [](char c) { return isDigit(c); });
  if (parsed.wholeForm) parsed.whole = wholeValue(text);
  return parsed;
}

}  // namespace quarn
