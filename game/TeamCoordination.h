#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "game/AloneCoordination.h"

namespace quarn {

// A member of a team: the team's orders close a team trial's week. Every
// member's workstation computes the whole chain itself from the typed
// orders, the simulated players drawing from the team's own generator, so
// that each computes the same. It waits for the team to form and for the
// other members' orders, replays the weeks stored before the workstation
// started again, and shares training and pauses with the team. Trials the
// member plays alone (training whose row names no members) are played as
// AloneCoordination plays them.
class TeamCoordination final : public WeekCoordination {
 public:
  TeamCoordination(GameServices& services, GameState& state, WeekSteps& steps)
      : m_services(services), m_state(state), m_steps(steps), m_alone(services, state, steps) {}

  void startTrial() override;
  bool weekOpenedOrdered(const WeekOpening& week) override;
  void order(int order, bool byClock) override;
  void orderForLateMembers() override;
  UniformRandom& random() override;
  int16_t forecast(int16_t week) override;
  bool pausePassedElsewhere() override;
  void pausePassed() override;
  void trainingEnds() override;
  bool trainingEndedElsewhere() override;
  bool recordsUnfinishedTrial() const override;
  bool watches() const override;
  bool poll(std::chrono::milliseconds wait) override;

 private:
  void startTeamTrial();
  void startFormedTeamTrial();
  void waitForTeamToForm();
  void startTeamChain();
  void replayStoredTeamWeeks();
  void waitForTeamWeek();
  bool lookAtTeam();
  bool lookAtTeamPause();
  bool lookAtTeamTraining();
  bool lookAtTeamWeek();
  void pressTeam(const std::array<int16_t, kRoleCount>& orders);
  void tellClockOrder(const std::array<int16_t, kRoleCount>& orders);
  void markLook();

  // What the workstation reads of its team and stores for it.
  void beginTeamTraining();
  bool teamTrainingOver();
  void readTeamTrial();
  void storeOrder(const TypedOrder& order);
  void storeClockOrder(const TypedOrder& order);
  void recordTeamTrial(int16_t recordedTrial);
  int16_t nextTeamTrialNumber() const;

  GameServices& m_services;
  GameState& m_state;
  WeekSteps& m_steps;
  AloneCoordination m_alone;
  // A team trial's generator; none while the member plays a trial alone.
  std::optional<StandardUniformRandom> m_random;
  uint32_t m_seed = 0;  // the seed m_random started from
  // When the team was last looked at, on the game's tick counter.
  uint32_t m_lastLook = 0;
  // When this workstation last ordered for late members, and in which week.
  uint32_t m_lastClockTry = 0;
  int16_t m_clockTriedWeek = 0;
};

}  // namespace quarn
