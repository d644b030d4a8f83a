#include "plan/modTrain.h"

#include <limits>

#include "plan/PlanCheck.h"
#include "plan/PlanRows.h"
#include "sim/Numbers.h"

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
  RowReader reader(*rs, setting, "tblTraining", firstIndex, row.faults);

  const std::optional<int16_t> runs = reader.Int16("Runs");
  if (runs) {
    row.Runs = *runs;
    if (*runs < 1) {
      reader.Add(reader.Refusal("Runs", Decimal(*runs), "Runs " + Decimal(*runs) + " is below 1"));
    } else if (int64_t{firstIndex} + *runs > std::numeric_limits<int16_t>::max()) {
      reader.Add(
          reader.Refusal("Runs", Decimal(*runs),
                         "Runs " + Decimal(*runs) + " makes the plan longer than 32767 trials"));
    }
  }
  row.CostLimit = reader.Int32("CostLimit").value_or(0);
  row.InventoryBound = reader.Int32("InventoryBounds").value_or(0);
  row.Password = reader.Text("Password").value_or(std::string());

  const size_t faultsBefore = reader.FaultCount();
  if (ReadTrialColumns(reader, players, row.trial, true)) {
    if (reader.FaultCount() == faultsBefore && row.trial.SubjectRole == kNoSubject) {
      reader.Add(reader.Refusal("Subject", "", "no role column of the training row names Subject"));
    }
    for (SettingFault& f :
         CheckLoadedTrial(row.trial, setting, "tblTraining", firstIndex, inputFolder)) {
      reader.Add(std::move(f));
    }
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
  if (!rs->Eof()) number = Narrow16(int64_t{rs->Get("Trial").AsInt16()} - 1, "TrainingTrialNo");
  DbClose(db, rs);
  return number;
}

}  // namespace

void LoadTraining(Database& db, Toolkit& toolkit, const Identity& identity, Plan& plan,
                  TrainingState& training, const std::string& inputFolder,
                  const TrainingHooks& hooks) {
  TrainingRow row = ReadTrainingRow(db, plan, identity.SettingName, plan.TrialCount, inputFolder);
  if (!row.faults.empty()) RefusePlan(toolkit, row.faults.front());

  if (!row.found) {
    training.TrainingMode = false;
  } else {
    training.TrainingMode = true;
    training.TrainingRuns = row.Runs;
    training.TrainingCostLimit = row.CostLimit;
    training.TrainingInventoryBound = row.InventoryBound;
    training.TrainingPassword = row.Password;
    training.PlanCount = static_cast<int16_t>(plan.TrialCount + row.Runs);
    plan.TrialPlans.resize(plan.TrialCount);
    plan.TrialPlans.insert(plan.TrialPlans.end(), row.Runs, row.trial);

    // The recorded number is read before anything is shown, so that the
    // database is not held open while the message waits.
    const int16_t trialNo = FirstTrainingTrialNo(db, identity);
    training.ResumeTrial = Narrow16(int64_t{plan.CurrentTrial} - 1, "ResumeTrial");
    plan.CurrentTrial = plan.TrialCount;
    training.TrainingPassed = true;
    training.TrainingTrialNo = trialNo;
    if (hooks.SetPlayerCaption) hooks.SetPlayerCaption("Training");
    toolkit.MsgBox("First, we will have some training trials...", MsgStyle::OkOnly);
  }

  // A participant who has played every trial has CurrentTrial behind the
  // plan; the trial start refuses that with its own message, so there is no
  // configuration to apply here.
  if (hooks.ApplyDisplayConfiguration && plan.CurrentTrial >= 0 &&
      static_cast<size_t>(plan.CurrentTrial) < plan.TrialPlans.size()) {
    hooks.ApplyDisplayConfiguration(plan.TrialPlans[plan.CurrentTrial].DisplayOption);
  }
}

void EndTraining(Toolkit& toolkit, Plan& plan, TrainingState& training,
                 const TrainingHooks& hooks) {
  if (hooks.SetPlayerCaption) hooks.SetPlayerCaption("");
  toolkit.MsgBox("The experiment will now begin", MsgStyle::OkOnly, "Training Complete");
  training.TrainingMode = false;
  plan.CurrentTrial = training.ResumeTrial;
  if (hooks.NextTrial) hooks.NextTrial();
}

}  // namespace quarn
