#pragma once

#include <cstdint>
#include <string>

#include "base/Prompter.h"
#include "interventions/modPause.h"
#include "plan/Plan.h"
#include "plan/modTrain.h"
#include "session/Identity.h"
#include "session/modDatabase.h"

namespace quarn {

// Reads every row of tblPlayer into the player table, in the database's
// order. An empty table leaves the table empty.
void LoadPlayers(Database& db, Plan& plan);

// Reads the setting's tblBlock rows into the block trials, each row expanded
// into Runs equal trials, by RandomGroup descending then Index. The plan is
// checked as it is read; the first fault is refused and ends the application.
void LoadBlocks(Database& db, Prompter& toolkit, const Identity& identity, Plan& plan,
                const std::string& inputFolder);

// Everything the plan loading works on.
struct ExperimentContext {
  Database& db;
  Prompter& toolkit;
  const Identity& identity;
  Plan& plan;
  TrainingState& training;
  PauseState& pauses;
  std::string inputFolder;  // the application's Input folder
  TrainingHooks hooks;
};

// Loads the players, the block trials, the training trials and the pauses,
// in that order.
void LoadExperiment(ExperimentContext& c);

}  // namespace quarn
