#pragma once

#include "game/WeekCoordination.h"

namespace quarn {

// A participant who plays alone: the participant's order closes the week,
// the simulated players draw from the game's generator, and nothing else is
// waited for.
class AloneCoordination final : public WeekCoordination {
 public:
  AloneCoordination(GameServices& services, GameState& state, WeekSteps& steps)
      : m_services(services), m_state(state), m_steps(steps) {}

  void startTrial() override;
  bool weekOpenedOrdered(const WeekOpening& /*week*/) override { return false; }
  void order(int order, bool /*byClock*/) override { m_steps.playWeek(order); }
  void orderForLateMembers() override {}
  UniformRandom& random() override { return m_services.random; }
  int16_t forecast(int16_t week) override;
  bool pausePassedElsewhere() override { return false; }
  void pausePassed() override {}
  void trainingEnds() override {}
  bool trainingEndedElsewhere() override { return false; }
  bool recordsUnfinishedTrial() const override { return true; }
  bool watches() const override { return false; }
  bool poll(std::chrono::milliseconds /*wait*/) override { return false; }

 private:
  GameServices& m_services;
  GameState& m_state;
  WeekSteps& m_steps;
};

}  // namespace quarn
