#pragma once

// Interval arithmetic on whole numbers: the plan check follows the week step
// with every quantity as the range of values it can take, and each player
// rule gives its term of an order as such a range too.

#include <algorithm>
#include <cstdint>
#include <optional>

namespace quarn {

// The values one quantity can take: every value in [lo, hi].
struct ValueRange {
  int64_t lo = 0;
  int64_t hi = 0;
  bool holds(int64_t value) const { return lo <= value && value <= hi; }
};

inline ValueRange exactly(int64_t v) {
  return {v, v};
}
inline ValueRange operator+(ValueRange a, ValueRange b) {
  return {a.lo + b.lo, a.hi + b.hi};
}
inline ValueRange operator-(ValueRange a, ValueRange b) {
  return {a.lo - b.hi, a.hi - b.lo};
}
// Every value either range holds (and those between them).
inline ValueRange unite(ValueRange a, ValueRange b) {
  return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}
// The smaller of a value of `a` and one of `b`.
inline ValueRange smallerOf(ValueRange a, ValueRange b) {
  return {std::min(a.lo, b.lo), std::min(a.hi, b.hi)};
}
// The part of `r` at or above 0, and the part below it.
inline std::optional<ValueRange> nonNegative(ValueRange r) {
  if (r.hi < 0) return std::nullopt;
  return ValueRange{std::max<int64_t>(r.lo, 0), r.hi};
}
inline std::optional<ValueRange> negative(ValueRange r) {
  if (r.lo >= 0) return std::nullopt;
  return ValueRange{r.lo, std::min<int64_t>(r.hi, -1)};
}

}  // namespace quarn
