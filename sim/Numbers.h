#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarn {

// Every conversion of a double to an integer rounds to the nearest integer,
// exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// Checked conversions: a value that does not fit raises OverflowError naming
// `what`, never wraps silently.
int16_t ToInt16(double value, const char* what = "16-bit value");
int32_t ToInt32(double value, const char* what = "32-bit value");
int16_t Narrow16(int64_t value, const char* what = "16-bit value");
int32_t Narrow32(int64_t value, const char* what = "32-bit value");

// Plain decimal text: no leading blank, no grouping, "-" for negatives.
std::string Decimal(int64_t value);

// The shortest general form of a double; whole numbers print as integers.
std::string ShortestDecimal(double value);

// A number written in plain decimal: an optional sign, digits with an
// optional fraction, an optional exponent ("12", "-3", "+4.5", ".5", "1e3").
// Hexadecimal ("0x10"), "inf", "nan" and values beyond a double's range
// ("1e999") are not numbers here. Surrounding blanks are the caller's.
enum class DecimalParse { kNumber, kNotNumber, kOutOfRange };
DecimalParse ParseDecimal(std::string_view text, double& value);

// Whether `text` is a whole number in plain decimal: an optional sign and
// digits only.
bool IsDecimalInteger(std::string_view text);

// The "00" pattern of the trial and week counters: 1 -> "01", 104 -> "104".
std::string TwoDigits(int value);

}  // namespace quarn
