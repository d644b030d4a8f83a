#pragma once

#include <cstdint>
#include <string>

namespace quarn {

// The millisecond tick counter: elapsed milliseconds, wrapping at 32 bits.
class TickCounter {
 public:
  virtual ~TickCounter() = default;
  virtual uint32_t now() = 0;
};

class SteadyTickCounter final : public TickCounter {
 public:
  uint32_t now() override;
};

// A local date and time of day, as the output rows store them.
struct LocalDateTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

// The wall clock the records read their date and time of day from. The
// application uses the system's local time; tests set a fixed one.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual LocalDateTime now() = 0;
  // Seconds since 1970 (UTC): times that workstations compare.
  virtual int64_t seconds() = 0;
};

class SystemWallClock final : public WallClock {
 public:
  LocalDateTime now() override;
  int64_t seconds() override;
  static SystemWallClock& instance();
};

// "YYYY-MM-DD".
std::string formatDate(const LocalDateTime& t);

// "HH:MM:SS", 24-hour clock.
std::string formatTimeOfDay(const LocalDateTime& t);

}  // namespace quarn
