#include "game/WeekCoordination.h"

#include "game/AloneCoordination.h"
#include "game/TeamCoordination.h"

namespace quarn {

std::unique_ptr<WeekCoordination> coordinationFor(GameServices& services, GameState& state,
                                                  WeekSteps& steps) {
  if (state.team.active()) return std::make_unique<TeamCoordination>(services, state, steps);
  return std::make_unique<AloneCoordination>(services, state, steps);
}

}  // namespace quarn
