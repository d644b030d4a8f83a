#include "plan/Predicter.h"

#include "base/Errors.h"
#include "base/Numbers.h"

namespace quarn {

int16_t loadPredicter(PlanTables& tables, PredicterState& state, const std::string& name) {
  if (name.empty()) return -1;
  const std::optional<Row> row = tables.predicter(name);
  if (!row) return -1;
  const int16_t extent = row->cell("Extent").toInt16();
  const int32_t excess = row->cell("Excess").toInt32();
  const int32_t maxNoise = row->cell("MaxNoise").toInt32();
  state.forecast = {extent, excess, maxNoise};
  return extent;
}

int16_t predictDemand(PredicterState& state, const TrialPlan& trial, int16_t currentWeek,
                      UniformRandom& random) {
  const Forecast& forecast = state.forecast;
  const int16_t i = narrow16(int64_t{forecast.extent} + currentWeek - 1, "Predicter week index");
  int64_t value = forecast.excess;
  if (i < trial.weeks) {
    // A negative extent can reach before week 1; that is an error, not a read
    // outside the series.
    if (i < 0 || static_cast<size_t>(i) >= trial.weeklyDemand.size()) {
      throw QuarnError(kErrSubscriptOutOfRange,
                       "Subscript out of range: the predicter asks for the demand of week " +
                           decimal(int64_t{i} + 1));
    }
    value = trial.weeklyDemand[static_cast<size_t>(i)];
  }
  int16_t shown = narrow16(value, "Predicted demand");
  if (forecast.maxNoise > 0) {
    const double u = random.next();
    const double maxNoise = forecast.maxNoise;
    state.noise = toInt32(u * (2.0 * maxNoise + 1.0) - maxNoise, "Predicter noise");
    shown = narrow16(int64_t{shown} + state.noise, "Predicted demand");
  }
  return shown;
}

}  // namespace quarn
