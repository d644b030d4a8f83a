#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/PlayingMark.h"
#include "db/QueryRunner.h"
#include "db/TeamStore.h"

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

// A member's order of a team's latest week, dated by the server's clock.
struct StoredOrder {
  int16_t member = 0;
  std::optional<int64_t> stored;  // seconds since 1970; none for an order from before the dates
};

// A team of a team setting as the live view sees it: its members, the
// latest week any member ordered, and its replaced members.
struct TeamActivity {
  TeamKey key;
  std::vector<TeamMember> members;  // by member number
  // The team's latest trial with a typed order or a mark (its experiment
  // trials come after its training trials; once its training is over, its
  // first experiment trial); trial 0 before any order.
  int16_t trial = 0;
  bool training = false;
  // The latest week of that trial with an order; 0 when the trial has only
  // its marks of week 0 so far (the pause before it passed, a training
  // trial begun, the training over).
  int16_t week = 0;
  std::vector<StoredOrder> ordered;       // that week's orders (or marks), by member
  std::vector<TeamTrialMember> replaced;  // the replacements in that experiment trial or later
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
  // Every team of a team setting, by setting and team; none in a file.
  virtual std::vector<TeamActivity> teams() = 0;
};

// The monitor's reads, the same SQL on both engines.
class SqlActivityMonitor final : public ActivityMonitor {
 public:
  explicit SqlActivityMonitor(QueryRunner& reads) : m_reads(reads) {}
  std::vector<LatestWeek> latestWeeks(const std::string& date,
                                      const std::string& timeOfDay) override;
  std::vector<PlayingMark> playingMarks() override;
  std::vector<TeamActivity> teams() override;

 private:
  QueryRunner& m_reads;
};

}  // namespace quarn
