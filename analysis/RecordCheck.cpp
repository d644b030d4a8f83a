#include "analysis/RecordCheck.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "base/Numbers.h"
#include "base/Roles.h"

namespace quarn {

namespace {

constexpr const char* kWeekTable = "datRole";
constexpr const char* kTrialTable = "datTrial";

constexpr const char* kNoSuchTrial =
    QUARN_TRANSLATABLE("Records", "the setting has no trial of that number");
constexpr const char* kNoSuchWeek =
    QUARN_TRANSLATABLE("Records", "the trial has no week of that number");
constexpr const char* kNotFourStages = QUARN_TRANSLATABLE(
    "Records", "a week is recorded as four rows, one for each stage, written together");
constexpr const char* kTrialAhead =
    QUARN_TRANSLATABLE("Records",
                       "the trial is recorded as played, but no week of it or of a later trial "
                       "is: the game would play it and record it under the next number");
constexpr const char* kUnregistered = QUARN_TRANSLATABLE(
    "Records", "the User ID is not registered (datUser has no row of it), yet has records");

// The rows of one participant, by table.
struct ParticipantRows {
  std::vector<RecordKey> weeks;
  std::vector<RecordKey> trials;
};

std::map<std::string, ParticipantRows> byParticipant(const RecordKeys& keys) {
  std::map<std::string, ParticipantRows> participants;
  for (const RecordKey& row : keys.weeks) participants[row.subject].weeks.push_back(row);
  for (const RecordKey& row : keys.trials) participants[row.subject].trials.push_back(row);
  return participants;
}

// Training trials are numbered below 1; the login takes any such row for
// one, whatever its Training column says.
bool isTrainingRow(const RecordKey& row) {
  return row.training || row.trial < 1;
}

bool hasTrial(const std::vector<TrialPlan>& trials, int16_t trial) {
  return trial >= 1 && static_cast<size_t>(trial) <= trials.size();
}

// Adds one contradiction of `rows` (nothing when there are none).
void add(std::vector<RecordContradiction>& found, const std::string& subject, const char* table,
         std::vector<RecordKey> rows, const char* reason) {
  if (rows.empty()) return;
  found.push_back({subject, table, std::move(rows), reason});
}

// Experiment rows of trials the setting does not have, and week rows of
// weeks their trial does not have.
void checkPlaces(std::vector<RecordContradiction>& found, const std::string& subject,
                 const ParticipantRows& rows, const std::vector<TrialPlan>& trials) {
  std::vector<RecordKey> noTrial;
  std::vector<RecordKey> noWeek;
  for (const RecordKey& row : rows.weeks) {
    if (isTrainingRow(row)) continue;
    if (!hasTrial(trials, row.trial)) {
      noTrial.push_back(row);
    } else if (row.week < 1 || row.week > trials[static_cast<size_t>(row.trial - 1)].weeks) {
      noWeek.push_back(row);
    }
  }
  add(found, subject, kWeekTable, std::move(noTrial), kNoSuchTrial);
  add(found, subject, kWeekTable, std::move(noWeek), kNoSuchWeek);
  std::vector<RecordKey> noTrialRecord;
  for (const RecordKey& row : rows.trials) {
    if (!isTrainingRow(row) && !hasTrial(trials, row.trial)) noTrialRecord.push_back(row);
  }
  add(found, subject, kTrialTable, std::move(noTrialRecord), kNoSuchTrial);
}

// Every week stored is four rows, one per stage.
void checkWeeks(std::vector<RecordContradiction>& found, const std::string& subject,
                const ParticipantRows& rows) {
  std::map<std::tuple<bool, int16_t, int16_t>, std::vector<RecordKey>> weeks;
  for (const RecordKey& row : rows.weeks) weeks[{row.training, row.trial, row.week}].push_back(row);
  for (auto& [week, stages] : weeks) {
    std::set<std::string> names;
    for (const RecordKey& row : stages) names.insert(row.role);
    bool everyStage = names.size() == stages.size() && stages.size() == kRoleCount;
    for (int16_t r = 0; r < kRoleCount; ++r) everyStage = everyStage && names.count(roleName(r));
    if (!everyStage) add(found, subject, kWeekTable, std::move(stages), kNotFourStages);
  }
}

// A trial recorded in datTrial after the last trial with weeks: the login
// would start the participant there and its record would collide.
void checkTrialsAhead(std::vector<RecordContradiction>& found, const std::string& subject,
                      const ParticipantRows& rows, const std::vector<TrialPlan>& trials) {
  int16_t lastWithWeeks = 0;
  for (const RecordKey& row : rows.weeks) {
    if (!isTrainingRow(row)) lastWithWeeks = std::max(lastWithWeeks, row.trial);
  }
  std::vector<RecordKey> ahead;
  for (const RecordKey& row : rows.trials) {
    if (!isTrainingRow(row) && hasTrial(trials, row.trial) && row.trial > lastWithWeeks) {
      ahead.push_back(row);
    }
  }
  add(found, subject, kTrialTable, std::move(ahead), kTrialAhead);
}

}  // namespace

std::vector<RecordContradiction> findContradictions(const RecordKeys& keys,
                                                    const std::vector<TrialPlan>& trials) {
  std::vector<RecordContradiction> found;
  for (const auto& [subject, rows] : byParticipant(keys)) {
    checkPlaces(found, subject, rows, trials);
    checkWeeks(found, subject, rows);
    checkTrialsAhead(found, subject, rows, trials);
  }
  return found;
}

std::vector<RecordContradiction> unregisteredRecords(const RecordKeys& keys) {
  std::vector<RecordContradiction> found;
  for (const auto& [subject, rows] : byParticipant(keys)) {
    add(found, subject, kWeekTable, rows.weeks, kUnregistered);
    add(found, subject, kTrialTable, rows.trials, kUnregistered);
  }
  return found;
}

std::string rowName(const std::string& table, const RecordKey& row) {
  std::string name = table + " Trial " + decimal(row.trial) + (row.training ? " (training)" : "");
  if (table == kWeekTable) name += ", Week " + decimal(row.week) + ", " + row.role;
  return name;
}

std::string describeContradiction(const RecordContradiction& contradiction, size_t shown,
                                  const Prompter* prompter) {
  std::string text;
  const std::vector<RecordKey>& rows = contradiction.rows;
  for (size_t i = 0; i < rows.size() && i < shown; ++i) {
    text += (i == 0 ? "" : "; ") + rowName(contradiction.table, rows[i]);
  }
  if (rows.size() > shown)
    text += ", and " + decimal(static_cast<int64_t>(rows.size() - shown)) + " more rows";
  const char* reason = contradiction.reason.c_str();
  return text + ": " + (prompter ? prompter->translate("Records", reason) : reason);
}

}  // namespace quarn
