#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Roles.h"
#include "db/RowWriter.h"
#include "sim/RecordedStage.h"

namespace quarn {

// One stage's week: a row of datRole. The comments give the column where its
// name differs.
struct WeekRow {
  std::string subject;
  std::string setting;
  int16_t trial = 0;
  bool training = false;
  int16_t week = 0;
  std::string role;
  bool participant = false;  // User: 6 for the participant's stage
  bool teamMember = false;   // User: 7 for a stage another member of the participant's team plays
  // User: 8 in place of 6 when the week clock ran out and ordered for the
  // participant (a week an analysis may leave out).
  bool clockOrdered = false;
  std::optional<int32_t> predicterNoise;  // PNoise: only in a trial with a predicter
  // Order, DeltaInventory, Inventory, Delay1 to Delay3 (as many as the
  // trial's delay), Demand, Satisfied, WeeklyCost, TotalCost and
  // TransactionTime (the decision time in milliseconds)
  RecordedStage stage;
  std::string date;       // YYYY-MM-DD
  std::string timeOfDay;  // HH:MM:SS

  friend bool operator==(const WeekRow&, const WeekRow&) = default;
};

// One trial: a row of datTrial.
struct TrialRow {
  std::string subject;
  std::string setting;
  int16_t trial = 0;
  bool training = false;
  int16_t weeks = 0;
  int16_t delay = 0;
  std::string predicter;
  double inventoryCostRate = 0.0;  // InventoryCost
  double backorderCostRate = 0.0;  // BackCost
  double transitCostRate = 0.0;    // TransitCost
  double endCost = 0.0;
  std::array<std::string, kRoleCount> players;  // Factory ... Retailer: who played each role
  std::string date;
  std::string time;

  friend bool operator==(const TrialRow&, const TrialRow&) = default;
};

// A participant and a setting with recorded experiment trials.
struct RecordedSession {
  std::string subject;
  std::string setting;
};

// The experiment trials of one participant in one setting, as recorded.
struct RecordedRows {
  std::vector<TrialRow> trials;  // datTrial, by trial
  std::vector<WeekRow> weeks;    // datRole, by trial and week
};

// Where a row of datRole or datTrial stands: whose it is, under which Trial
// (a training trial's or not), and for a datRole row its Week and Role.
struct RecordKey {
  std::string subject;
  int16_t trial = 0;
  bool training = false;
  int16_t week = 0;  // 0 for a datTrial row
  std::string role;  // empty for a datTrial row

  friend bool operator==(const RecordKey&, const RecordKey&) = default;
};

// The keys of every result row of a setting, or of one participant in it.
struct RecordKeys {
  std::vector<RecordKey> weeks;   // datRole, by subject, trial, week and role
  std::vector<RecordKey> trials;  // datTrial, by subject and trial
};

// The results: datRole and datTrial.
class ResultStore {
 public:
  virtual ~ResultStore() = default;
  virtual std::unique_ptr<RowWriter<WeekRow>> openWeekRows() = 0;
  virtual std::unique_ptr<RowWriter<TrialRow>> openTrialRows() = 0;

  // The participants and settings with experiment (not training) rows in
  // datRole, by participant, then setting. An empty setting or subject takes
  // all; any other matches exactly.
  virtual std::vector<RecordedSession> recordedSessions(const std::string& setting,
                                                        const std::string& subject) = 0;
  // The same for the training rows.
  virtual std::vector<RecordedSession> trainingSessions(const std::string& setting,
                                                        const std::string& subject) = 0;
  // The experiment rows of one participant in one setting. Reading a file a
  // participant at a time keeps a large file's rows out of memory all at
  // once. Null numbers read as 0, Null text as empty; delaySlots end at the
  // first Null slot.
  virtual RecordedRows recordedRows(const RecordedSession& session) = 0;
  // The keys of the rows of `setting` (training too): one participant's
  // (User ID as stored), or every participant's when `subject` is empty.
  virtual RecordKeys recordKeys(const std::string& setting, const std::string& subject) = 0;
};

}  // namespace quarn
