#include "sim/Numbers.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

#include "sim/Errors.h"

namespace quarn {

namespace {

template <typename Int>
Int CheckedFromDouble(double value, const char* what) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    throw OverflowError(std::string(what) + " " + ShortestDecimal(value) + " does not fit");
  }
  return static_cast<Int>(rounded);
}

template <typename Int>
Int CheckedFromInt64(int64_t value, const char* what) {
  if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max()) {
    throw OverflowError(std::string(what) + " " + std::to_string(value) + " does not fit");
  }
  return static_cast<Int>(value);
}

}  // namespace

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

int16_t ToInt16(double value, const char* what) {
  return CheckedFromDouble<int16_t>(value, what);
}
int32_t ToInt32(double value, const char* what) {
  return CheckedFromDouble<int32_t>(value, what);
}
int16_t Narrow16(int64_t value, const char* what) {
  return CheckedFromInt64<int16_t>(value, what);
}
int32_t Narrow32(int64_t value, const char* what) {
  return CheckedFromInt64<int32_t>(value, what);
}

std::string Decimal(int64_t value) {
  return std::to_string(value);
}

std::string ShortestDecimal(double value) {
  std::ostringstream out;
  out.precision(15);
  out << value;
  return out.str();
}

DecimalParse ParseDecimal(std::string_view text, double& value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would also take "inf" and "nan"; a number starts with a digit
  // or the point of a fraction.
  if (text.empty() ||
      !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
    return DecimalParse::kNotNumber;
  }
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (ptr != end) return DecimalParse::kNotNumber;
  if (ec == std::errc::result_out_of_range) return DecimalParse::kOutOfRange;
  if (ec != std::errc()) return DecimalParse::kNotNumber;
  if (negative) value = -value;
  return DecimalParse::kNumber;
}

bool IsDecimalInteger(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string TwoDigits(int value) {
  // Built by appending: g++ 12 warns falsely (-Wrestrict) on an insert at 0.
  const std::string digits = std::to_string(value < 0 ? -value : value);
  std::string text = value < 0 ? "-" : "";
  if (digits.size() < 2) text += '0';
  text += digits;
  return text;
}

}  // namespace quarn
