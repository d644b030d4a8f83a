#include "base/Random.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(StandardUniformRandom, SeededGeneratorRepeatsItsDrawsWhateverTheTickCount) {
  StandardUniformRandom first(7);
  StandardUniformRandom second(7);
  for (uint32_t week = 0; week < 50; ++week) {
    first.reseed(week);
    second.reseed(week * 1000 + 3);
    const double draw = first.next();
    EXPECT_EQ(draw, second.next());
    EXPECT_GE(draw, 0.0);
    EXPECT_LT(draw, 1.0);
  }
}

TEST(SystemSecret, IsHexOfTheAskedLengthAndNeverRepeats) {
  const std::string first = systemSecret(16);
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos) << first;
  EXPECT_NE(first, systemSecret(16));
}

}  // namespace
}  // namespace quarn
