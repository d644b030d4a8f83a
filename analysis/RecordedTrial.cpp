#include "analysis/RecordedTrial.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "sim/Chain.h"

namespace quarn {

int32_t customerDemand(const RecordedTrial& trial, size_t index) {
  return trial.weeks.at(index).stages[roleIndex(Role::Retailer)].demand;
}

size_t decisionWeekCount(const RecordedTrial& trial) {
  const auto counted = [&](const RecordedWeek& w) { return w.week <= trial.plannedWeeks - 2; };
  return static_cast<size_t>(std::find_if_not(trial.weeks.begin(), trial.weeks.end(), counted) -
                             trial.weeks.begin());
}

bool isComplete(const RecordedTrial& trial) {
  if (trial.plannedWeeks <= 0 || trial.replaced) return false;
  const size_t required = static_cast<size_t>(std::max(trial.plannedWeeks - 2, 1));
  if (trial.weeks.size() < required) return false;
  for (size_t i = 0; i < required; ++i) {
    if (trial.weeks[i].week != static_cast<int16_t>(i + 1)) return false;
  }
  return true;
}

int64_t chainCost(const RecordedTrial& trial) {
  if (trial.weeks.empty()) return 0;
  int64_t sum = 0;
  for (const RecordedStage& stage : trial.weeks.back().stages) sum += stage.totalCost;
  return sum;
}

bool isTeamTrial(const RecordedTrial& trial) {
  return !trial.team.empty();
}

const TeamSeat* seatOf(const RecordedTrial& trial, int role) {
  for (const TeamSeat& seat : trial.seats) {
    if (seat.role == role) return &seat;
  }
  return nullptr;
}

namespace {

bool sameTeamTrial(const RecordedTrial& a, const RecordedTrial& b) {
  return a.team == b.team && a.setting == b.setting && a.trial == b.trial;
}

// Of two members' records of one team trial, the one that tells more of
// the chain.
bool tellsMore(const RecordedTrial& a, const RecordedTrial& b) {
  if (a.weeks.size() != b.weeks.size()) return a.weeks.size() > b.weeks.size();
  return a.member < b.member;
}

}  // namespace

std::vector<const RecordedTrial*> playedChains(const std::vector<RecordedTrial>& trials) {
  std::vector<const RecordedTrial*> chains;
  std::map<std::tuple<std::string, std::string, int16_t>, size_t> teamChain;
  for (const RecordedTrial& t : trials) {
    if (!isTeamTrial(t)) {
      chains.push_back(&t);
      continue;
    }
    const auto [at, added] = teamChain.try_emplace({t.setting, t.team, t.trial}, chains.size());
    if (added) {
      chains.push_back(&t);
    } else if (tellsMore(t, *chains[at->second])) {
      chains[at->second] = &t;
    }
  }
  return chains;
}

std::vector<const RecordedTrial*> memberRecords(const std::vector<RecordedTrial>& trials,
                                                const RecordedTrial& chain) {
  if (!isTeamTrial(chain)) return {&chain};
  std::vector<const RecordedTrial*> members;
  for (const RecordedTrial& t : trials) {
    if (isTeamTrial(t) && sameTeamTrial(t, chain)) members.push_back(&t);
  }
  std::stable_sort(
      members.begin(), members.end(),
      [](const RecordedTrial* a, const RecordedTrial* b) { return a->member < b->member; });
  return members;
}

RecordedWeek recordWeek(const Chain& chain, int16_t week) {
  RecordedWeek recorded;
  recordWeek(chain, week, recorded);
  return recorded;
}

void recordWeek(const Chain& chain, int16_t week, RecordedWeek& recorded) {
  recorded.week = week;
  for (size_t r = 0; r < kRoleCount; ++r) {
    const RoleState& s = chain.roles[r];
    RecordedStage& stage = recorded.stages[r];
    stage.order =
        s.orderSlots.empty() ? 0 : s.orderSlots[std::min<size_t>(1, s.orderSlots.size() - 1)];
    stage.deltaInventory = s.deltaInventory;
    stage.inventory = s.inventory;
    stage.delaySlots = s.delaySlots;
    stage.demand = s.demand;
    stage.satisfied = s.satisfied;
    stage.weeklyCost = s.weeklyCost;
    stage.totalCost = s.totalCost;
  }
}

}  // namespace quarn
