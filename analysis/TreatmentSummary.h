#pragma once

// The participants' results by treatment: for each setting, trial and stage
// the participants played (and any treatment column asked for), how their
// costs and amplification ratios spread, with a 95 % interval of the mean.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "analysis/Statistics.h"

namespace quarn {

// The treatment columns a summary can be split by, as measures.csv names
// them.
const std::vector<std::string>& treatmentColumns();

// The value of a treatment column for a trial; the column is named apart
// from letter case. Raises QuarnError naming the known columns for another.
std::string treatmentValue(const RecordedTrial& trial, const std::string& column);

// The known column `typed` names, apart from letter case; raises QuarnError
// naming the known ones for another.
std::string treatmentColumn(const std::string& typed);

struct SummaryOptions {
  std::vector<std::string> by;  // treatment columns to split by
  int bootstrap = 0;            // resamples; 0 for the t interval
  uint64_t seed = 0;            // of the bootstrap
};

struct ValueSummary {
  size_t n = 0;
  double mean = 0.0;
  double median = 0.0;
  std::optional<double> sd;          // empty for one value
  std::optional<Interval> interval;  // 95 % of the mean; empty when it cannot be had
};

// Empty for no values.
std::optional<ValueSummary> summariseValues(const std::vector<double>& values,
                                            const SummaryOptions& options);

struct TreatmentRow {
  std::string setting;
  int16_t trial = 0;
  int16_t role = kNoParticipant;      // the stage the participants played
  std::vector<std::string> byValues;  // one per SummaryOptions::by
  std::optional<ValueSummary> cost;
  std::optional<ValueSummary> amplification;
  int incomplete = 0;  // trials of this treatment left out as incomplete
};

// One row per treatment over the complete trials with a participant, in the
// order of setting, trial, stage and the values split by.
std::vector<TreatmentRow> summariseTreatments(const std::vector<RecordedTrial>& trials,
                                              const SummaryOptions& options);

// "t" or "bootstrap 2000 seed 7".
std::string intervalMethod(const SummaryOptions& options);

// summary.csv (LF line ends).
void writeSummaryCsv(std::ostream& out, const std::vector<TreatmentRow>& rows,
                     const SummaryOptions& options);

}  // namespace quarn
