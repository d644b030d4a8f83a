#include "analysis/RecordedResults.h"

#include <algorithm>
#include <map>

namespace quarn {

namespace {

RecordedStage stageOf(const WeekRow& row) {
  RecordedStage stage;
  stage.order = row.order;
  stage.deltaInventory = row.deltaInventory;
  stage.inventory = row.inventory;
  stage.delaySlots = row.delaySlots;
  stage.demand = row.demand;
  stage.satisfied = row.satisfied;
  stage.weeklyCost = row.weeklyCost;
  stage.totalCost = row.totalCost;
  return stage;
}

// The rows of one week as they come, before they are known to be complete.
struct WeekRows {
  RecordedWeek week;
  std::array<bool, kRoleCount> present{};
};

// What the weekly rows of one trial tell.
struct TrialWeeks {
  std::map<int16_t, WeekRows> weeks;
  int16_t participantRole = kNoParticipant;
  int16_t delay = 0;  // the most delay slots of any row
};

void addWeeks(RecordedTrial& trial, const std::map<int16_t, WeekRows>& weeks) {
  for (const auto& [number, rows] : weeks) {
    if (std::all_of(rows.present.begin(), rows.present.end(), [](bool p) { return p; })) {
      trial.weeks.push_back(rows.week);
    } else {
      ++trial.skippedWeeks;
    }
  }
}

RecordedTrial trialOf(const TrialRow& row) {
  RecordedTrial trial;
  trial.subject = row.subject;
  trial.setting = row.setting;
  trial.trial = row.trial;
  trial.plannedWeeks = row.weeks;
  trial.delay = row.delay;
  trial.players = row.players;
  return trial;
}

}  // namespace

std::vector<RecordedTrial> recordedTrials(const RecordedRows& rows) {
  std::map<int16_t, TrialWeeks> byTrial;
  for (const WeekRow& row : rows.weeks) {
    const int16_t role = roleIndexOfName(row.role);
    if (role < 0) continue;
    TrialWeeks& trial = byTrial[row.trial];
    WeekRows& week = trial.weeks[row.week];
    week.week.week = row.week;
    week.present[static_cast<size_t>(role)] = true;
    week.week.stages[static_cast<size_t>(role)] = stageOf(row);
    trial.delay = std::max(trial.delay, static_cast<int16_t>(row.delaySlots.size()));
    if (row.participant) trial.participantRole = role;
  }

  std::vector<RecordedTrial> trials;
  for (const auto& [number, weeks] : byTrial) {
    const auto known = std::find_if(rows.trials.begin(), rows.trials.end(),
                                    [&](const TrialRow& row) { return row.trial == number; });
    RecordedTrial trial;
    if (known != rows.trials.end()) {
      trial = trialOf(*known);
    } else {
      trial.trial = number;
      if (!rows.weeks.empty()) {
        trial.subject = rows.weeks.front().subject;
        trial.setting = rows.weeks.front().setting;
      }
    }
    addWeeks(trial, weeks.weeks);
    if (trial.delay == 0) trial.delay = weeks.delay;
    if (trial.plannedWeeks == 0 && !trial.weeks.empty()) {
      trial.plannedWeeks = trial.weeks.back().week;
    }
    trial.participantRole = weeks.participantRole;
    trials.push_back(std::move(trial));
  }
  return trials;
}

std::vector<RecordedTrial> recordedTrials(DatabaseAccess& db, const std::string& setting,
                                          const std::string& subject) {
  std::vector<RecordedTrial> trials;
  for (const RecordedSession& session : db.recordedSessions(setting, subject)) {
    for (RecordedTrial& trial : recordedTrials(db.recordedRows(session))) {
      trials.push_back(std::move(trial));
    }
  }
  return trials;
}

}  // namespace quarn
