#include "analysis/TreatmentSummary.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <tuple>

#include "analysis/BatchSimulation.h"
#include "analysis/Measures.h"
#include "base/Csv.h"
#include "base/Errors.h"
#include "base/Text.h"

namespace quarn {

const std::vector<std::string>& treatmentColumns() {
  static const std::vector<std::string> columns = {
      "Delay",         "PlannedWeeks",      "DemandSource",     "Predicter",     "DisplayOption",
      "FactoryPlayer", "DistributorPlayer", "WholesalerPlayer", "RetailerPlayer"};
  return columns;
}

std::string treatmentColumn(const std::string& typed) {
  for (const std::string& column : treatmentColumns()) {
    if (equalsIgnoringAsciiCase(column, typed)) return column;
  }
  std::string list;
  for (const std::string& column : treatmentColumns()) list += (list.empty() ? "" : ", ") + column;
  throw QuarnError(kErrItemNotFound, "No treatment column " + typed + "; known: " + list);
}

std::string treatmentValue(const RecordedTrial& trial, const std::string& column) {
  const std::string name = treatmentColumn(column);
  if (name == "Delay") return std::to_string(trial.delay);
  if (name == "PlannedWeeks") return std::to_string(trial.plannedWeeks);
  if (name == "DemandSource") return trial.demandSource;
  if (name == "Predicter") return trial.predicter;
  if (name == "DisplayOption") return trial.displayOption;
  for (int r = 0; r < kRoleCount; ++r) {
    if (name == roleName(r) + "Player") return trial.players[static_cast<size_t>(r)];
  }
  return "";
}

std::optional<ValueSummary> summariseValues(const std::vector<double>& values,
                                            const SummaryOptions& options) {
  if (values.empty()) return std::nullopt;
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  ValueSummary s;
  s.n = values.size();
  s.mean = sorted.front() == sorted.back() ? sorted.front() : mean(values);
  s.median = quantile(sorted, 0.5);
  s.sd = sampleSd(values);
  s.interval = options.bootstrap > 0 ? bootstrapInterval(values, options.bootstrap, options.seed)
                                     : tInterval(values);
  return s;
}

std::string intervalMethod(const SummaryOptions& options) {
  if (options.bootstrap <= 0) return "t";
  return "bootstrap " + std::to_string(options.bootstrap) + " seed " + std::to_string(options.seed);
}

namespace {

using TreatmentKey = std::tuple<std::string, int16_t, int16_t, std::vector<std::string>>;

struct Values {
  std::vector<double> costs;
  std::vector<double> ratios;
  int incomplete = 0;
};

}  // namespace

std::vector<TreatmentRow> summariseTreatments(const std::vector<RecordedTrial>& trials,
                                              const SummaryOptions& options) {
  std::map<TreatmentKey, Values> groups;
  for (const RecordedTrial& trial : trials) {
    if (!hasParticipant(trial.participantRole)) continue;
    std::vector<std::string> by;
    for (const std::string& column : options.by) by.push_back(treatmentValue(trial, column));
    Values& values = groups[{trial.setting, trial.trial, trial.participantRole, by}];
    if (!isComplete(trial)) {
      ++values.incomplete;
      continue;
    }
    const StageMeasures own =
        measureTrial(trial).stages[static_cast<size_t>(trial.participantRole)];
    values.costs.push_back(static_cast<double>(own.totalCost));
    if (own.amplification) values.ratios.push_back(*own.amplification);
  }
  std::vector<TreatmentRow> rows;
  for (const auto& [key, values] : groups) {
    TreatmentRow row;
    std::tie(row.setting, row.trial, row.role, row.byValues) = key;
    row.cost = summariseValues(values.costs, options);
    row.amplification = summariseValues(values.ratios, options);
    row.incomplete = values.incomplete;
    rows.push_back(std::move(row));
  }
  return rows;
}

namespace {

void writeSummary(std::ostream& out, const std::optional<ValueSummary>& s) {
  if (!s) {
    out << ",0,,,,,";
    return;
  }
  out << ',' << s->n << ',' << csvNumber(s->mean) << ',' << csvNumber(s->median) << ','
      << csvNumber(s->sd) << ','
      << csvNumber(s->interval ? std::optional(s->interval->low) : std::nullopt) << ','
      << csvNumber(s->interval ? std::optional(s->interval->high) : std::nullopt);
}

}  // namespace

void writeSummaryCsv(std::ostream& out, const std::vector<TreatmentRow>& rows,
                     const SummaryOptions& options) {
  out << "Setting,Trial,Stage";
  for (const std::string& column : options.by) out << ',' << treatmentColumn(column);
  out << ",N,CostMean,CostMedian,CostSd,CostLow,CostHigh,AmplificationN,AmplificationMean,"
         "AmplificationMedian,AmplificationSd,AmplificationLow,AmplificationHigh,Interval\n";
  for (const TreatmentRow& row : rows) {
    out << csvField(row.setting) << ',' << row.trial << ',' << roleName(row.role);
    for (const std::string& value : row.byValues) out << ',' << csvField(value);
    writeSummary(out, row.cost);
    writeSummary(out, row.amplification);
    out << ',' << csvField(intervalMethod(options)) << '\n';
  }
}

}  // namespace quarn
