#include "analysis/StudyOverview.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "analysis/BatchSimulation.h"
#include "analysis/Measures.h"

namespace quarn {

std::vector<RecordedTrial> anonymised(std::vector<RecordedTrial> trials) {
  std::set<std::string> subjects;
  for (const RecordedTrial& t : trials) {
    subjects.insert(t.subject);
    // A member replaced before recording a week has no records of its own.
    for (const TeamSeat& seat : t.seats) subjects.insert(seat.subject);
  }
  const size_t width = std::max<size_t>(2, std::to_string(subjects.size()).size());
  std::map<std::string, std::string> names;
  for (const std::string& subject : subjects) {
    std::string number = std::to_string(names.size() + 1);
    names[subject] = "P" + std::string(width - number.size(), '0') + number;
  }
  for (RecordedTrial& t : trials) {
    t.subject = names[t.subject];
    // A team trial names the members in the stages' players too.
    for (TeamSeat& seat : t.seats) {
      if (hasParticipant(seat.role)) {
        std::string& player = t.players[static_cast<size_t>(seat.role)];
        if (player == seat.subject) player = names[seat.subject];
      }
      seat.subject = names[seat.subject];
    }
  }
  return trials;
}

std::vector<LeagueTable> leagueTables(const std::vector<RecordedTrial>& trials,
                                      const SimulatedCostsByTrial& simulated) {
  std::map<std::pair<std::string, int16_t>, LeagueTable> tables;
  for (const RecordedTrial& t : trials) {
    if (!hasParticipant(t.participantRole) || t.weeks.empty()) continue;
    LeagueTable& table = tables[{t.setting, t.trial}];
    table.setting = t.setting;
    table.trial = t.trial;
    LeagueEntry entry;
    entry.subject = t.subject;
    entry.role = t.participantRole;
    entry.cost = t.weeks.back().stages[static_cast<size_t>(t.participantRole)].totalCost;
    entry.chainCost = chainCost(t);
    entry.complete = isComplete(t);
    // Each against its own stage: the members of a team play stages of
    // their own.
    if (const auto found = simulated.find({t.setting, t.trial});
        found != simulated.end() && entry.complete) {
      const std::vector<double>& costs = found->second.costs[static_cast<size_t>(entry.role)];
      if (!costs.empty()) {
        entry.percentile = percentileRank(costs, static_cast<double>(entry.cost));
      }
    }
    table.entries.push_back(std::move(entry));
  }
  std::vector<LeagueTable> result;
  for (auto& [key, table] : tables) {
    std::stable_sort(table.entries.begin(), table.entries.end(),
                     [](const LeagueEntry& a, const LeagueEntry& b) {
                       if (a.complete != b.complete) return a.complete;
                       return a.complete && a.cost < b.cost;
                     });
    for (size_t i = 0; i < table.entries.size() && table.entries[i].complete; ++i) {
      const bool tied = i > 0 && table.entries[i].cost == table.entries[i - 1].cost;
      table.entries[i].rank = tied ? table.entries[i - 1].rank : static_cast<int>(i + 1);
    }
    result.push_back(std::move(table));
  }
  return result;
}

std::optional<ClassPlace> classPlace(const std::vector<LeagueTable>& tables,
                                     const RecordedTrial& trial) {
  for (const LeagueTable& table : tables) {
    if (table.setting != trial.setting || table.trial != trial.trial) continue;
    const auto ranked =
        static_cast<int>(std::count_if(table.entries.begin(), table.entries.end(),
                                       [](const LeagueEntry& e) { return e.rank.has_value(); }));
    for (const LeagueEntry& e : table.entries) {
      if (e.subject == trial.subject && e.rank) return ClassPlace{*e.rank, ranked};
    }
  }
  return std::nullopt;
}

std::array<std::optional<StageSpread>, kRoleCount> amplificationByStage(
    const std::vector<RecordedTrial>& trials) {
  std::array<std::vector<double>, kRoleCount> values;
  // A team's chain counts once, however many members recorded it.
  for (const RecordedTrial* chain : playedChains(trials)) {
    const RecordedTrial& t = *chain;
    if (!isComplete(t)) continue;
    const TrialMeasures m = measureTrial(t);
    for (size_t r = 0; r < kRoleCount; ++r) {
      if (m.stages[r].amplification) values[r].push_back(*m.stages[r].amplification);
    }
  }
  std::array<std::optional<StageSpread>, kRoleCount> spreads;
  for (size_t r = 0; r < kRoleCount; ++r) {
    if (values[r].empty()) continue;
    StageSpread s;
    s.values = values[r];
    std::sort(s.values.begin(), s.values.end());
    s.low = s.values.front();
    s.high = s.values.back();
    s.q25 = quantile(s.values, 0.25);
    s.median = quantile(s.values, 0.5);
    s.q75 = quantile(s.values, 0.75);
    s.mean = mean(s.values);
    s.interval = tInterval(s.values);
    spreads[r] = std::move(s);
  }
  return spreads;
}

}  // namespace quarn
