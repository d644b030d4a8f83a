#include "plan/modTrain.h"

#include <limits>

#include "base/Numbers.h"
#include "base/Text.h"
#include "plan/PlanCheck.h"
#include "plan/PlanRows.h"

namespace quarn {

TrainingRow ReadTrainingRow(Database& db, const Plan& players, const std::string& setting,
                            int16_t firstIndex, const std::string& inputFolder) {
  TrainingRow row;
  const std::string query =
      "SELECT * FROM [tblTraining] WHERE [tblTraining.Setting]='" + SqlQuote(setting) + "';";
  std::unique_ptr<Recordset> rs = DbOpenRecordset(db, query, true);
  if (rs->Eof()) {
    DbClose(db, rs);
    return row;
  }
  row.found = true;
  row.rowCount = rs->RecordCount();
  const std::string place = TrainingPlace(setting);
  RowReader reader(*rs, "tblTraining", place, firstIndex, row.faults);
  const auto warn = [&](const std::string& field, const std::string& value,
                        const std::string& complaint) {
    SettingFault w = reader.Refusal(field, value, complaint);
    w.warning = true;
    reader.Add(std::move(w));
  };
  if (row.rowCount > 1) {
    warn("Setting", printable(setting),
         decimal(row.rowCount) + " tblTraining rows for this setting: only the first is used");
  }

  const std::optional<int16_t> runs = reader.Int16("Runs");
  if (runs) {
    row.Runs = *runs;
    if (*runs < 1) {
      reader.Add(reader.Refusal("Runs", decimal(*runs), "Runs " + decimal(*runs) + " is below 1"));
    } else if (int64_t{firstIndex} + *runs > std::numeric_limits<int16_t>::max()) {
      reader.Add(
          reader.Refusal("Runs", decimal(*runs),
                         "Runs " + decimal(*runs) + " makes the plan longer than 32767 trials"));
    }
  }
  const std::optional<int32_t> costLimit = reader.Int32("CostLimit");
  const std::optional<int32_t> inventoryBound = reader.Int32("InventoryBounds");
  row.CostLimit = costLimit.value_or(0);
  row.InventoryBound = inventoryBound.value_or(0);
  const std::optional<std::string> password = reader.Text("Password");
  row.Password = password.value_or(std::string());
  if (costLimit && inventoryBound && (row.CostLimit == 0) != (row.InventoryBound == 0)) {
    const bool cost = row.CostLimit != 0;
    warn(cost ? "CostLimit" : "InventoryBounds", decimal(cost ? row.CostLimit : row.InventoryBound),
         std::string("only ") + (cost ? "CostLimit" : "InventoryBounds") +
             " is set: training limits are checked only when both are, so none is");
  }

  const size_t faultsBefore = reader.FaultCount();
  if (ReadTrialColumns(reader, players, row.trial, true)) {
    if (reader.FaultCount() == faultsBefore && row.trial.participantRole == kNoParticipant) {
      reader.Add(reader.Refusal("Subject", "", "no role column of the training row names Subject"));
    }
    TrialPlan built = row.trial;
    TrialBounds bounds;
    for (SettingFault& f : CheckLoadedTrial(built, players.players, "tblTraining", place,
                                            firstIndex, inputFolder, bounds)) {
      reader.Add(std::move(f));
    }
    if (!built.weeklyDemand.empty()) {
      if (const std::optional<BoundFault> f =
              TrainingWeekOneFault(built, row.CostLimit, row.InventoryBound)) {
        reader.Add(reader.Refusal(f->field, f->value, f->complaint));
      }
      WarnAboutTrial(built, "tblTraining", place, firstIndex, row.faults);
      PlanReferences references(db);
      references.CheckTrial(built, "tblTraining", place, firstIndex, row.faults);
    }
  }
  if (password && password->empty()) {
    warn("Password", "", "Password is empty: anyone can skip the training with e and Enter");
  }
  DbClose(db, rs);
  return row;
}

namespace {

// The Trial number the first training trial is recorded under: one below
// the participant's lowest recorded number in this setting, -1 for none.
int16_t FirstTrainingTrialNo(Database& db, const Identity& identity) {
  const std::string query = "SELECT Trial FROM [datRole] WHERE [datRole.Subject]='" +
                            SqlQuote(identity.SubjectID) + "' AND [datRole.Setting]='" +
                            SqlQuote(identity.SettingName) + "' ORDER BY [datRole.Trial]";
  std::unique_ptr<Recordset> rs = DbOpenRecordset(db, query, true);
  int16_t number = -1;
  if (!rs->Eof()) number = narrow16(int64_t{rs->Get("Trial").AsInt16()} - 1, "TrainingTrialNo");
  DbClose(db, rs);
  return number;
}

}  // namespace

void LoadTraining(Database& db, Prompter& toolkit, const Identity& identity, Plan& plan,
                  TrainingState& training, const std::string& inputFolder,
                  const TrainingHooks& hooks) {
  TrainingRow row = ReadTrainingRow(db, plan, identity.SettingName, plan.trialCount(), inputFolder);
  if (const SettingFault* fault = FirstFault(row.faults)) RefusePlan(toolkit, *fault);

  if (!row.found) {
    training.active = false;
  } else {
    training.active = true;
    training.costLimit = row.CostLimit;
    training.inventoryBound = row.InventoryBound;
    training.password = row.Password;
    plan.trainingTrials.assign(static_cast<size_t>(row.Runs), row.trial);

    // The recorded number is read before anything is shown, so that the
    // database is not held open while the message waits.
    const int16_t trialNo = FirstTrainingTrialNo(db, identity);
    training.resumeTrial = narrow16(int64_t{plan.currentTrial} - 1, "ResumeTrial");
    plan.currentTrial = plan.trialCount();
    training.passed = true;
    training.recordedTrial = trialNo;
    if (hooks.SetPlayerCaption) hooks.SetPlayerCaption("Training");
    toolkit.ask("First, we will have some training trials...", PromptStyle::Ok);
  }

  // A participant who has played every trial has CurrentTrial behind the
  // plan; the trial start refuses that with its own message, so there is no
  // configuration to apply here.
  if (hooks.ApplyDisplayConfiguration && plan.hasTrial(plan.currentTrial)) {
    hooks.ApplyDisplayConfiguration(plan.current().displayOption);
  }
}

void EndTraining(Prompter& toolkit, Plan& plan, TrainingState& training,
                 const TrainingHooks& hooks) {
  if (hooks.SetPlayerCaption) hooks.SetPlayerCaption("");
  toolkit.ask("The experiment will now begin", PromptStyle::Ok, "Training Complete");
  training.active = false;
  plan.currentTrial = training.resumeTrial;
  if (hooks.NextTrial) hooks.NextTrial();
}

}  // namespace quarn
