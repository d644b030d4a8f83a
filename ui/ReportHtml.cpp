#include "ui/ReportHtml.h"

#include <sstream>

#include "ui/OverviewCharts.h"
#include "ui/ReportFolder.h"
#include "ui/ReportPictures.h"
#include "ui/TrialCharts.h"

namespace quarn {

namespace {

std::string number(std::optional<double> value, int decimals) {
  return fixedText(value, decimals).value_or("&ndash;");
}

std::string cellText(const ReportCell& cell) {
  return cell.kind == ReportCell::Kind::Missing ? "&ndash;" : htmlText(cell.text);
}

// The fitted rule of the participant; of a team member, the member's rule
// named "of P07 (Factory)".
std::string fitText(const RecordedTrial& t, const std::optional<RuleFit>& fit) {
  if (t.participantRole == kNoParticipant) return "";
  const std::string member =
      isTeamTrial(t) ? " of " + htmlText(t.subject) + " (" + roleName(t.participantRole) + ")" : "";
  if (!fit) {
    return "<p class=\"fit\">Fitted decision rule" + member + ": fewer than " +
           std::to_string(kMinimumFitWeeks) + " decision weeks.</p>\n";
  }
  const AnchoringParameters& e = fit->estimate;
  const std::optional<AnchoringParameters>& se = fit->standardErrors;
  const auto estimate = [&](double AnchoringParameters::*field, int decimals, bool determined) {
    if (!determined) return std::string("not determined");
    std::string text = number(e.*field, decimals);
    if (se) text += " (SE " + number((*se).*field, decimals) + ")";
    return text;
  };
  const bool determined = fit->determined;
  return "<p class=\"fit\">Fitted decision rule" +
         (member.empty() ? " of the participant" : member) + ": theta " +
         estimate(&AnchoringParameters::theta, 3, true) + ", alpha " +
         estimate(&AnchoringParameters::alpha, 3, determined) + ", beta " +
         estimate(&AnchoringParameters::beta, 3, determined) + ", desired stock S&prime; " +
         estimate(&AnchoringParameters::desiredStock, 1, determined) + "; R&sup2; " +
         number(fit->rSquared, 3) + ", RMSE " + number(fit->rmse, 2) + " over " +
         std::to_string(fit->weeksUsed) + " weeks." +
         (!determined        ? " The orders follow the expected demand alone (alpha near 0 or "
                               "S&prime; at its ceiling): alpha, beta and S&prime; are not "
                               "determined."
          : !fit->identified ? " No standard errors: an estimate's 95 % interval would reach "
                               "past a bound of the parameter, where they do not hold."
                             : "") +
         "</p>\n";
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
.note { color: #555; font-size: .9em; }
td.incomplete { color: #888; })";

std::string picture(const std::string& stem, const QString& title, bool doubleSize) {
  const std::string srcset = doubleSize ? " srcset=\"pictures/" + htmlText(stem) +
                                              ".png 1x, pictures/" + htmlText(stem) + "@2x.png 2x\""
                                        : "";
  return "<img src=\"pictures/" + htmlText(stem) + ".png\"" + srcset + " alt=\"" +
         htmlText(title.toStdString()) + "\" width=\"" +
         std::to_string(kReportPictureSize.width()) + "\" height=\"" +
         std::to_string(kReportPictureSize.height()) + "\">\n";
}

std::string trialCount(size_t trials) {
  return std::to_string(trials) + (trials == 1 ? " trial" : " trials");
}

void writeHead(std::ostream& page, const ReportModel& model) {
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << kReportPageTitle << "\n<style>\n"
       << kStyle << "\n</style>\n</head>\n<body>\n"
       << "<h1>Quarn Game results</h1>\n<p class=\"note\">From " << htmlText(model.source) << ": "
       << model.participantCount << " participants, " << model.chainCount
       << " experiment trials. The measures of every stage are in <a href=\"measures.csv\">"
          "measures.csv</a>, every week in <a href=\"weeks.csv\">weeks.csv</a>, the fitted "
          "decision rules in <a href=\"fits.csv\">fits.csv</a>, the treatment summaries in "
          "<a href=\"summary.csv\">summary.csv</a>; <a href=\"codebook.md\">codebook.md</a> "
          "explains every column.</p>\n";
  if (model.participantCount == 0) page << "<p>No experiment trial is recorded.</p>\n";
}

void writeContents(std::ostream& page, const ReportModel& model) {
  page << "<ul>\n<li><a href=\"#overview\">Study overview</a></li>\n";
  for (size_t i = 0; i < model.participants.size(); ++i) {
    const ReportSection& p = model.participants[i];
    page << "<li><a href=\"#p" << i + 1 << "\">" << htmlText(p.subject)
         << "</a>: " << trialCount(p.trials.size()) << " (<a href=\"" << htmlText(p.stem)
         << ".pdf\">PDF</a>)</li>\n";
  }
  for (size_t i = 0; i < model.teams.size(); ++i) {
    const ReportSection& team = model.teams[i];
    page << "<li><a href=\"#t" << i + 1 << "\">Team " << htmlText(team.subject) << "</a>, setting "
         << htmlText(team.setting) << ": " << htmlText(memberList(team)) << "; "
         << trialCount(team.trials.size()) << " (<a href=\"" << htmlText(team.stem)
         << ".pdf\">PDF</a>)</li>\n";
  }
  page << "</ul>\n";
}

void writeOverview(std::ostream& page, const ReportModel& model, bool doubleSize) {
  page << "<h2 id=\"overview\">Study overview</h2>\n<p class=\"note\">The same on paper: "
          "<a href=\"overview.pdf\">overview.pdf</a>.</p>\n";
  if (model.leagues.empty()) {
    page << "<p>No experiment trial with a participant is recorded.</p>\n";
  }
  page << "<h3>Amplification by stage</h3>\n"
       << picture(kAmplificationPictureStem, amplificationChartTitle(), doubleSize)
       << "<p class=\"note\">" << htmlText(model.amplificationNote) << "</p>\n";
  page << "<h3>" << htmlText(model.summary.caption) << "</h3>\n" << htmlTable(model.summary);
  for (const ReportLeague& league : model.leagues) {
    page << "<h3>" << htmlText(league.table.caption) << "</h3>\n"
         << picture(leaguePictureStem(league), classOrdersChartTitle(league.classTrials),
                    doubleSize)
         << htmlTable(league.table);
  }
}

void writeTrial(std::ostream& page, const ReportSection& section, const ReportTrial& shown,
                const RuleFitsByTrial& fits, bool doubleSize) {
  const RecordedTrial& t = *shown.trial;
  page << "<h3>" << htmlText(trialHeading(t).toStdString()) << "</h3>\n";
  if (shown.incomplete) page << "<p class=\"note\">" << htmlText(*shown.incomplete) << "</p>\n";
  page << "<div class=\"charts\">\n";
  for (const TrialChart kind : trialCharts(t)) {
    page << picture(trialPictureStem(section, t, kind), chartTitle(kind, t), doubleSize);
  }
  page << "</div>\n" << htmlTable(shown.measures);
  for (const RecordedTrial* member : shown.members) {
    const auto fit = fits.find(member);
    page << fitText(*member, fit == fits.end() ? std::nullopt : fit->second);
  }
  if (shown.skippedWeeks) {
    page << "<p class=\"note\">" << htmlText(*shown.skippedWeeks) << "</p>\n";
  }
}

}  // namespace

std::string htmlText(const std::string& text) {
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

std::string htmlTable(const ReportTable& table) {
  std::ostringstream out;
  out << "<table>\n<tr>";
  for (const ReportColumn& column : table.columns)
    out << "<th>" << htmlText(column.header) << "</th>";
  out << "</tr>\n";
  for (const ReportRow& row : table.rows) {
    out << "<tr" << (row.highlighted ? " class=\"participant\"" : "") << ">";
    for (const ReportCell& cell : row.cells) {
      out << "<td" << (cell.kind == ReportCell::Kind::Muted ? " class=\"incomplete\"" : "") << ">"
          << cellText(cell) << "</td>";
    }
    out << "</tr>\n";
  }
  out << "</table>\n";
  for (size_t i = 0; i < table.notes.size(); ++i) {
    out << "<p class=\"note\">" << htmlText(table.notes[i]);
    if (i + 1 == table.notes.size() && !table.rowsFile.empty()) {
      out << " Every row is in <a href=\"" << htmlText(table.rowsFile) << "\">"
          << htmlText(table.rowsFile) << "</a>.";
    }
    out << "</p>\n";
  }
  return out.str();
}

std::string reportPage(const ReportModel& model, const RuleFitsByTrial& fits, bool doubleSize) {
  std::ostringstream page;
  writeHead(page, model);
  writeContents(page, model);
  writeOverview(page, model, doubleSize);
  for (size_t i = 0; i < model.participants.size(); ++i) {
    const ReportSection& p = model.participants[i];
    page << "<h2 id=\"p" << i + 1 << "\">Participant " << htmlText(p.subject) << "</h2>\n";
    for (const ReportTrial& shown : p.trials) writeTrial(page, p, shown, fits, doubleSize);
  }
  for (size_t i = 0; i < model.teams.size(); ++i) {
    const ReportSection& team = model.teams[i];
    page << "<h2 id=\"t" << i + 1 << "\">Team " << htmlText(team.subject) << ", setting "
         << htmlText(team.setting)
         << "</h2>\n<p class=\"note\">Members: " << htmlText(memberList(team))
         << ". Each member's records have rows of their own in measures.csv and weeks.csv; the "
            "charts are drawn once for the team.</p>\n";
    for (const ReportTrial& shown : team.trials) writeTrial(page, team, shown, fits, doubleSize);
  }
  page << "</body>\n</html>\n";
  return page.str();
}

}  // namespace quarn
