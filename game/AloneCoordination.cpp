#include "game/AloneCoordination.h"

#include "plan/Predicter.h"

namespace quarn {

void AloneCoordination::startTrial() {
  m_steps.startChain();
  m_steps.showTrialStart();
  m_steps.refreshWeek();
}

int16_t AloneCoordination::forecast(int16_t week) {
  return predictDemand(m_state.predicter, m_state.plan.current(), week, m_services.random);
}

}  // namespace quarn
