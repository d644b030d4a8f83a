#include "sim/WeekPress.h"

#include "base/Numbers.h"

namespace quarn {

void pressWeek(ChainContext& c, const std::function<int16_t()>& participantOrder) {
  c.chain.currentWeek = narrow16(int64_t{c.chain.currentWeek} + 1, "CurrentWeek");
  c.chain.participantOrder = participantOrder();
  closeWeek(c);
}

void pressTeamWeek(ChainContext& c, const std::array<int16_t, kRoleCount>& typedOrders) {
  c.chain.memberOrders = typedOrders;
  const int16_t own = c.trial.participantRole;
  pressWeek(c, [&] { return isRole(own) ? typedOrders[static_cast<size_t>(own)] : int16_t{0}; });
}

void playToEnd(ChainContext& c, const std::function<int16_t()>& participantOrder) {
  for (int16_t week = 1; week <= c.trial.weeks; ++week) pressWeek(c, participantOrder);
}

}  // namespace quarn
