#include "sim/PlayerRules.h"

#include <string>

#include "base/Errors.h"

namespace quarn {

namespace {

// The switch of `rule` in `player` (const or not).
template <class Player>
auto& switchOf(Player& player, PlayerRule rule) {
  switch (rule) {
    case PlayerRule::Sterman:
      return player.usesSterman;
    case PlayerRule::Demand:
      return player.addsDemand;
    case PlayerRule::BackOrder:
      return player.addsBackorder;
    case PlayerRule::Delta:
      return player.addsDelta;
  }
  throw QuarnError(kErrInternal, "Unknown player rule " + std::to_string(static_cast<int>(rule)));
}

}  // namespace

const char* ruleColumn(PlayerRule rule) {
  switch (rule) {
    case PlayerRule::Sterman:
      return "Sterman";
    case PlayerRule::Demand:
      return "Demand";
    case PlayerRule::BackOrder:
      return "BackOrder";
    case PlayerRule::Delta:
      return "Delta";
  }
  return "";
}

bool follows(const PlayerStrategy& player, PlayerRule rule) {
  return switchOf(player, rule);
}

void setRule(PlayerStrategy& player, PlayerRule rule, bool on) {
  switchOf(player, rule) = on;
}

}  // namespace quarn
