#pragma once

// Loading the experiment of the logged-in participant's setting into the
// game: the players, the trials, the training trials; each refused at its
// first fault.

#include "base/Prompter.h"
#include "game/GameState.h"
#include "plan/PlanFault.h"
#include "plan/PlanTables.h"

namespace quarn {

// Shows the fault's refusal and ends the application (an error fault is
// raised as a QuarnError instead, for the top of the event loop to report).
[[noreturn]] void refusePlan(Prompter& prompter, const PlanFault& fault);

// Reads every row of tblPlayer into the plan's player table, in the table's
// order. A fault is raised as a QuarnError.
void loadPlayers(PlanTables& tables, Plan& plan);

// Loads the players and the setting's trials (its tblBlock rows, each
// expanded into Runs equal trials, by RandomGroup descending then Index),
// checks its pauses, and puts its training trials (copies of its first
// tblTraining row) behind the trials. With training, the first training
// trial becomes current and the function returns true; the participant's
// trial is kept to go back to. Nothing is shown: a fault is refused before
// training is announced.
bool loadExperimentPlan(GameServices& services, GameState& state);

}  // namespace quarn
