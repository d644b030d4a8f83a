#pragma once

// The charts of a report drawn as picture files: PNG (and at twice the size
// and as SVG on request) in the report's pictures/ folder.

#include <QSize>
#include <QString>
#include <QtCharts/QChart>
#include <filesystem>
#include <string>

#include "analysis/ReportModel.h"
#include "ui/ReportJobs.h"
#include "ui/TrialCharts.h"

namespace quarn {

inline constexpr QSize kReportPictureSize(800, 450);

// The pictures' names, without the extension.
std::string trialPictureStem(const ReportSection& section, const RecordedTrial& trial,
                             TrialChart kind);
inline constexpr const char* kAmplificationPictureStem = "overview-amplification";
std::string leaguePictureStem(const ReportLeague& league);

// Draws charts once per picture and hands the images to the file jobs.
class PictureSink {
 public:
  PictureSink(const std::filesystem::path& folder, bool svg, bool doubleSize, FileJobs& jobs)
      : m_folder(folder), m_svg(svg), m_doubleSize(doubleSize), m_jobs(jobs) {}

  // Writes `stem`.png (and `stem`@2x.png, `stem`.svg) of `chart`.
  void write(QChart& chart, const std::string& stem, const QString& title);

  // The charts of the study overview, and of a section's trials.
  void writeOverview(const ReportModel& model);
  void writeSection(const ReportSection& section);

  int count() const { return m_count; }

 private:
  std::filesystem::path m_folder;
  bool m_svg;
  bool m_doubleSize;
  FileJobs& m_jobs;
  int m_count = 0;
};

}  // namespace quarn
