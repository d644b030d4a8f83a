#include "game/ExperimentLoading.h"

#include "base/Errors.h"
#include "base/Numbers.h"
#include "game/TeamPlay.h"
#include "plan/PlanCheck.h"
#include "plan/PlanReaders.h"

namespace quarn {

namespace {

std::string inputFolder(const GameServices& services) {
  return services.appFolder + "/Input";
}

void loadBlocks(GameServices& services, GameState& state) {
  Plan& plan = state.plan;
  BlockRows rows = readBlocks(services.db.planTables(), plan.players, state.identity.setting,
                              inputFolder(services));
  if (const PlanFault* fault = firstFault(rows.faults)) refusePlan(services.prompter, *fault);
  plan.trials = std::move(rows.trials);
  // A team member's workstation plays its own member's stage.
  if (state.team.active()) {
    for (TrialPlan& trial : plan.trials) {
      if (isTeamTrial(trial)) trial = forMember(std::move(trial), state.team.member);
    }
  }
  plan.trainingTrials.clear();
}

bool loadTraining(GameServices& services, GameState& state) {
  Plan& plan = state.plan;
  TrainingState& training = state.training;
  const Identity& identity = state.identity;
  TrainingRow row = readTraining(services.db.planTables(), plan.players, identity.setting,
                                 plan.trialCount(), inputFolder(services));
  if (const PlanFault* fault = firstFault(row.faults)) refusePlan(services.prompter, *fault);
  if (!row.found) {
    training.active = false;
    return false;
  }
  training.active = true;
  training.costLimit = row.costLimit;
  training.inventoryBound = row.inventoryBound;
  training.password = row.password;
  const bool together = isTeamTrial(row.trial) && state.team.active();
  if (together) row.trial = forMember(std::move(row.trial), state.team.member);
  plan.trainingTrials.assign(static_cast<size_t>(row.runs), row.trial);
  training.recordedTrial =
      firstTrainingTrial(services.db.lowestTrial(identity.subject, identity.setting));
  training.resumeTrial = narrow16(int64_t{plan.currentTrial} - 1, "ResumeTrial");
  training.attempt = 1;
  training.passed = true;
  plan.currentTrial = plan.trialCount();
  // A team trains once, together: a member who comes back goes on where the
  // team is, and past training once the team is through it.
  if (together && !joinTeamTraining(services, state)) {
    training.active = false;
    plan.currentTrial = narrow16(int64_t{training.resumeTrial} + 1, "CurrentTrial");
    return false;
  }
  return true;
}

}  // namespace

void refusePlan(Prompter& prompter, const PlanFault& fault) {
  if (fault.errorNumber != 0) throw QuarnError(fault.errorNumber, fault.text);
  prompter.ask(fault.text, PromptStyle::Ok, fault.title, PromptKind::PlanRefused);
  prompter.endApplication(1);
  throw ApplicationEnd(1);  // for a Prompter whose endApplication returns
}

void loadPlayers(PlanTables& tables, Plan& plan) {
  PlayerRows rows = readPlayers(tables);
  if (const PlanFault* fault = firstFault(rows.faults)) {
    throw QuarnError(fault->errorNumber != 0 ? fault->errorNumber : kErrInvalidPlan, fault->text);
  }
  plan.players = std::move(rows.players);
}

bool loadExperimentPlan(GameServices& services, GameState& state) {
  loadPlayers(services.db.planTables(), state.plan);
  loadBlocks(services, state);
  WeekClockRow clock =
      readWeekClock(services.db.planTables(), state.plan.players, state.identity.setting);
  if (const PlanFault* fault = firstFault(clock.faults)) refusePlan(services.prompter, *fault);
  state.plan.clock = clock.clock;
  const std::vector<PlanFault> pauses =
      checkPauses(services.db.planTables(), state.identity.setting, state.plan.trialCount());
  if (const PlanFault* fault = firstFault(pauses)) refusePlan(services.prompter, *fault);
  return loadTraining(services, state);
}

}  // namespace quarn
