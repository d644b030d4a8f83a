#include "record/ExperimentLoading.h"

#include "base/Errors.h"
#include "base/Numbers.h"
#include "plan/PlanCheck.h"
#include "plan/PlanReaders.h"

namespace quarn {

void refusePlan(Prompter& prompter, const PlanFault& fault) {
  if (fault.errorNumber != 0) throw QuarnError(fault.errorNumber, fault.text);
  prompter.ask(fault.text, PromptStyle::Ok, fault.title);
  prompter.endApplication();
  throw ApplicationEnd(0);  // for a Prompter whose endApplication returns
}

void loadPlayers(PlanTables& tables, Plan& plan) {
  PlayerRows rows = readPlayers(tables);
  if (const PlanFault* fault = firstFault(rows.faults)) {
    throw QuarnError(fault->errorNumber != 0 ? fault->errorNumber : kErrInvalidPlan, fault->text);
  }
  plan.players = std::move(rows.players);
}

void loadBlocks(PlanTables& tables, Prompter& prompter, const std::string& setting, Plan& plan,
                const std::string& inputFolder) {
  BlockRows rows = readBlocks(tables, plan.players, setting, inputFolder);
  if (const PlanFault* fault = firstFault(rows.faults)) refusePlan(prompter, *fault);
  plan.trials = std::move(rows.trials);
  plan.trainingTrials.clear();
}

void loadTraining(DatabaseAccess& db, Prompter& prompter, const Identity& identity, Plan& plan,
                  TrainingState& training, const std::string& inputFolder,
                  const TrainingHooks& hooks) {
  TrainingRow row = readTraining(db.planTables(), plan.players, identity.SettingName,
                                 plan.trialCount(), inputFolder);
  if (const PlanFault* fault = firstFault(row.faults)) refusePlan(prompter, *fault);

  if (!row.found) {
    training.active = false;
  } else {
    training.active = true;
    training.costLimit = row.costLimit;
    training.inventoryBound = row.inventoryBound;
    training.password = row.password;
    plan.trainingTrials.assign(static_cast<size_t>(row.runs), row.trial);

    // The recorded number is read before anything is shown, so that the
    // database is not held open while the message waits.
    const int16_t trialNo =
        firstTrainingTrial(db.lowestTrial(identity.SubjectID, identity.SettingName));
    training.resumeTrial = narrow16(int64_t{plan.currentTrial} - 1, "ResumeTrial");
    plan.currentTrial = plan.trialCount();
    training.passed = true;
    training.recordedTrial = trialNo;
    if (hooks.SetPlayerCaption) hooks.SetPlayerCaption("Training");
    prompter.ask("First, we will have some training trials...", PromptStyle::Ok);
  }

  // A participant who has played every trial has currentTrial behind the
  // plan; the trial start refuses that with its own message, so there is no
  // configuration to apply here.
  if (hooks.ApplyDisplayConfiguration && plan.hasTrial(plan.currentTrial)) {
    hooks.ApplyDisplayConfiguration(plan.current().displayOption);
  }
}

void endTraining(Prompter& prompter, Plan& plan, TrainingState& training,
                 const TrainingHooks& hooks) {
  if (hooks.SetPlayerCaption) hooks.SetPlayerCaption("");
  prompter.ask("The experiment will now begin", PromptStyle::Ok, "Training Complete");
  training.active = false;
  plan.currentTrial = training.resumeTrial;
  if (hooks.NextTrial) hooks.NextTrial();
}

void loadExperiment(ExperimentContext& c) {
  loadPlayers(c.db.planTables(), c.plan);
  loadBlocks(c.db.planTables(), c.prompter, c.identity.SettingName, c.plan, c.inputFolder);
  // The pauses are checked before training is announced, so that a refusal
  // comes before anything is shown.
  const std::vector<PlanFault> pauses =
      checkPauses(c.db.planTables(), c.identity.SettingName, c.plan.trialCount());
  if (const PlanFault* fault = firstFault(pauses)) refusePlan(c.prompter, *fault);
  loadTraining(c.db, c.prompter, c.identity, c.plan, c.training, c.inputFolder, c.hooks);
  loadPauses(c.db.planTables(), c.identity.SettingName, c.pauses);
}

}  // namespace quarn
