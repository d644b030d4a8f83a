#pragma once

// The researcher's report of played trials, written into one folder:
//   index.html         participants and trials with their pictures and tables
//   measures.csv       one row per participant x setting x trial x stage
//   fits.csv           the participant's fitted decision rule per trial
//   <participant>.pdf  one page per trial: the four charts and the measures
//   pictures/          the charts as PNG files
// Needs a QApplication (the offscreen platform will do).

#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"

namespace quarn {

struct ReportCounts {
  int participants = 0;
  int trials = 0;
  int pictures = 0;
};

// A participant's or setting's name made safe as part of a file name:
// letters, digits, '-', '_' and '.' are kept, anything else becomes '_'.
std::string fileStem(const std::string& name);

// Writes the report; `source` names the database on the page. Raises
// QuarnError when a file cannot be written.
ReportCounts writeReport(const std::vector<RecordedTrial>& trials, const std::string& folder,
                         const std::string& source);

}  // namespace quarn
