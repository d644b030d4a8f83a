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

// FNV-1a over the setting, the team and the trial, each closed by a zero
// byte so that ("ab", "c") and ("a", "bc") differ: a hash fixed here rather
// than the library's, which may differ between builds.
uint32_t teamNoiseSeed(const std::string& setting, const std::string& team, int16_t trial) {
  uint32_t hash = 2166136261u;
  const auto add = [&hash](const std::string& text) {
    for (const char ch : text) hash = (hash ^ static_cast<unsigned char>(ch)) * 16777619u;
    hash = hash * 16777619u;
  };
  add(setting);
  add(team);
  add(decimal(trial));
  return hash;
}

uint32_t teamForecastSeed(uint32_t trialSeed, int16_t week) {
  uint32_t hash = trialSeed;
  for (const char ch : "forecast " + decimal(week)) {
    hash = (hash ^ static_cast<unsigned char>(ch)) * 16777619u;
  }
  return hash;
}

void playToEnd(ChainContext& c, const std::function<int16_t()>& participantOrder) {
  for (int16_t week = 1; week <= c.trial.weeks; ++week) pressWeek(c, participantOrder);
}

}  // namespace quarn
