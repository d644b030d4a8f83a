#include "interventions/modPredicter.h"

#include "base/Errors.h"
#include "base/Numbers.h"

namespace quarn {

int16_t LoadPredicter(Database& db, PredicterState& state, const std::string& name) {
  if (name.empty()) return -1;
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db, "SELECT * FROM tblPredicter WHERE Predicter='" + SqlQuote(name) + "';", true);
  int16_t result = -1;
  if (!rs->Eof()) {
    const int16_t extent = rs->Get("Extent").AsInt16();
    const int32_t excess = rs->Get("Excess").AsInt32();
    const int32_t maxNoise = rs->Get("MaxNoise").AsInt32();
    state.PredictExtent = extent;
    state.PredictExcess = excess;
    state.PredictMaxNoise = maxNoise;
    result = extent;
  }
  DbClose(db, rs);
  return result;
}

int16_t PredictDemand(PredicterState& state, const TrialPlan& trial, int16_t currentWeek,
                      UniformRandom& random) {
  const int16_t i =
      narrow16(int64_t{state.PredictExtent} + currentWeek - 1, "Predicter week index");
  int64_t value = state.PredictExcess;
  if (i < trial.weeks) {
    // A negative Extent can reach before week 1; that is an error, not a read
    // outside the series.
    if (i < 0 || static_cast<size_t>(i) >= trial.weeklyDemand.size()) {
      throw QuarnError(kErrSubscriptOutOfRange,
                       "Subscript out of range: the predicter asks for the demand of week " +
                           decimal(int64_t{i} + 1));
    }
    value = trial.weeklyDemand[static_cast<size_t>(i)];
  }
  int16_t shown = narrow16(value, "Predicted demand");
  if (state.PredictMaxNoise > 0) {
    const double u = random.next();
    const double maxNoise = state.PredictMaxNoise;
    state.PredictNoise = toInt32(u * (2.0 * maxNoise + 1.0) - maxNoise, "Predicter noise");
    shown = narrow16(int64_t{shown} + state.PredictNoise, "Predicted demand");
  }
  return shown;
}

int32_t LastPredictNoise(const PredicterState& state) {
  return state.PredictNoise;
}

}  // namespace quarn
