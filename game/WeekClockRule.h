#pragma once

#include <cstdint>
#include <optional>

#include "base/Clock.h"
#include "base/Prompter.h"
#include "base/Random.h"
#include "game/GameState.h"

namespace quarn {

// The order the week clock makes for `stage` in the open week of the running
// trial: the setting's rule player playing the stage, or `lastOrder` (the
// stage's order of the week before; 0 in week 1), within the trial's orders.
// The chain is left as it is: the rule player computes on a copy, and draws
// its noise from `random`, not from the trial's generator, so that a team's
// workstations keep computing the same chain.
int16_t clockRuleOrder(const GameState& state, int16_t stage, int32_t lastOrder, TickCounter& ticks,
                       UniformRandom& random);

// The milliseconds of the open week's time left on the tick counter (0 once
// it ran out), for a week opened at `weekStart`; none without a clock.
std::optional<int64_t> clockMillisecondsLeft(const WeekClock& clock, uint32_t weekStart,
                                             uint32_t now);

// What the participant reads once the clock ordered `order` for it.
std::string clockOrderedText(const Prompter& prompter, int16_t order);

// The whole seconds shown for `millisecondsLeft`: rounded up, so that 0
// appears only once the time ran out.
int secondsShown(int64_t millisecondsLeft);

}  // namespace quarn
