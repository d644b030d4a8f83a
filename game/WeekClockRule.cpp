#include "game/WeekClockRule.h"

#include <algorithm>

#include "base/Numbers.h"
#include "base/Text.h"
#include "sim/SimulatedPlayer.h"

namespace quarn {

int16_t clockRuleOrder(const GameState& state, int16_t stage, int32_t lastOrder, TickCounter& ticks,
                       UniformRandom& random) {
  const Plan& plan = state.plan;
  const TrialPlan& trial = plan.current();
  int64_t order = state.chain.currentWeek <= 1 ? 0 : lastOrder;
  if (plan.clock.player != kNoClockPlayer) {
    TrialPlan ruled = trial;
    ruled.rolePlayers[static_cast<size_t>(stage)] = plan.clock.player;
    // The player orders as it would when the week closes: after the week
    // counter moved on.
    Chain chain = state.chain;
    chain.currentWeek = narrow16(int64_t{chain.currentWeek} + 1, "CurrentWeek");
    ChainContext context{ruled, plan.players, chain, ticks, random, {}};
    order = playerOrder(context, stage);
  }
  const int64_t largest = std::min<int64_t>(trial.largestOrder, kLargestParticipantOrder);
  return static_cast<int16_t>(std::clamp<int64_t>(order, 0, std::max<int64_t>(largest, 0)));
}

std::optional<int64_t> clockMillisecondsLeft(const WeekClock& clock, uint32_t weekStart,
                                             uint32_t now) {
  if (!clock.runs()) return std::nullopt;
  // The tick counter wraps at 32 bits: the difference still counts right.
  const int64_t elapsed = static_cast<uint32_t>(now - weekStart);
  return std::max<int64_t>(int64_t{clock.seconds} * 1000 - elapsed, 0);
}

std::string clockOrderedText(const Prompter& prompter, int16_t order) {
  return withArguments(
      prompter.translate("GameSession", "The time for this week ran out: %1 was ordered for you."),
      {decimal(order)});
}

int secondsShown(int64_t millisecondsLeft) {
  return static_cast<int>((std::max<int64_t>(millisecondsLeft, 0) + 999) / 1000);
}

}  // namespace quarn
