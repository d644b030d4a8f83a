#pragma once

// Loading the experiment into a game: the players, the setting's trials, its
// training and its pauses, each refused at its first fault. The game's part
// of the start-up; it moves into the game controller.

#include <functional>
#include <string>

#include "base/Prompter.h"
#include "db/DatabaseAccess.h"
#include "plan/PauseSchedule.h"
#include "plan/Plan.h"
#include "plan/PlanFault.h"
#include "plan/Training.h"
#include "record/Identity.h"

namespace quarn {

// Shows the fault's refusal and ends the application (an error fault is
// raised as a QuarnError instead, for the top of the event loop to report).
[[noreturn]] void refusePlan(Prompter& prompter, const PlanFault& fault);

// Reads every row of tblPlayer into the plan's player table, in the table's
// order. A fault is raised as a QuarnError.
void loadPlayers(PlanTables& tables, Plan& plan);

// Reads the setting's tblBlock rows into the plan's trials, each row expanded
// into Runs equal trials, by RandomGroup descending then Index. The first
// fault is refused and ends the application.
void loadBlocks(PlanTables& tables, Prompter& prompter, const std::string& setting, Plan& plan,
                const std::string& inputFolder);

// What training needs of the main window and the trial sequencing. Any hook
// left empty is skipped.
struct TrainingHooks {
  std::function<void(const std::string&)> SetPlayerCaption;  // caption of fraPlayer
  std::function<void(const std::string&)> ApplyDisplayConfiguration;
  std::function<void()> NextTrial;
};

// Puts the setting's training trials (copies of its first tblTraining row)
// behind the block trials and, when there are any, makes the first of them
// current and tells the participant. A bad training row is refused before
// anything is shown. Ends by applying the current trial's display
// configuration.
void loadTraining(DatabaseAccess& db, Prompter& prompter, const Identity& identity, Plan& plan,
                  TrainingState& training, const std::string& inputFolder,
                  const TrainingHooks& hooks);

// Hands the participant back to the experiment after the last training
// trial and runs the trial sequencing.
void endTraining(Prompter& prompter, Plan& plan, TrainingState& training,
                 const TrainingHooks& hooks);

// Everything the plan loading works on.
struct ExperimentContext {
  DatabaseAccess& db;
  Prompter& prompter;
  const Identity& identity;
  Plan& plan;
  TrainingState& training;
  PauseSchedule& pauses;
  std::string inputFolder;  // the application's Input folder
  TrainingHooks hooks;
};

// Loads the players, the block trials, the training trials and the pauses,
// in that order.
void loadExperiment(ExperimentContext& c);

}  // namespace quarn
