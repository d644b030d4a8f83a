#include "analysis/Measures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>

#include "base/Csv.h"

namespace quarn {

double mean(std::span<const double> values) {
  if (values.empty()) return 0.0;
  double sum = 0.0;
  for (const double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

double populationVariance(std::span<const double> values) {
  if (values.empty()) return 0.0;
  const double m = mean(values);
  double sum = 0.0;
  for (const double v : values) sum += (v - m) * (v - m);
  return sum / static_cast<double>(values.size());
}

std::optional<double> amplificationRatio(std::span<const double> orders,
                                         std::span<const double> demand) {
  if (orders.empty() || orders.size() != demand.size()) return std::nullopt;
  const double demandVariance = populationVariance(demand);
  if (demandVariance == 0.0) return std::nullopt;
  return populationVariance(orders) / demandVariance;
}

namespace {

StageMeasures measureStage(const RecordedTrial& trial, size_t role, size_t decisionWeeks,
                           std::span<const double> demand) {
  StageMeasures m;
  if (trial.weeks.empty()) return m;
  m.totalCost = trial.weeks.back().stages[role].totalCost;
  m.meanWeeklyCost = static_cast<double>(m.totalCost) / static_cast<double>(trial.weeks.size());
  std::vector<double> orders;
  orders.reserve(decisionWeeks);
  for (size_t i = 0; i < decisionWeeks; ++i) orders.push_back(trial.weeks[i].stages[role].order);
  if (!orders.empty()) {
    m.meanOrder = mean(orders);
    m.sdOrder = std::sqrt(populationVariance(orders));
    m.amplification = amplificationRatio(orders, demand);
  }
  for (const RecordedWeek& week : trial.weeks) {
    const int32_t inventory = week.stages[role].inventory;
    if (inventory < 0) {
      ++m.weeksInBacklog;
      m.peakBacklog = std::max(m.peakBacklog, -inventory);
    }
  }
  return m;
}

}  // namespace

TrialMeasures measureTrial(const RecordedTrial& trial) {
  TrialMeasures measures;
  measures.recordedWeeks = trial.weeks.size();
  measures.decisionWeeks = decisionWeekCount(trial);
  std::vector<double> demand;
  demand.reserve(measures.decisionWeeks);
  for (size_t i = 0; i < measures.decisionWeeks; ++i) demand.push_back(customerDemand(trial, i));
  for (size_t r = 0; r < kRoleCount; ++r) {
    measures.stages[r] = measureStage(trial, r, measures.decisionWeeks, demand);
  }
  return measures;
}

std::string csvNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "";
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *value);
  return error == std::errc() ? std::string(buffer, end) : "";
}

void writeMeasuresCsv(std::ostream& out, const std::vector<RecordedTrial>& trials) {
  out << "Subject,Setting,Trial,Stage,Player,Participant,Weeks,DecisionWeeks,TotalCost,"
         "MeanWeeklyCost,MeanOrder,SdOrder,AmplificationRatio,PeakBacklog,WeeksInBacklog,"
         "Delay,PlannedWeeks,DemandSource,Predicter,DisplayOption,FactoryPlayer,"
         "DistributorPlayer,WholesalerPlayer,RetailerPlayer,Complete,ChainCost,Team,Member\n";
  for (const RecordedTrial& trial : trials) {
    const TrialMeasures measures = measureTrial(trial);
    std::string treatment = "," + std::to_string(trial.delay) + "," +
                            std::to_string(trial.plannedWeeks) + "," +
                            csvField(trial.demandSource) + "," + csvField(trial.predicter) + "," +
                            csvField(trial.displayOption);
    for (const std::string& player : trial.players) treatment += "," + csvField(player);
    treatment +=
        "," + std::string(isComplete(trial) ? "1" : "0") + "," + std::to_string(chainCost(trial));
    treatment += "," + csvField(trial.team) + "," +
                 (isTeamTrial(trial) ? std::to_string(trial.member) : std::string());
    for (size_t r = 0; r < kRoleCount; ++r) {
      const StageMeasures& m = measures.stages[r];
      out << csvField(trial.subject) << ',' << csvField(trial.setting) << ',' << trial.trial << ','
          << roleName(static_cast<int>(r)) << ',' << csvField(trial.players[r]) << ','
          << (static_cast<int>(r) == trial.participantRole ? 1 : 0) << ',' << measures.recordedWeeks
          << ',' << measures.decisionWeeks << ',' << m.totalCost << ','
          << csvNumber(m.meanWeeklyCost) << ',' << csvNumber(m.meanOrder) << ','
          << csvNumber(m.sdOrder) << ',' << csvNumber(m.amplification) << ',' << m.peakBacklog
          << ',' << m.weeksInBacklog << treatment << "\n";
    }
  }
}

}  // namespace quarn
