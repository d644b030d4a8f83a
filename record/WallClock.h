#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace quarn {

// A local date and time of day, as the output rows store them.
struct LocalDateTime {
  int Year = 2000;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..31
  int Hour = 0;   // 0..23
  int Minute = 0;
  int Second = 0;
};

// The wall clock the records read their date and time of day from. The
// application uses the system's local time; tests set a fixed one.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual LocalDateTime Now() = 0;
  // Seconds since 1970 (UTC): times that workstations compare.
  virtual int64_t Seconds() = 0;
};

class SystemWallClock final : public WallClock {
 public:
  LocalDateTime Now() override {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
  }
  int64_t Seconds() override { return static_cast<int64_t>(std::time(nullptr)); }
  static SystemWallClock& Instance() {
    static SystemWallClock clock;
    return clock;
  }
};

class FixedWallClock final : public WallClock {
 public:
  explicit FixedWallClock(LocalDateTime at = {}) : at(at) {}
  LocalDateTime Now() override { return at; }
  int64_t Seconds() override {
    std::tm local{};
    local.tm_year = at.Year - 1900;
    local.tm_mon = at.Month - 1;
    local.tm_mday = at.Day;
    local.tm_hour = at.Hour;
    local.tm_min = at.Minute;
    local.tm_sec = at.Second;
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local));
  }
  LocalDateTime at;
};

// "YYYY-MM-DD".
inline std::string FormatDate(const LocalDateTime& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.Year, t.Month, t.Day);
  return text;
}

// "HH:MM:SS", 24-hour clock.
inline std::string FormatTimeOfDay(const LocalDateTime& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.Hour, t.Minute, t.Second);
  return text;
}

}  // namespace quarn
