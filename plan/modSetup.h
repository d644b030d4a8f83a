#pragma once

#include <cstdint>
#include <string>

#include "base/Prompter.h"
#include "interventions/modPause.h"
#include "plan/modTrain.h"
#include "session/Identity.h"
#include "session/modDatabase.h"
#include "sim/TrialPlan.h"

namespace quarn {

// Reads every row of tblPlayer into the player table, in the database's
// order. An empty table leaves PlayerCount 0 and the table empty.
void LoadPlayers(Database& db, Plan& plan);

// Turns a role column's text into a RolePlayer value: the index of the first
// player whose name matches apart from letter case, or -1 for "Subject"
// (exactly), which becomes the trial's SubjectRole. An unknown name or a
// second "Subject" in one trial is refused and ends the application.
int16_t GetPlayerIndex(Plan& plan, Prompter& toolkit, int16_t trial, const std::string& name,
                       int16_t role);

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
