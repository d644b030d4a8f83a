#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarn {

// Every conversion of a double to an integer rounds to the nearest integer,
// exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Checked conversions: a value that does not fit raises OverflowError naming
// `what`, never wraps silently.
int16_t toInt16(double value, const char* what = "16-bit value");
int32_t toInt32(double value, const char* what = "32-bit value");
int16_t narrow16(int64_t value, const char* what = "16-bit value");
int32_t narrow32(int64_t value, const char* what = "32-bit value");

// Plain decimal text: no leading blank, no grouping, "-" for negatives.
std::string decimal(int64_t value);

// The shortest general form of a double; whole numbers print as integers.
std::string shortestDecimal(double value);

// The "00" pattern of the trial and week counters: 1 -> "01", 104 -> "104".
std::string twoDigits(int value);

enum class NumberKind { Number, NotNumber, OutOfRange };

// What parseNumber found in a text.
struct ParsedNumber {
  NumberKind kind = NumberKind::NotNumber;
  double value = 0.0;  // when kind is Number
  // Written as a whole number: an optional sign and digits only.
  bool wholeForm = false;
  // The exact value of a whole number that fits 64 bits.
  std::optional<int64_t> whole;
};

// The one reader of numbers written as text (plan cells, CSV files, demand
// files, orders files, the questionnaire's age). A number is plain decimal:
// an optional sign, digits with an optional fraction, an optional exponent
// ("12", "-3", "+4.5", ".5", "1e3"). Hexadecimal ("0x10"), "inf", "nan" and
// values beyond a double's range ("1e999", OutOfRange) are not numbers here.
// Surrounding blanks are the caller's to remove.
ParsedNumber parseNumber(std::string_view text);

}  // namespace quarn
