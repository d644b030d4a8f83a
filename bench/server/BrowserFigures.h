#pragma once

// The figures bench_browsers prints, from what its simulated pages recorded
// and what the database holds afterwards: the time from a week's last order
// to each player's next week, the rows expected against the rows stored, and
// a server process's processor time and memory.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace quarn::bench {

// The number a counter begins with, as the page is sent it: 3 of "03 of 20",
// -2 of "-02 of 01" (a training trial); nothing when it begins with none.
inline std::optional<int> counterNumber(std::string_view counter) {
  int value = 0;
  const auto [end, error] = std::from_chars(counter.data(), counter.data() + counter.size(), value);
  if (error != std::errc() || end == counter.data()) return std::nullopt;
  return value;
}

// One order a simulated page sent. `group` is the player's team, or the
// player alone; the times are milliseconds since the run began.
struct OrderMade {
  std::string group;
  std::string subject;
  int trial = 0;
  int week = 0;
  double sentMs = 0;
  // When the next week opened (or the trial ended, or a pause or the game's
  // end came); nothing when no answer came.
  std::optional<double> answeredMs;
};

// Milliseconds from the last order of a group's week to each member's next
// week: for a player alone, from the order to the next week. `steady` holds
// the weeks whose last order was sent after `allPlayingMs`, once every page
// had had its first week (before that, logins share the server).
struct WeekTimes {
  std::vector<double> all;
  std::vector<double> steady;
};

inline WeekTimes orderToNextWeek(const std::vector<OrderMade>& orders, double allPlayingMs) {
  using WeekKey = std::tuple<std::string, int, int>;
  std::map<WeekKey, double> lastSent;
  for (const OrderMade& order : orders) {
    double& last =
        lastSent.try_emplace({order.group, order.trial, order.week}, order.sentMs).first->second;
    last = std::max(last, order.sentMs);
  }
  WeekTimes times;
  for (const OrderMade& order : orders) {
    if (!order.answeredMs) continue;
    const double last = lastSent.at({order.group, order.trial, order.week});
    times.all.push_back(*order.answeredMs - last);
    if (last > allPlayingMs) times.steady.push_back(*order.answeredMs - last);
  }
  return times;
}

// Rows the pages' answered moves must have left, against the rows stored
// under the same keys: lost (expected, not stored), doubled (stored more than
// once: each extra copy) and unexpected (stored, not expected: a move whose
// answer never came, or a row under a wrong key).
struct RowTally {
  int64_t expected = 0;
  int64_t stored = 0;
  int64_t lost = 0;
  int64_t doubled = 0;
  int64_t unexpected = 0;
};

template <class Key>
RowTally tallyRows(const std::set<Key>& expected, const std::map<Key, int>& stored) {
  RowTally tally;
  tally.expected = static_cast<int64_t>(expected.size());
  for (const auto& [key, copies] : stored) {
    tally.stored += copies;
    tally.doubled += copies - 1;
    if (!expected.count(key)) ++tally.unexpected;
  }
  for (const Key& key : expected) tally.lost += stored.count(key) ? 0 : 1;
  return tally;
}

// A process's processor time and memory, from its /proc files.
struct ProcessUse {
  double cpuSeconds = 0;  // user and system time
  int64_t rssKb = 0;      // resident now
  int64_t peakRssKb = 0;  // the most it was resident
};

// User and system time in seconds from the text of /proc/<pid>/stat. The
// program's name stands in parentheses and may itself hold blanks and
// parentheses, so the fields are counted from the last ')'.
inline std::optional<double> cpuSecondsOfStat(const std::string& stat, long ticksPerSecond) {
  const size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos || ticksPerSecond <= 0) return std::nullopt;
  std::istringstream fields(stat.substr(nameEnd + 1));
  // Field 3 (the state) follows the name; utime and stime are fields 14, 15.
  std::string field;
  for (int number = 3; number < 14; ++number) {
    if (!(fields >> field)) return std::nullopt;
  }
  long long user = 0, system = 0;
  if (!(fields >> user >> system)) return std::nullopt;
  return static_cast<double>(user + system) / static_cast<double>(ticksPerSecond);
}

// A "Name:   1234 kB" line's value from the text of /proc/<pid>/status.
inline std::optional<int64_t> kbOfStatus(const std::string& status, std::string_view name) {
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 ||
        line[name.size()] != ':') {
      continue;
    }
    std::istringstream value(line.substr(name.size() + 1));
    int64_t kb = 0;
    if (value >> kb) return kb;
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace quarn::bench
