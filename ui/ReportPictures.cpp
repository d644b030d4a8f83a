#include "ui/ReportPictures.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <memory>

#include "base/Errors.h"
#include "ui/OverviewCharts.h"
#include "ui/ReportFolder.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

// Qt's PNG quality: 100 is no compression, 0 the most; 80 is zlib level 1.
constexpr int kPngQuality = 80;

void saveImage(const QImage& image, const fs::path& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // Light compression: the default zlib level took most of the report's
  // time for files a few per cent smaller.
  if (!image.save(&buffer, "PNG", kPngQuality)) {
    throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
  }
  writeReportFile(path, bytes);
}

void saveSvg(QChart& chart, const fs::path& path, const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(kReportPictureSize);
  svg.setViewBox(QRect(QPoint(0, 0), kReportPictureSize));
  svg.setTitle(title);
  {
    QPainter painter(&svg);
    if (!painter.isActive()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
    painter.fillRect(QRect(QPoint(0, 0), kReportPictureSize), Qt::white);
    paintChart(chart, painter, QRectF(QPointF(0, 0), QSizeF(kReportPictureSize)),
               kReportPictureSize.width());
  }
  writeReportFile(path, bytes);
}

}  // namespace

std::string trialPictureStem(const ReportSection& section, const RecordedTrial& trial,
                             TrialChart kind) {
  return section.stem + "-" + fileStem(trial.setting) + "-trial" + std::to_string(trial.trial) +
         "-" + chartKey(kind).toStdString();
}

std::string leaguePictureStem(const ReportLeague& league) {
  return "overview-" + fileStem(league.setting) + "-trial" + std::to_string(league.trial) +
         "-orders";
}

void PictureSink::write(QChart& chart, const std::string& stem, const QString& title) {
  for (const int scale : {1, 2}) {
    if (scale == 2 && !m_doubleSize) break;
    // Opaque: three channels to encode, not four.
    QImage image(kReportPictureSize * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      paintChart(chart, painter, QRectF(QPointF(0, 0), QSizeF(image.size())),
                 kReportPictureSize.width());
    }
    const fs::path path = m_folder / (stem + (scale == 1 ? ".png" : "@2x.png"));
    m_jobs.add([image = std::move(image), path] { saveImage(image, path); });
  }
  if (m_svg) saveSvg(chart, m_folder / (stem + ".svg"), title);
  ++m_count;
}

void PictureSink::writeOverview(const ReportModel& model) {
  const std::unique_ptr<QChart> bullwhip = makeAmplificationChart(model.amplification);
  write(*bullwhip, kAmplificationPictureStem, bullwhip->title());
  for (const ReportLeague& league : model.leagues) {
    const std::unique_ptr<QChart> chart = makeClassOrdersChart(league.classTrials);
    write(*chart, leaguePictureStem(league), chart->title());
  }
}

void PictureSink::writeSection(const ReportSection& section) {
  for (const ReportTrial& shown : section.trials) {
    const RecordedTrial& t = *shown.trial;
    for (const TrialChart kind : trialCharts(t)) {
      const std::unique_ptr<QChart> chart = makeChart(kind, t);
      write(*chart, trialPictureStem(section, t, kind), chartTitle(kind, t));
    }
  }
}

}  // namespace quarn
