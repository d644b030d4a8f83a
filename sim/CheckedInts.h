#pragma once

// Inline forms of the checked conversions of base/Numbers.h for the week
// step, which runs them several times per stage and week: a value that fits
// costs a comparison; one that does not goes to the out-of-line conversion,
// which throws its usual error.

#include <cmath>
#include <cstdint>
#include <limits>

#include "base/Numbers.h"

namespace quarn {

inline int32_t fit32(int64_t value, const char* what) {
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
      [[likely]] {
    return static_cast<int32_t>(value);
  }
  return narrow32(value, what);
}

inline int16_t fit16(int64_t value, const char* what) {
  if (value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max())
      [[likely]] {
    return static_cast<int16_t>(value);
  }
  return narrow16(value, what);
}

// Rounds half to even, as toInt32 does (roundHalfEven is std::nearbyint).
inline int32_t round32(double value, const char* what) {
  const double rounded = std::nearbyint(value);
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
      rounded <= static_cast<double>(std::numeric_limits<int32_t>::max())) [[likely]] {
    return static_cast<int32_t>(rounded);
  }
  return toInt32(value, what);
}

}  // namespace quarn
