#pragma once

#include <cstdint>
#include <ctime>

#include "base/Clock.h"

namespace quarn::testing {

// A tick counter that only moves when told to.
class ManualTickCounter final : public TickCounter {
 public:
  uint32_t now() override { return ticks; }
  uint32_t ticks = 0;
};

// A wall clock that stands at `at`.
class FixedWallClock final : public WallClock {
 public:
  explicit FixedWallClock(LocalDateTime at = {}) : at(at) {}
  LocalDateTime now() override { return at; }
  int64_t seconds() override {
    std::tm local{};
    local.tm_year = at.year - 1900;
    local.tm_mon = at.month - 1;
    local.tm_mday = at.day;
    local.tm_hour = at.hour;
    local.tm_min = at.minute;
    local.tm_sec = at.second;
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local));
  }
  LocalDateTime at;
};

}  // namespace quarn::testing
