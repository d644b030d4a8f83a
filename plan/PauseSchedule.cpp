#include "plan/PauseSchedule.h"

#include "base/Numbers.h"

namespace quarn {

namespace {

const Pause* nextPause(const PauseSchedule& schedule) {
  if (schedule.nextPause < 0 || static_cast<size_t>(schedule.nextPause) >= schedule.pauses.size()) {
    return nullptr;
  }
  return &schedule.pauses[static_cast<size_t>(schedule.nextPause)];
}

}  // namespace

void loadPauses(PlanTables& tables, const std::string& setting, PauseSchedule& schedule) {
  const Rows rows = tables.pauseRows(setting);
  if (rows.empty()) return;
  narrow16(static_cast<int64_t>(rows.size()), "Pauses");  // nextPause counts them in 16 bits
  std::vector<Pause> pauses;
  pauses.reserve(rows.size());
  for (const Row& row : rows) {
    pauses.push_back({row.cell("Trial").toInt16(), row.cell("Password").toText()});
  }
  schedule.pauses = std::move(pauses);
}

void resumePauses(PauseSchedule& schedule, int16_t trialsBefore) {
  int16_t next = 0;
  for (const Pause& pause : schedule.pauses) {
    if (pause.afterTrial >= trialsBefore) break;
    ++next;
  }
  schedule.nextPause = next;
}

bool pauseDue(const PauseSchedule& schedule, int16_t currentTrial) {
  const Pause* pause = nextPause(schedule);
  return pause && int32_t{currentTrial} + 1 == pause->afterTrial;
}

void passPause(PauseSchedule& schedule) {
  if (nextPause(schedule)) ++schedule.nextPause;
}

bool checkPausePassword(PauseSchedule& schedule, const std::string& text) {
  const Pause* pause = nextPause(schedule);
  if (!pause || text != pause->password) return false;
  ++schedule.nextPause;
  return true;
}

}  // namespace quarn
