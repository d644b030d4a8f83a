#pragma once

// Trials as participants of different kinds play them, recorded as the game
// records them: the fit's test and benchmark run on these.

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {

// How a participant orders: from the stage as the participant sees it, the
// week, the demands received so far (this week's last) and a generator.
using OrderHabit =
    std::function<double(const RoleState&, const std::vector<int32_t>& received, std::mt19937&)>;

// A trial of `weeks` weeks with the participant on `role`, the customer
// demand stepping from 4 to 8 in week 5, the other stages played by the
// game's own anchoring-and-adjustment players; the participant's orders come
// from `habit`, typed as whole numbers.
inline RecordedTrial playedTrial(const OrderHabit& habit, int16_t role, int16_t delay,
                                 int16_t weeks, unsigned seed) {
  TrialPlan t = steadyTrial(weeks, role, delay);
  t.jumpWeek = 5;
  t.maxOrder = 999;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (r != role) t.rolePlayers[static_cast<size_t>(r)] = 0;
  }
  SimGame game(t, {stermanPlayer(0.26, 0.34, 0.36)});
  RecordedTrial recorded;
  recorded.participantRole = role;
  recorded.plannedWeeks = weeks;
  recorded.delay = delay;
  game.c.weekClosed = [&] {
    recorded.weeks.push_back(
        recordWeek(game.chain, static_cast<int16_t>(game.chain.currentWeek - 1)));
  };
  game.start();
  std::mt19937 random(seed);
  std::vector<int32_t> received;
  for (int16_t week = 1; week <= weeks; ++week) {
    received.push_back(game.role(role).demand);
    const double order = habit(game.role(role), received, random);
    game.press(static_cast<int16_t>(std::clamp(std::nearbyint(order), 0.0, 999.0)));
  }
  return recorded;
}

// The demand received `lag` weeks ago (the first week's before that).
inline double receivedBefore(const std::vector<int32_t>& received, size_t lag) {
  return received.size() > lag ? received[received.size() - 1 - lag] : received.front();
}

struct Habit {
  std::string name;
  OrderHabit order;
};

// The kinds of participants whose fits are held against a dense grid:
// orders near the demand, the demand of weeks ago, orders that chase every
// shortfall, and orders with nothing behind them.
inline std::vector<Habit> participantHabits() {
  return {
      {"steady",
       [](const RoleState& s, const std::vector<int32_t>& received, std::mt19937& random) {
         return received.back() + 0.3 * (12.0 - s.inventory) +
                std::uniform_int_distribution<int>(-1, 1)(random);
       }},
      {"lagged step",
       [](const RoleState&, const std::vector<int32_t>& received, std::mt19937& random) {
         return receivedBefore(received, 3) + std::uniform_int_distribution<int>(-1, 1)(random);
       }},
      {"over-reacting",
       [](const RoleState& s, const std::vector<int32_t>& received, std::mt19937& random) {
         return received.back() + 1.5 * (received.back() - receivedBefore(received, 1)) +
                0.9 * (20.0 - s.inventory) + std::uniform_int_distribution<int>(-2, 2)(random);
       }},
      {"random",
       [](const RoleState&, const std::vector<int32_t>&, std::mt19937& random) {
         return std::uniform_int_distribution<int>(0, 16)(random);
       }},
  };
}

}  // namespace quarn::testing
