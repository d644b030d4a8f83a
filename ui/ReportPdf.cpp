#include "ui/ReportPdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <memory>

#include "base/Errors.h"
#include "ui/OverviewCharts.h"
#include "ui/ReportFolder.h"
#include "ui/ReportPictures.h"
#include "ui/TrialCharts.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

constexpr int kColumnGap = 3;
constexpr double kLineSpacing = 1.9;  // a line's height over its type's point size

// A line of text and whether it is set in bold.
struct PdfLine {
  QString text;
  bool bold = false;
};

// A PDF document of landscape A4 pages drawn at 96 dots per inch.
class PdfDocument {
 public:
  PdfDocument(const fs::path& path, const QString& title)
      : m_path(path), m_buffer(&m_bytes), m_writer(&m_buffer) {
    m_buffer.open(QIODevice::WriteOnly);
    m_writer.setResolution(96);
    m_writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    m_writer.setTitle(title);
    m_writer.setCreator(QStringLiteral("Quarn Game"));
    m_painter.begin(&m_writer);
    if (!m_painter.isActive()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
  }

  QPainter& painter() { return m_painter; }
  QRectF page() const { return m_painter.viewport(); }
  void newPage() { m_writer.newPage(); }

  void heading(const QString& text, double y = 0) {
    QFont font = m_painter.font();
    font.setPointSizeF(13);
    font.setBold(true);
    m_painter.setFont(font);
    m_painter.drawText(QRectF(0, y, page().width(), 24), Qt::AlignLeft | Qt::AlignVCenter, text);
  }

  // Lines of fixed-width text from `top`, a line's height apart, on to a new
  // page at `bottom`; returns the next line's top.
  double lines(const std::vector<PdfLine>& lines, double left, double top, double pointSize,
               double bottom) {
    const double lineHeight = pointSize * kLineSpacing;
    for (const PdfLine& line : lines) {
      if (top + lineHeight > bottom) {
        newPage();
        top = 0;
      }
      m_painter.setFont(monospace(pointSize, line.bold));
      m_painter.drawText(QPointF(left, top + lineHeight * 0.75), line.text);
      top += lineHeight;
    }
    return top;
  }

  // `text` wrapped into `width` from `top`; returns the top below it.
  double paragraph(const QString& text, double left, double top, double width, double pointSize) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    m_painter.setFont(font);
    const QRectF box(left, top, width, page().height() - top);
    QRectF used;
    m_painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text, &used);
    return top + used.height() + pointSize * 0.5;
  }

  // Ends the document and writes the file.
  void close() {
    m_painter.end();
    writeReportFile(m_path, m_bytes);
  }

  // `pointSize`, or the smaller size at which the widest of `lines` fits
  // into `width`: text past the page's edge would be cut off.
  double fittingSize(const std::vector<PdfLine>& lines, double width, double pointSize = 8.5) {
    const QFontMetricsF metrics(monospace(pointSize, true), &m_writer);
    double widest = 0;
    for (const PdfLine& line : lines) {
      widest = std::max(widest, metrics.horizontalAdvance(line.text));
    }
    return widest > width ? pointSize * width / widest : pointSize;
  }

 private:
  static QFont monospace(double pointSize, bool bold) {
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSizeF(pointSize);
    mono.setBold(bold);
    return mono;
  }

  fs::path m_path;
  QByteArray m_bytes;
  QBuffer m_buffer;
  QPdfWriter m_writer;
  QPainter m_painter;
};

QString cellText(const ReportCell& cell) {
  return cell.kind == ReportCell::Kind::Missing ? QStringLiteral("\u2013")
                                                : QString::fromStdString(cell.text);
}

// The table's lines, each highlighted row in bold.
std::vector<PdfLine> tableLines(const ReportTable& table) {
  std::vector<PdfLine> lines;
  for (const QString& text : pdfTableLines(table)) lines.push_back({text});
  for (size_t i = 0; i < table.rows.size(); ++i) lines[i + 1].bold = table.rows[i].highlighted;
  return lines;
}

std::vector<QString> noteTexts(const ReportTable& table) {
  std::vector<QString> notes;
  for (const std::string& note : table.notes) notes.push_back(QString::fromStdString(note));
  if (!table.rowsFile.empty()) {
    const QString rows =
        QStringLiteral("Every row is in %1.").arg(QString::fromStdString(table.rowsFile));
    if (notes.empty()) {
      notes.push_back(rows);
    } else {
      notes.back() += QStringLiteral(" ") + rows;
    }
  }
  return notes;
}

void writeLeaguePage(PdfDocument& pdf, const ReportLeague& league) {
  const QRectF page = pdf.page();
  pdf.heading(QString::fromStdString(league.table.caption));
  std::unique_ptr<QChart> chart = makeClassOrdersChart(league.classTrials);
  paintChart(*chart, pdf.painter(), QRectF(0, 30, page.width() * 0.55, page.height() * 0.55),
             kReportPictureSize.width());
  const double left = page.width() * 0.57;
  const std::vector<PdfLine> lines = tableLines(league.table);
  const double size = pdf.fittingSize(lines, page.width() - left, 7.5);
  double top = pdf.lines(lines, left, 30, size, page.height() - 14);
  for (const QString& note : noteTexts(league.table)) {
    top = pdf.paragraph(note, left, top + 6, page.width() - left, 8);
  }
}

}  // namespace

std::vector<QString> pdfTableLines(const ReportTable& table) {
  std::vector<qsizetype> widths;
  for (const ReportColumn& column : table.columns) {
    widths.push_back(QString::fromStdString(column.header).size());
  }
  for (const ReportRow& row : table.rows) {
    for (size_t c = 0; c < row.cells.size() && c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], cellText(row.cells[c]).size());
    }
  }
  const auto line = [&](const std::vector<QString>& cells) {
    QString text;
    for (size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
      const int width = static_cast<int>(widths[c]);
      if (c > 0) text += QString(kColumnGap, QLatin1Char(' '));
      text += table.columns[c].align == ColumnAlign::Left ? cells[c].leftJustified(width)
                                                          : cells[c].rightJustified(width);
    }
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    return text;
  };
  std::vector<QString> headers;
  for (const ReportColumn& column : table.columns) {
    headers.push_back(QString::fromStdString(column.header));
  }
  std::vector<QString> lines = {line(headers)};
  for (const ReportRow& row : table.rows) {
    std::vector<QString> cells;
    for (const ReportCell& cell : row.cells) cells.push_back(cellText(cell));
    lines.push_back(line(cells));
  }
  return lines;
}

void writeOverviewPdf(const fs::path& path, const ReportModel& model) {
  PdfDocument pdf(path, QStringLiteral("Quarn Game: study overview"));
  const QRectF page = pdf.page();
  pdf.heading(QStringLiteral("Study overview: %1 participants, %2 experiment trials (%3)")
                  .arg(model.participantCount)
                  .arg(model.chainCount)
                  .arg(QString::fromStdString(model.source)));
  const double chartHeight = page.height() * 0.5;
  std::unique_ptr<QChart> bullwhip = makeAmplificationChart(model.amplification);
  paintChart(*bullwhip, pdf.painter(), QRectF(0, 30, page.width() * 0.62, chartHeight),
             kReportPictureSize.width());
  pdf.paragraph(QString::fromStdString(model.amplificationNote), page.width() * 0.65, 60,
                page.width() * 0.33, 10);
  double y = pdf.lines({{QString::fromStdString(model.summary.caption), true}}, 0, chartHeight + 40,
                       9, page.height());
  const std::vector<PdfLine> summary = tableLines(model.summary);
  y = pdf.lines(summary, 0, y, pdf.fittingSize(summary, page.width()), page.height() - 20);
  for (const QString& note : noteTexts(model.summary)) {
    y = pdf.paragraph(note, 0, y + 4, page.width(), 8);
  }
  for (const ReportLeague& league : model.leagues) {
    pdf.newPage();
    writeLeaguePage(pdf, league);
  }
  pdf.close();
}

void writeSectionPdf(const fs::path& path, const ReportSection& section, bool team) {
  const QString what = team ? QStringLiteral("team") : QStringLiteral("participant");
  const QString title = team ? QStringLiteral("Team %1. %2") : QStringLiteral("Participant %1. %2");
  const QString subject = QString::fromStdString(section.subject);
  PdfDocument pdf(path, QStringLiteral("Quarn Game: %1 %2").arg(what, subject));
  const QRectF page = pdf.page();
  bool first = true;
  for (const ReportTrial& shown : section.trials) {
    const RecordedTrial& t = *shown.trial;
    if (!first) pdf.newPage();
    first = false;
    pdf.heading(title.arg(subject, trialHeading(t)));
    std::vector<PdfLine> lines = tableLines(shown.measures);
    for (const std::optional<std::string>& note : {shown.incomplete, shown.skippedWeeks}) {
      if (note) lines.push_back({QString::fromStdString(*note)});
    }
    const double size = pdf.fittingSize(lines, page.width());
    const double tableHeight =
        std::max(110.0, static_cast<double>(lines.size()) * size * kLineSpacing + 8);
    const double chartsTop = 30;
    const double w = page.width() / 2, h = (page.height() - chartsTop - tableHeight) / 2;
    const std::vector<TrialChart> kinds = trialCharts(t);
    for (size_t i = 0; i < kinds.size(); ++i) {
      std::unique_ptr<QChart> chart = makeChart(kinds[i], t);
      paintChart(*chart, pdf.painter(),
                 QRectF(static_cast<double>(i % 2) * w, chartsTop + static_cast<double>(i / 2) * h,
                        w - 4, h - 4),
                 kReportPictureSize.width());
    }
    pdf.lines(lines, 0, page.height() - tableHeight + 8, size, page.height());
  }
  pdf.close();
}

}  // namespace quarn
