#include "base/Clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace quarn {

uint32_t SteadyTickCounter::now() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));  // wraps at 32 bits
}

LocalDateTime SystemWallClock::now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

int64_t SystemWallClock::seconds() {
  return static_cast<int64_t>(std::time(nullptr));
}

SystemWallClock& SystemWallClock::instance() {
  static SystemWallClock clock;
  return clock;
}

std::string formatDate(const LocalDateTime& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
  return text;
}

std::string formatTimeOfDay(const LocalDateTime& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

}  // namespace quarn
