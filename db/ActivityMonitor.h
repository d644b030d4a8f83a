#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/PlayingMark.h"
#include "db/QueryRunner.h"

namespace quarn {

// A participant's latest recorded week in a setting (datRole).
struct LatestWeek {
  std::string subject;
  std::string setting;
  int16_t trial = 0;
  bool training = false;
  int16_t week = 0;
  std::string date;       // YYYY-MM-DD, the workstation's local time
  std::string timeOfDay;  // HH:MM:SS
  // The participant's stage's TotalCost that week; none when every stage
  // was played by simulated players.
  std::optional<int64_t> totalCost;
  std::string role;  // the participant's stage; empty as for totalCost
};

// What the moderator's live view reads, on either engine.
class ActivityMonitor {
 public:
  virtual ~ActivityMonitor() = default;
  // The latest week of every participant and setting that recorded a week
  // at or after `date` `timeOfDay` (local time, as the rows hold it).
  virtual std::vector<LatestWeek> latestWeeks(const std::string& date,
                                              const std::string& timeOfDay) = 0;
  // Every workstation mark (datPlaying); none in a file that keeps none.
  virtual std::vector<PlayingMark> playingMarks() = 0;
};

// The monitor's reads, the same SQL on both engines.
class SqlActivityMonitor final : public ActivityMonitor {
 public:
  explicit SqlActivityMonitor(QueryRunner& reads) : m_reads(reads) {}
  std::vector<LatestWeek> latestWeeks(const std::string& date,
                                      const std::string& timeOfDay) override;
  std::vector<PlayingMark> playingMarks() override;

 private:
  QueryRunner& m_reads;
};

}  // namespace quarn
