#include "ui/TrialReport.h"

#include <filesystem>
#include <future>
#include <sstream>

#include "analysis/DecisionRuleFit.h"
#include "analysis/Measures.h"
#include "analysis/PanelData.h"
#include "ui/ReportFolder.h"
#include "ui/ReportHtml.h"
#include "ui/ReportJobs.h"
#include "ui/ReportPdf.h"
#include "ui/ReportPictures.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

template <typename Writer>
void writeData(const fs::path& path, Writer writer) {
  std::ostringstream text;
  writer(text);
  writeReportFile(path, text.str());
}

int trialCount(const std::vector<ReportSection>& sections) {
  size_t trials = 0;
  for (const ReportSection& section : sections) trials += section.trials.size();
  return static_cast<int>(trials);
}

}  // namespace

ReportCounts writeReport(const std::vector<RecordedTrial>& trials, const std::string& folder,
                         const ReportOptions& options) {
  StagingFolder staging(fs::path(folder), options.replace);
  const fs::path dir = staging.path();

  writeData(dir / "measures.csv", [&](std::ostream& out) { writeMeasuresCsv(out, trials); });
  writeData(dir / "weeks.csv", [&](std::ostream& out) { writeWeeksCsv(out, trials); });
  writeData(dir / "codebook.md", [&](std::ostream& out) { writeCodebook(out); });
  // The fits run beside the drawing; their text joins the page at the end.
  std::future<std::vector<ParticipantFit>> fitting =
      std::async(std::launch::async, [&] { return fitParticipants(trials, 1); });
  const ReportModel model =
      buildReportModel(trials, {options.source, options.summary, options.simulated});
  writeData(dir / "summary.csv",
            [&](std::ostream& out) { writeSummaryCsv(out, model.treatments, options.summary); });

  FileJobs jobs(options.jobs, 16);
  PictureSink pictures(dir / "pictures", options.svg, options.doubleSize, jobs);
  pictures.writeOverview(model);
  writeOverviewPdf(dir / "overview.pdf", model);
  for (const ReportSection& p : model.participants) {
    pictures.writeSection(p);
    writeSectionPdf(dir / (p.stem + ".pdf"), p, false);
  }
  for (const ReportSection& team : model.teams) {
    pictures.writeSection(team);
    writeSectionPdf(dir / (team.stem + ".pdf"), team, true);
  }
  jobs.finish();

  const std::vector<ParticipantFit> fits = fitting.get();
  writeData(dir / "fits.csv", [&](std::ostream& out) { writeFitsCsv(out, fits); });
  RuleFitsByTrial fitOf;
  for (const ParticipantFit& f : fits) fitOf[f.trial] = f.fit;
  writeReportFile(dir / "index.html", reportPage(model, fitOf, options.doubleSize));

  ReportCounts counts;
  counts.participants = static_cast<int>(model.participantCount);
  counts.trials = trialCount(model.participants) + trialCount(model.teams);
  counts.pictures = pictures.count();
  staging.commit();
  return counts;
}

}  // namespace quarn
