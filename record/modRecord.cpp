#include "record/modRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "base/Numbers.h"
#include "record/ExperimentLoading.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

// A pipeline slot by index. The index is clamped into the pipeline, so that a
// plan with an order delay of 0 reads its only slot instead of running off
// the array.
int32_t Slot(const std::vector<int32_t>& slots, int index) {
  if (slots.empty()) return 0;
  index = std::clamp(index, 0, static_cast<int>(slots.size()) - 1);
  return slots[static_cast<size_t>(index)];
}

// OrderPressTime - WeekStartTime on the wrapping 32-bit tick counter.
int32_t DecisionTime(const Game& game) {
  return static_cast<int32_t>(game.times.OrderPressTime - game.times.WeekStartTime);
}

// The Trial numbers of the game's records: the running trial's number, and
// where a row goes when its key is taken: the next lower training number
// (for the rest of the training trial), or the row's Trial plus one.
class RecordNumbering final : public TrialNumbering {
 public:
  explicit RecordNumbering(Game& game) : m_game(game) {}
  int16_t trial() const override { return RecordedTrialNo(m_game); }
  int16_t afterCollision(int16_t rowTrial) override {
    TrainingState& training = m_game.training;
    if (training.active) {
      training.recordedTrial = narrow16(int64_t{training.recordedTrial} - 1, "TrainingTrialNo");
      return training.recordedTrial;
    }
    return narrow16(int64_t{rowTrial} + 1, "Trial");
  }

 private:
  Game& m_game;
};

WeekRow RoleRow(const Game& game, int16_t r, int32_t transactionTime, const LocalDateTime& now) {
  const TrialPlan& trial = game.plan.current();
  const RoleState& s = game.chain.roles[static_cast<size_t>(r)];
  WeekRow row;
  row.subject = game.identity.SubjectID;
  row.setting = game.identity.SettingName;
  row.training = game.training.active;
  row.week = narrow16(int64_t{game.chain.currentWeek} - 1, "Week");
  row.role = s.roleName;
  row.participant = r == trial.participantRole;
  if (!trial.predicter.empty()) row.predicterNoise = game.predicter.noise;
  row.order = Slot(s.orderSlots, 1);
  row.deltaInventory = s.deltaInventory;
  row.inventory = s.inventory;
  for (int k = 0; k < trial.delay; ++k) row.delaySlots.push_back(Slot(s.delaySlots, k));
  row.demand = s.demand;
  row.satisfied = s.satisfied;
  row.weeklyCost = s.weeklyCost;
  row.totalCost = s.totalCost;
  row.transactionTime = transactionTime;
  row.date = formatDate(now);
  row.timeOfDay = formatTimeOfDay(now);
  return row;
}

// "Trial 3, week 12 of P1": the week just played.
std::string WeekName(const Game& game) {
  return std::string(game.training.active ? "Training trial " : "Trial ") +
         decimal(RecordedTrialNo(game)) + ", week " + decimal(game.chain.currentWeek - 1) + " of " +
         game.identity.SubjectID;
}

// The participant identifier as a file name: path separators and control
// characters become "_", so that an identifier can neither leave the data
// folder nor cut the name short.
std::string FileNameOf(const std::string& subjectId) {
  std::string name = subjectId;
  for (char& c : name) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  return name;
}

// Appends `text` to the file at `path`, creating its folder when missing.
// Returns the system's reason when that fails, else an empty text. A failed
// write is cut back off the file, so that a retry cannot leave half a line
// behind.
std::string AppendToFile(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec)
    return "The folder " + path.parent_path().string() + " cannot be created: " + ec.message();

  const uintmax_t before = fs::exists(path, ec) ? fs::file_size(path, ec) : 0;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) return std::strerror(errno);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return {};
  const int error = written ? errno : writeError;
  if (!ec) fs::resize_file(path, before, ec);
  return std::strerror(error);
}

// Adds the finished experiment trial's cost to CostSum. No trial played yet
// (CurrentTrial -1) adds nothing.
void AddTrialCost(Game& game) {
  const Plan& plan = game.plan;
  if (!plan.hasTrial(plan.currentTrial)) return;
  const double total = game.CostSum + plan.current().totalCost;
  game.CostSum = toInt32(total, "CostSum");
}

}  // namespace

int16_t RecordedTrialNo(const Game& game) {
  if (game.training.active) return game.training.recordedTrial;
  return narrow16(int64_t{game.plan.currentTrial} + 1, "Trial");
}

void WriteRoleRecords(Game& game) {
  if (!game.plan.current().recordToDatabase) return;
  const int32_t transactionTime = DecisionTime(game);
  // One reading for the date and the time of day, so that a row written at
  // midnight cannot carry one day's date with the next day's time.
  const LocalDateTime now = game.clock->now();
  std::array<WeekRow, kRoleCount> rows;
  for (int16_t r = 0; r < kRoleCount; ++r) rows[r] = RoleRow(game, r, transactionTime, now);
  RecordNumbering numbering(game);
  game.services.db.writeWeek(rows, WeekName(game), numbering);
}

void WriteTrialRecord(Game& game) {
  const Plan& plan = game.plan;
  // Before the first trial there is nothing to record.
  if (plan.totalTrialCount() == 0 || plan.currentTrial < 0) return;
  const TrialPlan& trial =
      plan.trialAt(std::min<int>(plan.currentTrial, plan.totalTrialCount() - 1));
  if (!trial.recordToDatabase) return;
  const TrialKey key{game.identity.SubjectID, game.identity.SettingName, RecordedTrialNo(game)};
  if (game.LastRecordedTrial == key) return;

  TrialRow row;
  row.subject = key.Subject;
  row.setting = key.Setting;
  row.training = game.training.active;
  row.weeks = trial.weeks;
  row.delay = trial.delay;
  row.predicter = trial.predicter;
  row.inventoryCostRate = trial.inventoryCostRate;
  row.backorderCostRate = trial.backorderCostRate;
  row.transitCostRate = trial.transitCostRate;
  row.endCost = hasParticipant(trial.participantRole)
                    ? game.chain.roles[static_cast<size_t>(trial.participantRole)].totalCost
                    : trial.totalCost;
  for (int r = 0; r < kRoleCount; ++r) {
    row.players[static_cast<size_t>(r)] = game.chain.roles[static_cast<size_t>(r)].playerName;
  }
  const LocalDateTime now = game.clock->now();
  row.date = formatDate(now);
  row.time = formatTimeOfDay(now);
  RecordNumbering numbering(game);
  game.services.db.writeTrial(
      row, "The record of trial " + decimal(key.Trial) + " of " + key.Subject, numbering);
  game.LastRecordedTrial = key;
}

namespace {

// Appends ",field" to a line of the text export.
void AddField(std::string& line, const std::string& field) {
  line += ',';
  line += field;
}

void AddField(std::string& line, int64_t value) {
  AddField(line, decimal(value));
}

}  // namespace

std::string StageBlock(const Game& game, int16_t role) {
  const TrialPlan& trial = game.plan.current();
  const RoleState& s = game.chain.roles[static_cast<size_t>(role)];
  std::string block = s.roleName;
  AddField(block, s.playerName);
  AddField(block, s.demand);
  AddField(block, Slot(s.orderSlots, trial.orderDelay - 1));
  AddField(block, s.satisfied);
  AddField(block, s.deltaInventory);
  AddField(block, s.inventory);
  for (int k = 0; k < trial.delay; ++k) AddField(block, Slot(s.delaySlots, k));
  AddField(block, s.weeklyCost);
  AddField(block, s.totalCost);
  return block;
}

std::string WeekLine(const Game& game) {
  const TrialPlan& trial = game.plan.current();
  std::string line = game.identity.SubjectID;
  AddField(line, game.identity.SettingName);
  AddField(line, RecordedTrialNo(game));
  AddField(line, game.chain.currentWeek - 1);
  AddField(line, trial.weeks);
  AddField(line, trial.delay);
  AddField(line, DecisionTime(game));
  AddField(line, trial.predicter.empty() ? std::string("NULL") : trial.predicter);
  AddField(line, game.predicter.noise);
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (r != trial.participantRole) AddField(line, StageBlock(game, r));
  }
  if (trial.participantRole >= 0 && trial.participantRole < kRoleCount) {
    AddField(line, StageBlock(game, trial.participantRole));
  }
  return line;
}

std::string WeekLinePath(Game& game) {
  return (fs::path(game.services.prompter.applicationFolder()) / "data" /
          (FileNameOf(game.identity.SubjectID) + ".txt"))
      .string();
}

void WriteWeekLine(Game& game) {
  const std::string line = WeekLine(game) + "\r\n";
  const std::string path = WeekLinePath(game);
  Prompter& toolkit = game.services.prompter;
  for (;;) {
    const std::string reason = AppendToFile(path, line);
    if (reason.empty()) return;
    const Answer answer = toolkit.ask(
        "The week's results could not be written to the text file " + path + "\r\n" + reason +
            "\r\n" + "Retry writes them again, Ignore goes on without them, Abort ends the game.",
        PromptStyle::AbortRetryIgnore, kTextOutputTitle);
    if (answer == Answer::Abort) {
      toolkit.ask(
          WeekName(game) + " was not written to the text file " + path + ".  The application ends.",
          PromptStyle::OkWarning, kTextOutputTitle);
      toolkit.endApplication(1);
    }
    if (answer == Answer::Ignore) return;
  }
}

namespace {

// Refreshes the participant's mark; ends the session when another
// workstation holds the participant now, before this week is recorded
// anywhere (two sessions of one participant would file their weeks under
// each other's trials).
void KeepMark(Game& game) {
  if (!game.Mark) return;
  const std::optional<PlayingMark> other =
      game.services.db.refreshParticipant(*game.Mark, game.clock->seconds());
  if (!other) return;
  game.Mark.reset();
  const std::string where = other->at.host.empty()
                                ? "is no longer marked as playing on this workstation"
                                : "has been taken over by workstation " +
                                      describeWorkstation(other->at) + " at " +
                                      localTimeText(other->since);
  Prompter& toolkit = game.services.prompter;
  toolkit.ask(game.identity.SubjectID + " " + where + ".\r\nThis session ends here; trial " +
                  decimal(RecordedTrialNo(game)) + ", week " + decimal(game.chain.currentWeek - 1) +
                  " was not recorded.",
              PromptStyle::OkWarning);
  toolkit.endApplication(1);
}

}  // namespace

void WeekClosed(Game& game) {
  KeepMark(game);
  WriteWeekLine(game);
  WriteRoleRecords(game);
}

void ReleaseMark(Game& game) {
  if (!game.Mark) return;
  game.services.db.releaseParticipant(*game.Mark);
  game.Mark.reset();
}

ChainContext MakeChainContext(Game& game) {
  return ChainContext{game.plan.current(), game.plan.players,    game.chain,
                      game.services.ticks, game.services.random, [&game] { WeekClosed(game); }};
}

void NextTrial(Game& game, TrialWindow& window) {
  Plan& plan = game.plan;
  TrainingState& training = game.training;

  if (training.active) {
    // A failed training trial (TrainingPassed cleared) is played again.
    if (training.passed) plan.currentTrial = narrow16(plan.currentTrial + 1, "CurrentTrial");
    training.passed = true;
    if (plan.currentTrial == plan.totalTrialCount()) {
      TrainingHooks hooks;
      hooks.SetPlayerCaption = [&window](const std::string& c) { window.SetPlayerCaption(c); };
      hooks.ApplyDisplayConfiguration = [&window](const std::string& name) {
        window.ApplyDisplayConfiguration(name);
      };
      hooks.NextTrial = [&game, &window] { NextTrial(game, window); };
      endTraining(game.services.prompter, plan, training, hooks);
      return;
    }
    training.recordedTrial = narrow16(training.recordedTrial - 1, "TrainingTrialNo");
    window.StartTrial();
    return;
  }

  AddTrialCost(game);
  if (plan.currentTrial < plan.trialCount() - 1) {
    plan.currentTrial = narrow16(plan.currentTrial + 1, "CurrentTrial");
    window.StartTrial();
    return;
  }

  const std::string count = decimal(plan.trialCount());
  game.services.prompter.ask("Total cost sum over all " + count + " completed trial(s) is " +
                                 decimal(game.CostSum) + "\r\n" + "Alert your moderator.",
                             PromptStyle::Ok, "All " + count + " Trial(s) Completed");
  window.SetOrderCaption("Game Over");
  window.ShowClosingScreen();
}

}  // namespace quarn
