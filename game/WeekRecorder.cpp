#include "game/WeekRecorder.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "base/Numbers.h"
#include "game/TeamPlay.h"
#include "game/TextExport.h"
#include "game/WorkstationMark.h"

namespace quarn {

namespace {

// The Trial numbers of the game's records, and where a row goes when its
// key is taken: the next lower training number (for the rest of the training
// trial), or the row's Trial plus one.
class RecordNumbering final : public TrialNumbering {
 public:
  RecordNumbering(const WeekRecorder& recorder, TrainingState& training)
      : m_recorder(recorder), m_training(training) {}
  int16_t trial() const override { return m_recorder.recordedTrial(); }
  int16_t afterCollision(int16_t rowTrial) override {
    if (m_training.active) {
      m_training.recordedTrial = narrow16(int64_t{m_training.recordedTrial} - 1, "TrainingTrialNo");
      return m_training.recordedTrial;
    }
    return narrow16(int64_t{rowTrial} + 1, "Trial");
  }

 private:
  const WeekRecorder& m_recorder;
  TrainingState& m_training;
};

WeekRow roleRow(const GameState& state, int16_t r, const LocalDateTime& now) {
  const TrialPlan& trial = state.plan.current();
  const RoleState& s = state.chain.roles[static_cast<size_t>(r)];
  WeekRow row;
  row.subject = state.identity.subject;
  row.setting = state.identity.setting;
  row.training = state.training.active;
  row.week = narrow16(int64_t{state.chain.currentWeek} - 1, "Week");
  row.role = s.roleName;
  const TeamSession& team = state.team;
  const bool replaced = team.active() && stageReplaced(state, r, row.week);
  row.participant = r == trial.participantRole && !replaced;
  row.teamMember = team.active() && r != trial.participantRole &&
                   trial.stageMembers[static_cast<size_t>(r)] != 0 && !replaced;
  // In a team trial the stored order tells: another member's workstation
  // may have made this member's order by the clock.
  row.clockOrdered =
      row.participant &&
      (playsTeamTrial(state) ? team.clockOrders[static_cast<size_t>(r)] : state.times.byClock);
  if (!trial.predicter.empty()) row.predicterNoise = state.predicter.noise;
  row.stage.order = slotAt(s.orderSlots, 1);
  row.stage.deltaInventory = s.deltaInventory;
  row.stage.inventory = s.inventory;
  for (int k = 0; k < trial.delay; ++k) row.stage.delaySlots.push_back(slotAt(s.delaySlots, k));
  row.stage.demand = s.demand;
  row.stage.satisfied = s.satisfied;
  row.stage.weeklyCost = s.weeklyCost;
  row.stage.totalCost = s.totalCost;
  // Another member's stage carries that member's decision time.
  row.stage.decisionTime =
      row.teamMember ? team.decisionTimes[static_cast<size_t>(r)] : state.times.elapsed();
  row.date = formatDate(now);
  row.timeOfDay = formatTimeOfDay(now);
  return row;
}

}  // namespace

int16_t WeekRecorder::recordedTrial() const {
  if (m_state.training.active) return m_state.training.recordedTrial;
  return narrow16(int64_t{m_state.plan.currentTrial} + 1, "Trial");
}

std::string WeekRecorder::weekName() const {
  return std::string(m_state.training.active ? "Training trial " : "Trial ") +
         decimal(recordedTrial()) + ", week " + decimal(m_state.chain.currentWeek - 1) + " of " +
         m_state.identity.subject;
}

void WeekRecorder::weekClosed() {
  // A team member's workstation that starts again replays the weeks it has
  // recorded already.
  if (playsTeamTrial(m_state) && m_state.chain.currentWeek - 1 <= m_state.team.recordedWeeks) {
    return;
  }
  keepWorkstation(m_services, m_state, PlayState::Watching, recordedTrial(),
                  "trial " + decimal(recordedTrial()) + ", week " +
                      decimal(m_state.chain.currentWeek - 1) + " was not recorded");
  writeWeekLine();
  writeWeekRows();
}

void WeekRecorder::writeWeekLine() {
  const std::string line = weekLine(m_state, recordedTrial()) + "\r\n";
  const std::string path = textFilePath(m_services.appFolder, m_state.identity.subject);
  Prompter& prompter = m_services.prompter;
  if (path != m_textFile) {
    m_textFile = path;
    m_lineFound = lastLineOf(path);
  }
  // Without rows of its weeks, a trial cannot tell a week played again from
  // an earlier play of it: both lines stay.
  std::optional<FileLine> noLine;
  std::optional<FileLine>& replaced =
      m_state.plan.current().recordToDatabase ? m_lineFound : noLine;
  for (;;) {
    const std::string reason = appendWeekLine(path, line, replaced);
    if (reason.empty()) return;
    const Answer answer = prompter.ask(
        "The week's results could not be written to the text file " + path + "\r\n" + reason +
            "\r\n" + "Retry writes them again, Ignore goes on without them, Abort ends the game.",
        PromptStyle::AbortRetryIgnore, kTextOutputTitle, PromptKind::TextWriteFailed);
    if (answer == Answer::Abort) {
      prompter.ask(
          weekName() + " was not written to the text file " + path + ".  The application ends.",
          PromptStyle::OkWarning, kTextOutputTitle, PromptKind::TextNotWritten);
      prompter.endApplication(1);
    }
    if (answer == Answer::Ignore) return;
  }
}

void WeekRecorder::writeWeekRows() {
  if (!m_state.plan.current().recordToDatabase) return;
  // One reading for the date and the time of day, so that a row written at
  // midnight cannot carry one day's date with the next day's time.
  const LocalDateTime now = m_services.clock.now();
  std::array<WeekRow, kRoleCount> rows;
  for (int16_t r = 0; r < kRoleCount; ++r) rows[r] = roleRow(m_state, r, now);
  RecordNumbering numbering(*this, m_state.training);
  m_services.db.writeWeek(rows, weekName(), numbering);
}

void WeekRecorder::writeTrialRecord() {
  const Plan& plan = m_state.plan;
  if (plan.totalTrialCount() == 0 || plan.currentTrial < 0) return;
  const TrialPlan& trial =
      plan.trialAt(std::min<int>(plan.currentTrial, plan.totalTrialCount() - 1));
  if (!trial.recordToDatabase) return;
  const TrialKey key{m_state.identity.subject, m_state.identity.setting, recordedTrial()};
  if (m_state.lastRecordedTrial == key) return;

  const Chain& chain = m_state.chain;
  TrialRow row;
  row.subject = key.subject;
  row.setting = key.setting;
  row.training = m_state.training.active;
  row.weeks = trial.weeks;
  row.delay = trial.delay;
  row.predicter = trial.predicter;
  row.inventoryCostRate = trial.inventoryCostRate;
  row.backorderCostRate = trial.backorderCostRate;
  row.transitCostRate = trial.transitCostRate;
  // The participant's own cost; the whole chain's when the trial plays itself.
  row.endCost = hasParticipant(trial.participantRole)
                    ? chain.roles[static_cast<size_t>(trial.participantRole)].totalCost
                    : trial.totalCost;
  for (size_t r = 0; r < kRoleCount; ++r) row.players[r] = chain.roles[r].playerName;
  const LocalDateTime now = m_services.clock.now();
  row.date = formatDate(now);
  row.time = formatTimeOfDay(now);
  RecordNumbering numbering(*this, m_state.training);
  m_services.db.writeTrial(row, "The record of trial " + decimal(key.trial) + " of " + key.subject,
                           numbering);
  m_state.lastRecordedTrial = key;
}

int32_t WeekRecorder::recordedCostSum(int16_t trials) const {
  if (trials < 1) return 0;
  const Identity& identity = m_state.identity;
  const RecordedRows recorded = m_services.db.recordedRows({identity.subject, identity.setting});
  // The rows come by trial and week: each trial's last week is summed.
  std::map<int16_t, std::pair<int16_t, int64_t>> lastWeeks;  // trial: its last week, its cost
  for (const WeekRow& row : recorded.weeks) {
    if (row.trial < 1 || row.trial > trials) continue;
    auto& [week, cost] = lastWeeks.try_emplace(row.trial, row.week, 0).first->second;
    if (row.week > week) {
      week = row.week;
      cost = 0;
    }
    if (row.week == week) cost += row.stage.totalCost;
  }
  int64_t sum = 0;
  for (const auto& [trial, last] : lastWeeks) sum += last.second;
  return toInt32(static_cast<double>(sum), "CostSum");
}

}  // namespace quarn
