#pragma once

// The researcher's report of played trials, written into one folder:
//   index.html         the study overview, then participants and trials with
//                      their pictures and tables
//   overview.pdf       the study: league tables, treatment summaries, the
//                      amplification by stage, every participant's orders
//   measures.csv       one row per participant x setting x trial x stage
//   weeks.csv          one row per participant x setting x trial x week x stage
//   fits.csv           the participant's fitted decision rule per trial
//   summary.csv        the treatment summaries
//   codebook.md        every column of the CSV files
//   <participant>.pdf  one page per trial: its charts and the measures
//   pictures/          the charts as PNG files (at 2x and as SVG on request)
// The files are written into a temporary folder beside the target and moved
// into place only when every one is complete. Needs a QApplication (the
// offscreen platform will do). The page and the PDFs render one model of the
// report (analysis/ReportModel.h): ReportHtml, ReportPdf; ReportPictures
// draws the charts, ReportFolder stages the folder.

#include <string>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "analysis/ReportModel.h"
#include "analysis/StudyOverview.h"
#include "analysis/TreatmentSummary.h"

namespace quarn {

struct ReportCounts {
  int participants = 0;
  int trials = 0;
  int pictures = 0;  // charts drawn (each as PNG, and at 2x and as SVG when asked for)
};

struct ReportOptions {
  std::string source;       // the database, as the page names it
  bool replace = false;     // write over a folder that holds files
  bool svg = false;         // the pictures as SVG too
  bool doubleSize = false;  // the pictures at twice the size too, for high-density screens
  SummaryOptions summary;
  SimulatedCostsByTrial simulated;  // for the participants' percentiles
  int jobs = 2;                     // threads for the picture files
};

// Writes the report. Raises QuarnError when a file cannot be written (the
// target is then left as it was), or when the folder holds files and
// `replace` is not set.
ReportCounts writeReport(const std::vector<RecordedTrial>& trials, const std::string& folder,
                         const ReportOptions& options);

}  // namespace quarn
