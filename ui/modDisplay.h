#pragma once

#include <cstdint>
#include <string>

namespace quarn {

class frmMain;

// The set-up of the main window at every trial start; ends with the week
// refresh, which opens the order box for week 1.
void SetupTrialDisplay(frmMain& f);

// Writes every role's figures, runs the training checks and the end-of-trial
// test, and opens the order box for the next week (or, in a trial without a
// participant, makes the order itself).
void RefreshWeekDisplay(frmMain& f);

// True when the training trial failed, was recorded and its restart is
// pending: the refresh must stop.
bool CheckTrainingConstraints(frmMain& f);

// Closes the order box, records the trial, tells its cost and turns the
// button into "Next Trial".
void EndTrial(frmMain& f);

// Shows or hides the truck rows, the total cost and each role's figures as
// the named configuration says; what it does not find stays as it is.
void ApplyDisplayConfiguration(frmMain& f, const std::string& name);

// Slot geometry for the trial's delay; hides the slots the delay does not use.
void LayoutShipments(frmMain& f);

// Ticks of one week's animation: 15, 8 and 5 for Delay 1, 2 and 3.
int16_t AnimationTickCount(const frmMain& f);

// Starts one week's animation (after the week has been simulated).
void StartShipmentAnimation(frmMain& f);

// Snaps the trucks onto their slots, then refreshes the week.
void FinishShipmentAnimation(frmMain& f);

// The counters' form: "01 of 52", "100 of 120".
std::string Counter(int value, int total);

}  // namespace quarn
