#pragma once

// The recorded trials as data for R or pandas: a week-level panel and the
// codebook of every column the report's CSV files hold.

#include <iosfwd>
#include <vector>

#include "analysis/RecordedTrial.h"

namespace quarn {

// weeks.csv: one row per participant, setting, trial, week and stage with
// every figure of the week's datRole row and the decision time; LF line
// ends.
void writeWeeksCsv(std::ostream& out, const std::vector<RecordedTrial>& trials);

// codebook.md: every column of measures.csv, weeks.csv, fits.csv and
// summary.csv with its unit and meaning.
void writeCodebook(std::ostream& out);

}  // namespace quarn
