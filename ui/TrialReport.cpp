#include "ui/TrialReport.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "analysis/DecisionRuleFit.h"
#include "analysis/Measures.h"
#include "base/Errors.h"
#include "ui/TrialCharts.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

constexpr QSize kPictureSize(800, 450);

std::string html(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string figure(std::optional<double> value, int decimals) {
  if (!value) return "&ndash;";
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << *value;
  return out.str();
}

// One participant's trials, in the order given.
struct Participant {
  std::string subject;
  std::string stem;  // unique among the participants
  std::vector<const RecordedTrial*> trials;
};

std::vector<Participant> byParticipant(const std::vector<RecordedTrial>& trials) {
  std::vector<Participant> participants;
  std::map<std::string, size_t> index;
  std::map<std::string, int> stems;
  for (const RecordedTrial& t : trials) {
    auto [at, added] = index.try_emplace(t.subject, participants.size());
    if (added) {
      std::string stem = fileStem(t.subject);
      if (const int seen = stems[stem]++; seen > 0) stem += "-" + std::to_string(seen + 1);
      participants.push_back({t.subject, stem, {}});
    }
    participants[at->second].trials.push_back(&t);
  }
  return participants;
}

std::string pictureName(const Participant& p, const RecordedTrial& t, TrialChart kind) {
  return p.stem + "-" + fileStem(t.setting) + "-trial" + std::to_string(t.trial) + "-" +
         chartKey(kind).toStdString() + ".png";
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
}

std::string measuresTable(const RecordedTrial& t, const TrialMeasures& m) {
  std::ostringstream out;
  out << "<table>\n<tr><th>Stage</th><th>Player</th><th>Total cost</th><th>Mean weekly cost</th>"
         "<th>Mean order</th><th>SD of orders</th><th>Amplification</th><th>Peak backlog</th>"
         "<th>Weeks in backlog</th></tr>\n";
  for (size_t r = 0; r < kRoleCount; ++r) {
    const StageMeasures& s = m.stages[r];
    out << "<tr" << (static_cast<int>(r) == t.participantRole ? " class=\"participant\"" : "")
        << "><td>" << roleName(static_cast<int>(r)) << "</td><td>" << html(t.players[r])
        << "</td><td>" << s.totalCost << "</td><td>" << figure(s.meanWeeklyCost, 2) << "</td><td>"
        << figure(s.meanOrder, 1) << "</td><td>" << figure(s.sdOrder, 2) << "</td><td>"
        << figure(s.amplification, 2) << "</td><td>" << s.peakBacklog << "</td><td>"
        << s.weeksInBacklog << "</td></tr>\n";
  }
  out << "</table>\n";
  return out.str();
}

std::string fitText(const RecordedTrial& t, const std::optional<RuleFit>& fit) {
  if (t.participantRole == kNoParticipant) return "";
  if (!fit) {
    return "<p class=\"fit\">Fitted decision rule: fewer than " + std::to_string(kMinimumFitWeeks) +
           " decision weeks.</p>\n";
  }
  const AnchoringParameters& e = fit->estimate;
  return "<p class=\"fit\">Fitted decision rule of the participant: theta " + figure(e.theta, 3) +
         ", alpha " + figure(e.alpha, 3) + ", beta " + figure(e.beta, 3) +
         ", desired stock S&prime; " + figure(e.desiredStock, 1) + "; R&sup2; " +
         figure(fit->rSquared, 3) + ", RMSE " + figure(fit->rmse, 2) + " over " +
         std::to_string(fit->weeksUsed) + " weeks.</p>\n";
}

constexpr const char* kStyle =
    R"(body { font-family: sans-serif; margin: 2em auto; max-width: 1100px; color: #222; }
h1 { font-size: 1.6em; } h2 { border-bottom: 1px solid #ccc; padding-bottom: .2em; margin-top: 2em; }
h3 { font-size: 1.1em; margin-top: 1.6em; }
.charts { display: grid; grid-template-columns: 1fr 1fr; gap: 8px; }
.charts img { width: 100%; height: auto; border: 1px solid #ddd; }
table { border-collapse: collapse; margin: .8em 0; font-size: .9em; }
th, td { border: 1px solid #ccc; padding: .25em .6em; text-align: right; }
th:first-child, td:first-child, th:nth-child(2), td:nth-child(2) { text-align: left; }
tr.participant { font-weight: bold; background: #f3f3f3; }
.note { color: #555; font-size: .9em; })";

// The measures of a trial as lines of text for the PDF page.
std::vector<QString> measureLines(const RecordedTrial& t, const TrialMeasures& m) {
  auto f = [](std::optional<double> v, int d) {
    return v ? QString::number(*v, 'f', d) : QStringLiteral("-");
  };
  std::vector<QString> lines = {QStringLiteral(
      "Stage                         Total cost   Mean order   SD orders   Amplification   Peak "
      "backlog   Weeks in backlog")};
  for (size_t r = 0; r < kRoleCount; ++r) {
    const StageMeasures& s = m.stages[r];
    QString stage = QString::fromStdString(roleName(static_cast<int>(r)));
    if (static_cast<int>(r) == t.participantRole) stage += QStringLiteral(" (participant)");
    lines.push_back(QStringLiteral("%1%2%3%4%5%6%7")
                        .arg(stage, -28)
                        .arg(s.totalCost, 12)
                        .arg(f(s.meanOrder, 1), 13)
                        .arg(f(s.sdOrder, 2), 12)
                        .arg(f(s.amplification, 2), 16)
                        .arg(s.peakBacklog, 14)
                        .arg(s.weeksInBacklog, 19));
  }
  return lines;
}

void writePdf(const fs::path& path, const Participant& p) {
  QPdfWriter pdf(QString::fromStdString(path.string()));
  pdf.setResolution(96);
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
  pdf.setTitle(QStringLiteral("Quarn Game: participant %1").arg(QString::fromStdString(p.subject)));
  pdf.setCreator(QStringLiteral("Quarn Game"));
  QPainter painter(&pdf);
  if (!painter.isActive()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
  const QRectF page = painter.viewport();
  bool first = true;
  for (const RecordedTrial* t : p.trials) {
    if (!first) pdf.newPage();
    first = false;
    QFont heading = painter.font();
    heading.setPointSizeF(13);
    heading.setBold(true);
    painter.setFont(heading);
    painter.drawText(QRectF(0, 0, page.width(), 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Participant %1. %2")
                         .arg(QString::fromStdString(p.subject), trialHeading(*t)));
    const double tableHeight = 110;
    const double chartsTop = 30;
    const double w = page.width() / 2, h = (page.height() - chartsTop - tableHeight) / 2;
    for (size_t i = 0; i < kTrialCharts.size(); ++i) {
      std::unique_ptr<QChart> chart = makeChart(kTrialCharts[i], *t);
      paintChart(*chart, painter,
                 QRectF(static_cast<double>(i % 2) * w, chartsTop + static_cast<double>(i / 2) * h,
                        w - 4, h - 4),
                 kPictureSize.width());
    }
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSizeF(8.5);
    painter.setFont(mono);
    double y = page.height() - tableHeight + 8;
    for (const QString& line : measureLines(*t, measureTrial(*t))) {
      painter.drawText(QPointF(0, y + 12), line);
      y += 16;
    }
  }
}

}  // namespace

std::string fileStem(const std::string& name) {
  std::string stem;
  for (const char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
    stem += safe ? c : '_';
  }
  // No hidden files, no "." or "..".
  for (size_t i = 0; i < stem.size() && stem[i] == '.'; ++i) stem[i] = '_';
  return stem.empty() ? "_" : stem;
}

ReportCounts writeReport(const std::vector<RecordedTrial>& trials, const std::string& folder,
                         const std::string& source) {
  const fs::path dir(folder);
  fs::create_directories(dir / "pictures");
  ReportCounts counts;

  {
    std::ostringstream csv;
    writeMeasuresCsv(csv, trials);
    writeText(dir / "measures.csv", csv.str());
  }
  const std::vector<ParticipantFit> fits = fitParticipants(trials);
  {
    std::ostringstream csv;
    writeFitsCsv(csv, fits);
    writeText(dir / "fits.csv", csv.str());
  }
  std::map<const RecordedTrial*, std::optional<RuleFit>> fitOf;
  for (const ParticipantFit& f : fits) fitOf[f.trial] = f.fit;

  const std::vector<Participant> participants = byParticipant(trials);
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << "<title>Quarn Game results</title>\n<style>\n"
       << kStyle << "\n</style>\n</head>\n<body>\n"
       << "<h1>Quarn Game results</h1>\n<p class=\"note\">From " << html(source) << ": "
       << participants.size() << " participants, " << trials.size()
       << " experiment trials. The measures of every stage are in <a href=\"measures.csv\">"
          "measures.csv</a>, the fitted decision rules in <a href=\"fits.csv\">fits.csv</a>.</p>\n";
  if (participants.empty()) page << "<p>No experiment trial is recorded.</p>\n";
  page << "<ul>\n";
  for (size_t i = 0; i < participants.size(); ++i) {
    const Participant& p = participants[i];
    page << "<li><a href=\"#p" << i + 1 << "\">" << html(p.subject) << "</a>: " << p.trials.size()
         << (p.trials.size() == 1 ? " trial" : " trials") << " (<a href=\"" << html(p.stem)
         << ".pdf\">PDF</a>)</li>\n";
  }
  page << "</ul>\n";

  for (size_t i = 0; i < participants.size(); ++i) {
    const Participant& p = participants[i];
    page << "<h2 id=\"p" << i + 1 << "\">Participant " << html(p.subject) << "</h2>\n";
    for (const RecordedTrial* t : p.trials) {
      page << "<h3>" << html(trialHeading(*t).toStdString()) << "</h3>\n<div class=\"charts\">\n";
      for (const TrialChart kind : kTrialCharts) {
        const std::string name = pictureName(p, *t, kind);
        const QImage image = renderChart(kind, *t, kPictureSize);
        if (!image.save(QString::fromStdString((dir / "pictures" / name).string()), "PNG")) {
          throw QuarnError(kErrFileNotFound, "Cannot write " + (dir / "pictures" / name).string());
        }
        ++counts.pictures;
        page << "<img src=\"pictures/" << html(name) << "\" alt=\""
             << html(chartTitle(kind, *t).toStdString()) << "\" width=\"" << kPictureSize.width()
             << "\" height=\"" << kPictureSize.height() << "\">\n";
      }
      page << "</div>\n" << measuresTable(*t, measureTrial(*t)) << fitText(*t, fitOf[t]);
      if (t->skippedWeeks > 0) {
        page << "<p class=\"note\">" << t->skippedWeeks
             << " recorded weeks lacked a stage's row and are left out.</p>\n";
      }
      ++counts.trials;
    }
    writePdf(dir / (p.stem + ".pdf"), p);
    ++counts.participants;
  }
  page << "</body>\n</html>\n";
  writeText(dir / "index.html", page.str());
  return counts;
}

}  // namespace quarn
