#include "base/Numbers.h"

#include <gtest/gtest.h>

#include "base/Errors.h"

namespace quarn {
namespace {

TEST(Numbers, RoundsHalvesToEven) {
  const std::pair<double, int32_t> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.4999, 2}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(toInt32(value), rounded) << value;
}

TEST(Numbers, RefusesValuesBeyondTheirWidth) {
  EXPECT_EQ(toInt16(32767.4), 32767);
  EXPECT_THROW(toInt16(32767.5), OverflowError);
  EXPECT_THROW(narrow16(-32769), OverflowError);
  EXPECT_THROW(narrow32(int64_t{1} << 31), OverflowError);
  EXPECT_THROW(toInt32(0.0 / 0.0), OverflowError);
}

TEST(Numbers, CountersHaveTwoDigitsAtLeast) {
  EXPECT_EQ(twoDigits(1), "01");
  EXPECT_EQ(twoDigits(104), "104");
  EXPECT_EQ(twoDigits(-3), "-03");
}

TEST(ParseNumber, ReadsPlainDecimalOnly) {
  const struct {
    const char* text;
    NumberKind kind;
    double value;
  } cases[] = {{"12", NumberKind::Number, 12},      {"-3", NumberKind::Number, -3},
               {"+4.5", NumberKind::Number, 4.5},   {".5", NumberKind::Number, 0.5},
               {"1e3", NumberKind::Number, 1000},   {"0x10", NumberKind::NotNumber, 0},
               {"inf", NumberKind::NotNumber, 0},   {"nan", NumberKind::NotNumber, 0},
               {" 5", NumberKind::NotNumber, 0},    {"5 ", NumberKind::NotNumber, 0},
               {"", NumberKind::NotNumber, 0},      {"-", NumberKind::NotNumber, 0},
               {"1e999", NumberKind::OutOfRange, 0}};
  for (const auto& k : cases) {
    const ParsedNumber parsed = parseNumber(k.text);
    EXPECT_EQ(parsed.kind, k.kind) << k.text;
    if (k.kind == NumberKind::Number) {
      EXPECT_EQ(parsed.value, k.value) << k.text;
    }
  }
}

// A whole number keeps its exact value beyond a double's 53 bits, and says
// when it is beyond 64.
TEST(ParseNumber, WholeNumbersKeepTheirExactValue) {
  EXPECT_EQ(parseNumber("9007199254740993").whole, int64_t{9007199254740993});
  EXPECT_EQ(parseNumber("+7").whole, 7);
  EXPECT_EQ(parseNumber("-0042").whole, -42);
  const ParsedNumber huge = parseNumber("99999999999999999999");
  EXPECT_TRUE(huge.wholeForm);
  EXPECT_FALSE(huge.whole);
  for (const char* fraction : {"2.5", "2.0", "1e3"}) {
    EXPECT_FALSE(parseNumber(fraction).wholeForm) << fraction;
  }
}

}  // namespace
}  // namespace quarn
