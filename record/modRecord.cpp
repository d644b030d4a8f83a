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
#include "session/PlayingMark.h"

namespace quarn {

namespace {

namespace fs = std::filesystem;

constexpr int64_t kTrue = 1;
constexpr int64_t kParticipantUser = 6;
// Raised out of a row writer when the moderator chose Ignore: the writer
// leaves at once and the record set is dropped without Close, which stores
// none of the rows written under this open.
struct WriteIgnored {};
// Raised when the open must be written again from its first row.
struct WriteRestart {};

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

// Asks at once what to do when an open's rows were lost: a silent retry of
// the step cannot bring them back, so Retry writes the whole open anew.
Answer AskAfterLostWrite(Prompter& toolkit, const QuarnError& failure) {
  const Answer answer = toolkit.ask(std::to_string(failure.number()) + ": " + failure.description(),
                                    PromptStyle::AbortRetryIgnore, kDatabaseOutputTitle);
  if (answer == Answer::Retry) throw WriteRestart{};
  return answer;
}

// Runs one step of an output write. A failure goes to DbWriteRetry: Retry
// runs the step again, Ignore leaves the writer, Abort ends the application.
template <class Step>
void Attempt(Game& game, Recordset& rs, Step&& step) {
  Prompter& toolkit = game.services.prompter;
  for (;;) {
    try {
      step();
      return;
    } catch (const QuarnError& failure) {
      Answer answer;
      if (failure.number() == kErrWriteLost) {
        answer = AskAfterLostWrite(toolkit, failure);
      } else {
        try {
          answer = DbWriteRetry(game.services.db, kDatabaseOutputTitle, rs, failure,
                                game.training.active, game.training.recordedTrial);
        } catch (const QuarnError&) {
          // The record set takes no more writes (moving the row's Trial failed).
          answer = AskAfterLostWrite(toolkit, failure);
        }
      }
      if (answer == Answer::Abort) DbQuitUnstored(game.services.db);
      if (answer == Answer::Ignore) throw WriteIgnored{};
    }
  }
}

void Set(Game& game, Recordset& rs, const std::string& column, FieldValue value) {
  Attempt(game, rs, [&] { rs.Set(column, value); });
}

// Subject, Setting, Trial and, in training, Training: the head of every
// output row.
void SetRowKey(Game& game, Recordset& rs) {
  Set(game, rs, "Subject", game.identity.SubjectID);
  Set(game, rs, "Setting", game.identity.SettingName);
  Set(game, rs, "Trial", int64_t{RecordedTrialNo(game)});
  if (game.training.active) Set(game, rs, "Training", kTrue);
}

void WriteRoleRow(Game& game, Recordset& rs, int16_t r, int32_t transactionTime) {
  const TrialPlan& trial = game.plan.current();
  const RoleState& s = game.chain.roles[static_cast<size_t>(r)];

  Attempt(game, rs, [&] { rs.AddNew(); });
  SetRowKey(game, rs);
  Set(game, rs, "Week", int64_t{game.chain.currentWeek - 1});
  Set(game, rs, "Role", s.roleName);
  if (r == trial.participantRole) Set(game, rs, "User", kParticipantUser);
  if (!trial.predicter.empty()) Set(game, rs, "PNoise", int64_t{game.predicter.PredictNoise});
  Set(game, rs, "Order", int64_t{Slot(s.orderSlots, 1)});
  Set(game, rs, "DeltaInventory", int64_t{s.deltaInventory});
  Set(game, rs, "Inventory", int64_t{s.inventory});
  for (int k = 1; k <= trial.delay; ++k) {
    Set(game, rs, "Delay" + std::to_string(k), int64_t{Slot(s.delaySlots, k - 1)});
  }
  Set(game, rs, "Demand", int64_t{s.demand});
  Set(game, rs, "Satisfied", int64_t{s.satisfied});
  Set(game, rs, "WeeklyCost", int64_t{s.weeklyCost});
  Set(game, rs, "TotalCost", int64_t{s.totalCost});
  Set(game, rs, "TransactionTime", int64_t{transactionTime});
  // One reading for both, so that a row written at midnight cannot carry one
  // day's date with the next day's time.
  const LocalDateTime now = game.clock->now();
  Set(game, rs, "Date", formatDate(now));
  Set(game, rs, "TimeOfDay", formatTimeOfDay(now));
  Attempt(game, rs, [&] { rs.Update(); });
}

// "Trial 3, week 12 of P1": the week just played.
std::string WeekName(const Game& game) {
  return std::string(game.training.active ? "Training trial " : "Trial ") +
         decimal(RecordedTrialNo(game)) + ", week " + decimal(game.chain.currentWeek - 1) + " of " +
         game.identity.SubjectID;
}

// Names the write under way for as long as it lasts.
class WriteInProgress {
 public:
  WriteInProgress(Database& db, std::string what) : db_(db) {
    db_.WriteInProgress = std::move(what);
  }
  ~WriteInProgress() { db_.WriteInProgress.clear(); }
  WriteInProgress(const WriteInProgress&) = delete;
  WriteInProgress& operator=(const WriteInProgress&) = delete;

 private:
  Database& db_;
};

// Opens `table` for writing, runs `writeRows` and commits; `what` names the
// rows for a message should the moderator give up on them. On Ignore nothing
// written under this open is stored.
template <class WriteRows>
void WriteOutput(Game& game, const std::string& table, const std::string& what,
                 WriteRows&& writeRows) {
  Database& db = game.services.db;
  const WriteInProgress writing(db, what);
  for (;;) {
    std::unique_ptr<Recordset> rs = DbOpenRecordset(db, table, false);
    try {
      writeRows(*rs);
      Attempt(game, *rs, [&] { rs->Close(); });
    } catch (const WriteIgnored&) {
      return;  // dropped without Close: the open's rows are rolled back
    } catch (const WriteRestart&) {
      continue;
    }
    DbClose(db, rs);
    return;
  }
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
  WriteOutput(game, "datRole", WeekName(game), [&](Recordset& rs) {
    for (int16_t r = 0; r < kRoleCount; ++r) WriteRoleRow(game, rs, r, transactionTime);
  });
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

  WriteOutput(game, "datTrial", "The record of trial " + decimal(key.Trial) + " of " + key.Subject,
              [&](Recordset& rs) {
                Attempt(game, rs, [&] { rs.AddNew(); });
                SetRowKey(game, rs);
                Set(game, rs, "Weeks", int64_t{trial.weeks});
                Set(game, rs, "Delay", int64_t{trial.delay});
                Set(game, rs, "Predicter", trial.predicter);
                Set(game, rs, "InventoryCost", trial.inventoryCostRate);
                Set(game, rs, "BackCost", trial.backorderCostRate);
                Set(game, rs, "TransitCost", trial.transitCostRate);
                if (trial.participantRole >= 0 && trial.participantRole < kRoleCount) {
                  const RoleState& s = game.chain.roles[static_cast<size_t>(trial.participantRole)];
                  Set(game, rs, "EndCost", int64_t{s.totalCost});
                } else {
                  Set(game, rs, "EndCost", trial.totalCost);
                }
                for (int r = 0; r < kRoleCount; ++r) {
                  Set(game, rs, roleColumn(r), game.chain.roles[static_cast<size_t>(r)].playerName);
                }
                const LocalDateTime now = game.clock->now();
                Set(game, rs, "Date", formatDate(now));
                Set(game, rs, "Time", formatTimeOfDay(now));
                Attempt(game, rs, [&] { rs.Update(); });
              });
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
  AddField(line, game.predicter.PredictNoise);
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
      RefreshParticipant(game.services.db, *game.Mark, game.clock->seconds());
  if (!other) return;
  game.Mark.reset();
  const std::string where = other->At.Host.empty()
                                ? "is no longer marked as playing on this workstation"
                                : "has been taken over by workstation " +
                                      DescribeWorkstation(other->At) + " at " +
                                      LocalTimeText(other->Since);
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
  ReleaseParticipant(game.services.db, *game.Mark);
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
      EndTraining(game.services.prompter, plan, training, hooks);
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
