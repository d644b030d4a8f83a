#pragma once

#include "game/GameView.h"
#include "plan/Plan.h"
#include "sim/Chain.h"

namespace quarn {

// The figures the view shows of the chain after a week (or at the trial's
// start), without the forecast: the week counter names the week being
// opened; after the trial's last week, the last one played.
WeekFigures chainFigures(const Chain& chain, const TrialPlan& trial);

// What each role's upstream sent off in the week just played.
Shipments departingShipments(const Chain& chain);

}  // namespace quarn
