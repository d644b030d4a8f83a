#include "ui/TrialReport.h"

#include <unistd.h>

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "analysis/DecisionRuleFit.h"
#include "analysis/Measures.h"
#include "analysis/PanelData.h"
#include "base/Errors.h"
#include "ui/OverviewCharts.h"
#include "ui/TrialCharts.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

constexpr QSize kPictureSize(800, 450);
// Qt's PNG quality: 100 is no compression, 0 the most; 80 is zlib level 1.
constexpr int kPngQuality = 80;

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

// Whether a person played the stage: the participant, or a team's member.
bool playedByPerson(const RecordedTrial& t, int role) {
  return isTeamTrial(t) ? seatOf(t, role) != nullptr : role == t.participantRole;
}

// Who played the stage, for the measures' table: in a team trial the
// member, "P07 (member 1)", and the player that replaced the member.
std::string playerText(const RecordedTrial& t, int role) {
  const TeamSeat* seat = isTeamTrial(t) ? seatOf(t, role) : nullptr;
  if (!seat) return t.players[static_cast<size_t>(role)];
  std::string text = seat->subject + " (member " + std::to_string(seat->member) + ")";
  if (!seat->player.empty()) {
    text += ", " + seat->player + " from week " + std::to_string(seat->fromWeek);
  }
  return text;
}

std::string measuresTable(const RecordedTrial& t, const TrialMeasures& m) {
  std::ostringstream out;
  out << "<table>\n<tr><th>Stage</th><th>Player</th><th>Total cost</th><th>Mean weekly cost</th>"
         "<th>Mean order</th><th>SD of orders</th><th>Amplification</th><th>Peak backlog</th>"
         "<th>Weeks in backlog</th></tr>\n";
  for (size_t r = 0; r < kRoleCount; ++r) {
    const StageMeasures& s = m.stages[r];
    out << "<tr" << (playedByPerson(t, static_cast<int>(r)) ? " class=\"participant\"" : "")
        << "><td>" << roleName(static_cast<int>(r)) << "</td><td>"
        << html(playerText(t, static_cast<int>(r))) << "</td><td>" << s.totalCost << "</td><td>"
        << figure(s.meanWeeklyCost, 2) << "</td><td>" << figure(s.meanOrder, 1) << "</td><td>"
        << figure(s.sdOrder, 2) << "</td><td>" << figure(s.amplification, 2) << "</td><td>"
        << s.peakBacklog << "</td><td>" << s.weeksInBacklog << "</td></tr>\n";
  }
  out << "</table>\n";
  return out.str();
}

// The fitted rule of the participant; of a team member, the member's rule
// named "of P07 (Factory)".
std::string fitText(const RecordedTrial& t, const std::optional<RuleFit>& fit) {
  if (t.participantRole == kNoParticipant) return "";
  const std::string member =
      isTeamTrial(t) ? " of " + html(t.subject) + " (" + roleName(t.participantRole) + ")" : "";
  if (!fit) {
    return "<p class=\"fit\">Fitted decision rule" + member + ": fewer than " +
           std::to_string(kMinimumFitWeeks) + " decision weeks.</p>\n";
  }
  const AnchoringParameters& e = fit->estimate;
  const std::optional<AnchoringParameters>& se = fit->standardErrors;
  const auto estimate = [&](double AnchoringParameters::*field, int decimals, bool determined) {
    if (!determined) return std::string("not determined");
    std::string text = figure(e.*field, decimals);
    if (se) text += " (SE " + figure((*se).*field, decimals) + ")";
    return text;
  };
  const bool determined = fit->determined;
  return "<p class=\"fit\">Fitted decision rule" +
         (member.empty() ? " of the participant" : member) + ": theta " +
         estimate(&AnchoringParameters::theta, 3, true) + ", alpha " +
         estimate(&AnchoringParameters::alpha, 3, determined) + ", beta " +
         estimate(&AnchoringParameters::beta, 3, determined) + ", desired stock S&prime; " +
         estimate(&AnchoringParameters::desiredStock, 1, determined) + "; R&sup2; " +
         figure(fit->rSquared, 3) + ", RMSE " + figure(fit->rmse, 2) + " over " +
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

// What the page of a trial that is not complete says of it.
std::string incompleteNote(const RecordedTrial& t) {
  return "Incomplete: " + std::to_string(t.weeks.size()) + " of " + std::to_string(t.plannedWeeks) +
         " planned weeks recorded.";
}

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
    if (const TeamSeat* seat = isTeamTrial(t) ? seatOf(t, static_cast<int>(r)) : nullptr) {
      stage += QStringLiteral(" (%1)").arg(QString::fromStdString(seat->subject));
    } else if (static_cast<int>(r) == t.participantRole) {
      stage += QStringLiteral(" (participant)");
    }
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

// One participant's trials, in the order given, or one team's: a team trial
// is drawn once, from the records of the member that tell the most of it.
struct Participant {
  std::string subject;  // the participant, or the team
  std::string stem;     // unique among the participants and teams
  std::vector<const RecordedTrial*> trials;
};

struct Team {
  Participant drawn;  // the team's trials, one each
  std::string setting;
  std::vector<TeamSeat> members;  // everyone who played for the team, by member number
};

// Names each file stem once: a second "Ann" becomes "Ann-2".
class Stems {
 public:
  std::string unique(const std::string& name) {
    std::string stem = fileStem(name);
    if (const int seen = m_seen[stem]++; seen > 0) stem += "-" + std::to_string(seen + 1);
    return stem;
  }

 private:
  std::map<std::string, int> m_seen;
};

// The participants with trials of their own, and the teams.
struct Sections {
  std::vector<Participant> participants;
  std::vector<Team> teams;
};

Sections bySection(const std::vector<RecordedTrial>& trials) {
  Sections sections;
  Stems stems;
  std::map<std::string, size_t> participantAt;
  std::map<std::pair<std::string, std::string>, size_t> teamAt;
  for (const RecordedTrial* t : playedChains(trials)) {
    if (!isTeamTrial(*t)) {
      auto [at, added] = participantAt.try_emplace(t->subject, sections.participants.size());
      if (added) sections.participants.push_back({t->subject, stems.unique(t->subject), {}});
      sections.participants[at->second].trials.push_back(t);
      continue;
    }
    auto [at, added] = teamAt.try_emplace({t->setting, t->team}, sections.teams.size());
    if (added) {
      sections.teams.push_back({{t->team, stems.unique("team-" + t->team), {}}, t->setting, {}});
    }
    Team& team = sections.teams[at->second];
    team.drawn.trials.push_back(t);
    for (const TeamSeat& seat : t->seats) {
      const bool known = std::any_of(team.members.begin(), team.members.end(), [&](const auto& m) {
        return m.member == seat.member && m.subject == seat.subject;
      });
      if (!known) team.members.push_back(seat);
    }
  }
  for (Team& team : sections.teams) {
    std::stable_sort(team.members.begin(), team.members.end(),
                     [](const TeamSeat& a, const TeamSeat& b) { return a.member < b.member; });
  }
  return sections;
}

size_t subjectCount(const std::vector<RecordedTrial>& trials) {
  std::set<std::string> subjects;
  for (const RecordedTrial& t : trials) subjects.insert(t.subject);
  return subjects.size();
}

// "P07 (member 1), P12 (member 2)".
std::string memberList(const Team& team) {
  std::string list;
  for (const TeamSeat& seat : team.members) {
    list +=
        (list.empty() ? "" : ", ") + seat.subject + " (member " + std::to_string(seat.member) + ")";
  }
  return list;
}

std::string pictureStem(const Participant& p, const RecordedTrial& t, TrialChart kind) {
  return p.stem + "-" + fileStem(t.setting) + "-trial" + std::to_string(t.trial) + "-" +
         chartKey(kind).toStdString();
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
}

template <typename Writer>
void writeData(const fs::path& path, Writer writer) {
  std::ostringstream text;
  writer(text);
  writeText(path, text.str());
}

std::string roleText(int16_t role) {
  return hasParticipant(role) ? roleName(role) : std::string("-");
}

constexpr const char* kPageTitle = "<title>Quarn Game results</title>";

// The files a report writes beside its participants' PDFs and pictures/.
bool isReportDataFile(const std::string& name) {
  static const std::set<std::string> names = {"index.html", "overview.pdf", "measures.csv",
                                              "weeks.csv",  "fits.csv",     "summary.csv",
                                              "codebook.md"};
  return names.count(name) != 0;
}

// Why `folder` is not one a report wrote, naming the first entry that is
// not a report's; empty when it is one. A report's folder holds its page
// (with the report's title), the data files, the PDFs the page links to and
// pictures/ with PNG and SVG files, and nothing else.
std::optional<std::string> notAReport(const fs::path& folder) {
  const fs::path index = folder / "index.html";
  std::ifstream in(index, std::ios::binary);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!fs::is_regular_file(fs::symlink_status(index)) ||
      page.find(kPageTitle) == std::string::npos) {
    return std::string("it holds no report's index.html");
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    const fs::file_status status = fs::symlink_status(entry.path());
    if (name == "pictures" && fs::is_directory(status)) {
      for (const fs::directory_entry& picture : fs::directory_iterator(entry.path())) {
        const std::string ext = picture.path().extension().string();
        if (!fs::is_regular_file(fs::symlink_status(picture.path())) ||
            (ext != ".png" && ext != ".svg")) {
          return "it holds pictures/" + picture.path().filename().string();
        }
      }
      continue;
    }
    const bool linkedPdf = entry.path().extension() == ".pdf" &&
                           page.find("href=\"" + name + "\"") != std::string::npos;
    if (!fs::is_regular_file(status) || !(isReportDataFile(name) || linkedPdf)) {
      return "it holds " + name;
    }
  }
  return std::nullopt;
}

// The report is written here and moved to the target only when complete:
// a failure leaves the target as it was and no half-written folder behind.
// Only a folder an earlier report wrote is replaced, never one holding
// anything else (the data folder, the researcher's own files).
class StagingFolder {
 public:
  StagingFolder(const fs::path& target, bool replace) : m_target(target) {
    std::error_code error;
    if (fs::exists(m_target) && !fs::is_directory(m_target)) {
      throw QuarnError(kErrFileNotFound, m_target.string() + " is a file, not a folder");
    }
    if (fs::is_directory(m_target) && !fs::is_empty(m_target, error)) {
      if (!replace) {
        throw QuarnError(kErrFileNotFound, "The folder " + m_target.string() +
                                               " holds files already; --replace writes the "
                                               "report in place of an earlier report");
      }
      if (const std::optional<std::string> why = notAReport(m_target)) {
        throw QuarnError(kErrFileNotFound, "The folder " + m_target.string() +
                                               " is not an earlier report's (" + *why +
                                               "): --replace replaces only a folder a report "
                                               "wrote. Choose an empty or new folder");
      }
    }
    const fs::path parent = m_target.parent_path().empty() ? fs::path(".") : m_target.parent_path();
    m_path =
        parent / ("." + m_target.filename().string() + ".writing-" + std::to_string(::getpid()));
    // The report is made beside the target: a parent that takes no new
    // folder is named, not the hidden folder that could not be made.
    try {
      fs::create_directories(parent);
      fs::remove_all(m_path);
      fs::create_directories(m_path / "pictures");
    } catch (const fs::filesystem_error& e) {
      throw QuarnError(kErrFileNotFound, "Cannot write the report into " + m_target.string() +
                                             ": it is made in a new folder beside it first, and " +
                                             parent.string() + " takes none (" +
                                             e.code().message() + ")");
    }
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder() {
    std::error_code ignored;
    if (!m_committed) fs::remove_all(m_path, ignored);
  }

  const fs::path& path() const { return m_path; }

  // Puts the written folder in the target's place; the earlier folder, if
  // any, goes only once the new one stands.
  void commit() {
    const fs::path old = m_path.string() + "-old";
    const bool hadTarget = fs::exists(m_target);
    if (hadTarget) fs::rename(m_target, old);
    try {
      fs::rename(m_path, m_target);
    } catch (...) {
      if (hadTarget) fs::rename(old, m_target);
      throw;
    }
    m_committed = true;
    std::error_code ignored;
    if (hadTarget) fs::remove_all(old, ignored);
  }

 private:
  fs::path m_target;
  fs::path m_path;
  bool m_committed = false;
};

// Worker threads that encode and write the drawn pictures while the next
// ones are drawn. At most `limit` jobs wait, which bounds the memory the
// pictures take. The first failure is raised by finish().
class FileJobs {
 public:
  FileJobs(int threads, size_t limit) : m_limit(limit) {
    for (int i = 0; i < std::max(threads, 1); ++i) m_threads.emplace_back([this] { work(); });
  }
  FileJobs(const FileJobs&) = delete;
  FileJobs& operator=(const FileJobs&) = delete;
  ~FileJobs() { stop(); }

  void add(std::function<void()> job) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_jobs.size() < m_limit || m_failure; });
    if (m_failure) std::rethrow_exception(m_failure);
    m_jobs.push_back(std::move(job));
    m_changed.notify_all();
  }

  void finish() {
    stop();
    if (m_failure) std::rethrow_exception(m_failure);
  }

 private:
  void work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
        if (m_jobs.empty()) return;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_changed.notify_all();
      }
      try {
        job();
      } catch (...) {
        const std::lock_guard lock(m_mutex);
        if (!m_failure) m_failure = std::current_exception();
        m_jobs.clear();
        m_changed.notify_all();
      }
    }
  }

  void stop() {
    {
      const std::lock_guard lock(m_mutex);
      m_stopping = true;
      m_changed.notify_all();
    }
    for (std::thread& t : m_threads) {
      if (t.joinable()) t.join();
    }
  }

  size_t m_limit;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::function<void()>> m_jobs;
  std::exception_ptr m_failure;
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};

// Encoded in memory and written as any other file, so that a failed write
// (a full disk) is seen: the image writers do not always tell.
void writeBytes(const fs::path& path, const QByteArray& bytes) {
  writeText(path, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void saveImage(const QImage& image, const fs::path& path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // Light compression: the default zlib level took most of the report's
  // time for files a few per cent smaller.
  if (!image.save(&buffer, "PNG", kPngQuality)) {
    throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
  }
  writeBytes(path, bytes);
}

// Draws charts once per picture and hands the images to the file jobs.
class PictureSink {
 public:
  PictureSink(const fs::path& folder, bool svg, bool doubleSize, FileJobs& jobs)
      : m_folder(folder), m_svg(svg), m_doubleSize(doubleSize), m_jobs(jobs) {}

  // Writes `stem`.png (and `stem`@2x.png, `stem`.svg) of `chart`; returns
  // the HTML of the picture.
  std::string write(QChart& chart, const std::string& stem, const QString& title) {
    for (const int scale : {1, 2}) {
      if (scale == 2 && !m_doubleSize) break;
      // Opaque: three channels to encode, not four.
      QImage image(kPictureSize * scale, QImage::Format_RGB32);
      image.fill(Qt::white);
      {
        QPainter painter(&image);
        paintChart(chart, painter, QRectF(QPointF(0, 0), QSizeF(image.size())),
                   kPictureSize.width());
      }
      const fs::path path = m_folder / (stem + (scale == 1 ? ".png" : "@2x.png"));
      m_jobs.add([image = std::move(image), path] { saveImage(image, path); });
    }
    if (m_svg) writeSvg(chart, m_folder / (stem + ".svg"), title);
    ++m_count;
    const std::string srcset = m_doubleSize ? " srcset=\"pictures/" + html(stem) +
                                                  ".png 1x, pictures/" + html(stem) + "@2x.png 2x\""
                                            : "";
    return "<img src=\"pictures/" + html(stem) + ".png\"" + srcset + " alt=\"" +
           html(title.toStdString()) + "\" width=\"" + std::to_string(kPictureSize.width()) +
           "\" height=\"" + std::to_string(kPictureSize.height()) + "\">\n";
  }

  int count() const { return m_count; }

 private:
  static void writeSvg(QChart& chart, const fs::path& path, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(kPictureSize);
    svg.setViewBox(QRect(QPoint(0, 0), kPictureSize));
    svg.setTitle(title);
    {
      QPainter painter(&svg);
      if (!painter.isActive()) throw QuarnError(kErrFileNotFound, "Cannot write " + path.string());
      painter.fillRect(QRect(QPoint(0, 0), kPictureSize), Qt::white);
      paintChart(chart, painter, QRectF(QPointF(0, 0), QSizeF(kPictureSize)), kPictureSize.width());
    }
    writeBytes(path, bytes);
  }

  fs::path m_folder;
  bool m_svg;
  bool m_doubleSize;
  FileJobs& m_jobs;
  int m_count = 0;
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

  // Lines of fixed-width text from `top`, `lineHeight` apart; returns the
  // next line's top.
  double lines(const std::vector<QString>& lines, double left, double top, double pointSize = 8.5) {
    const QFont mono = monospace(pointSize);
    m_painter.setFont(mono);
    const double lineHeight = pointSize * 1.9;
    for (const QString& line : lines) {
      m_painter.drawText(QPointF(left, top + lineHeight * 0.75), line);
      top += lineHeight;
    }
    return top;
  }

  // Ends the document and writes the file.
  void close() {
    m_painter.end();
    writeBytes(m_path, m_bytes);
  }

  // `pointSize`, or the smaller size at which the widest of `lines` fits
  // into `width`: text past the page's edge would be cut off.
  double fittingSize(const std::vector<QString>& lines, double width, double pointSize = 8.5) {
    const QFontMetricsF metrics(monospace(pointSize), &m_writer);
    double widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest > width ? pointSize * width / widest : pointSize;
  }

 private:
  static QFont monospace(double pointSize) {
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSizeF(pointSize);
    return mono;
  }

  fs::path m_path;
  QByteArray m_bytes;
  QBuffer m_buffer;
  QPdfWriter m_writer;
  QPainter m_painter;
};

// One page per trial of a participant or a team (`what`: "participant",
// "team").
void writeParticipantPdf(const fs::path& path, const Participant& p,
                         const QString& what = QStringLiteral("participant")) {
  const QString title = what == QStringLiteral("team") ? QStringLiteral("Team %1. %2")
                                                       : QStringLiteral("Participant %1. %2");
  PdfDocument pdf(path,
                  QStringLiteral("Quarn Game: %1 %2").arg(what, QString::fromStdString(p.subject)));
  const QRectF page = pdf.page();
  bool first = true;
  for (const RecordedTrial* t : p.trials) {
    if (!first) pdf.newPage();
    first = false;
    pdf.heading(title.arg(QString::fromStdString(p.subject), trialHeading(*t)));
    const double tableHeight = 110;
    const double chartsTop = 30;
    const double w = page.width() / 2, h = (page.height() - chartsTop - tableHeight) / 2;
    const std::vector<TrialChart> kinds = trialCharts(*t);
    for (size_t i = 0; i < kinds.size(); ++i) {
      std::unique_ptr<QChart> chart = makeChart(kinds[i], *t);
      paintChart(*chart, pdf.painter(),
                 QRectF(static_cast<double>(i % 2) * w, chartsTop + static_cast<double>(i / 2) * h,
                        w - 4, h - 4),
                 kPictureSize.width());
    }
    std::vector<QString> lines = measureLines(*t, measureTrial(*t));
    if (!isComplete(*t)) lines.push_back(QString::fromStdString(incompleteNote(*t)));
    pdf.lines(lines, 0, page.height() - tableHeight + 8, pdf.fittingSize(lines, page.width()));
  }
  pdf.close();
}

std::string number(std::optional<double> value, int decimals) {
  return value ? figure(value, decimals) : "&ndash;";
}

std::string intervalText(const std::optional<ValueSummary>& s, int decimals) {
  if (!s || !s->interval) return "&ndash;";
  return figure(s->interval->low, decimals) + " to " + figure(s->interval->high, decimals);
}

std::string summaryTable(const std::vector<TreatmentRow>& rows, const SummaryOptions& options) {
  std::ostringstream out;
  out << "<table>\n<tr><th>Setting</th><th>Trial</th><th>Stage</th>";
  for (const std::string& column : options.by) out << "<th>" << html(column) << "</th>";
  out << "<th>n</th><th>Cost mean</th><th>median</th><th>SD</th><th>95 % interval</th>"
         "<th>Amplification mean</th><th>median</th><th>SD</th><th>95 % interval</th></tr>\n";
  for (const TreatmentRow& row : rows) {
    out << "<tr><td>" << html(row.setting) << "</td><td>" << row.trial << "</td><td>"
        << roleText(row.role) << "</td>";
    for (const std::string& value : row.byValues) out << "<td>" << html(value) << "</td>";
    const auto cells = [&](const std::optional<ValueSummary>& s, int decimals) {
      out << "<td>" << number(s ? std::optional(s->mean) : std::nullopt, decimals) << "</td><td>"
          << number(s ? std::optional(s->median) : std::nullopt, decimals) << "</td><td>"
          << number(s ? s->sd : std::nullopt, decimals) << "</td><td>" << intervalText(s, decimals)
          << "</td>";
    };
    out << "<td>" << (row.cost ? row.cost->n : 0) << "</td>";
    cells(row.cost, 1);
    cells(row.amplification, 2);
    out << "</tr>\n";
  }
  out << "</table>\n<p class=\"note\">Complete trials only; the interval is of the mean ("
      << html(intervalMethod(options) == "t" ? "Student's t"
                                             : "percentile " + intervalMethod(options))
      << "). Every row is in <a href=\"summary.csv\">summary.csv</a>.</p>\n";
  return out.str();
}

std::string leagueTable(const LeagueTable& table, bool simulated) {
  std::ostringstream out;
  out << "<table>\n<tr><th>Rank</th><th>Participant</th><th>Stage</th><th>Cost</th>"
         "<th>Chain cost</th>"
      << (simulated ? "<th>Percentile among simulated players</th>" : "") << "</tr>\n";
  for (const LeagueEntry& e : table.entries) {
    out << "<tr><td" << (e.rank ? "" : " class=\"incomplete\"") << ">"
        << (e.rank ? std::to_string(*e.rank) : "incomplete") << "</td><td>" << html(e.subject)
        << "</td><td>" << roleText(e.role) << "</td><td>" << e.cost << "</td><td>" << e.chainCost
        << "</td>" << (simulated ? "<td>" + number(e.percentile, 0) + "</td>" : "") << "</tr>\n";
  }
  out << "</table>\n";
  return out.str();
}

std::vector<QString> leagueLines(const LeagueTable& table, bool simulated) {
  std::vector<QString> lines = {
      QStringLiteral("Rank  Participant           Stage            Cost   Chain cost") +
      (simulated ? QStringLiteral("   Percentile") : QString())};
  for (const LeagueEntry& e : table.entries) {
    QString line = QStringLiteral("%1  %2 %3%4%5")
                       .arg(e.rank ? QString::number(*e.rank) : QStringLiteral("-"), -4)
                       .arg(QString::fromStdString(e.subject).left(20), -21)
                       .arg(QString::fromStdString(roleText(e.role)), -12)
                       .arg(e.cost, 9)
                       .arg(e.chainCost, 13);
    if (simulated) {
      line += QStringLiteral("%1").arg(
          e.percentile ? QString::number(*e.percentile, 'f', 0) : QStringLiteral("-"), 13);
    }
    if (!e.complete) line += QStringLiteral("   (incomplete)");
    lines.push_back(line);
  }
  return lines;
}

std::vector<QString> summaryLines(const std::vector<TreatmentRow>& rows,
                                  const SummaryOptions& options) {
  const auto f = [](std::optional<double> v, int d) {
    return v ? QString::number(*v, 'f', d) : QStringLiteral("-");
  };
  const auto interval = [&](const std::optional<ValueSummary>& s, int d) {
    return s && s->interval
               ? f(s->interval->low, d) + QStringLiteral(" to ") + f(s->interval->high, d)
               : QStringLiteral("-");
  };
  QString by;
  for (const std::string& column : options.by) {
    by += QStringLiteral("%1").arg(QString::fromStdString(column).left(14), -15);
  }
  std::vector<QString> lines = {
      QStringLiteral("Setting     Trial Stage       ") + by +
      QStringLiteral("  n   Cost mean  95 % interval          Ampl. mean  95 % interval")};
  for (const TreatmentRow& row : rows) {
    QString values;
    for (const std::string& value : row.byValues) {
      values += QStringLiteral("%1").arg(QString::fromStdString(value).left(14), -15);
    }
    lines.push_back(
        QStringLiteral("%1%2 %3%4%5%6  %7%8  %9")
            .arg(QString::fromStdString(row.setting).left(11), -12)
            .arg(row.trial, 5)
            .arg(QString::fromStdString(roleText(row.role)), -12)
            .arg(values)
            .arg(row.cost ? static_cast<int>(row.cost->n) : 0, 3)
            .arg(f(row.cost ? std::optional(row.cost->mean) : std::nullopt, 1), 12)
            .arg(interval(row.cost, 1), -22)
            .arg(f(row.amplification ? std::optional(row.amplification->mean) : std::nullopt, 2),
                 10)
            .arg(interval(row.amplification, 2)));
  }
  return lines;
}

// The trials of each setting and trial number with a participant, every
// participant's, in the order of the league tables.
std::vector<std::vector<const RecordedTrial*>> classTrials(const std::vector<RecordedTrial>& trials,
                                                           const std::vector<LeagueTable>& tables) {
  std::vector<std::vector<const RecordedTrial*>> classes;
  for (const LeagueTable& table : tables) {
    std::vector<const RecordedTrial*> members;
    for (const RecordedTrial& t : trials) {
      if (t.setting == table.setting && t.trial == table.trial &&
          hasParticipant(t.participantRole) && !t.weeks.empty()) {
        members.push_back(&t);
      }
    }
    classes.push_back(std::move(members));
  }
  return classes;
}

struct Overview {
  std::vector<LeagueTable> tables;
  std::vector<TreatmentRow> summary;
  std::array<std::optional<StageSpread>, kRoleCount> amplification;
  std::vector<std::vector<const RecordedTrial*>> classes;
};

void writeOverviewPdf(const fs::path& path, const std::vector<RecordedTrial>& trials,
                      const Overview& o, const ReportOptions& options) {
  PdfDocument pdf(path, QStringLiteral("Quarn Game: study overview"));
  const QRectF page = pdf.page();
  pdf.heading(QStringLiteral("Study overview: %1 participants, %2 experiment trials (%3)")
                  .arg(subjectCount(trials))
                  .arg(playedChains(trials).size())
                  .arg(QString::fromStdString(options.source)));
  const double chartHeight = page.height() * 0.5;
  std::unique_ptr<QChart> bullwhip = makeAmplificationChart(o.amplification);
  paintChart(*bullwhip, pdf.painter(), QRectF(0, 30, page.width() * 0.62, chartHeight),
             kPictureSize.width());
  pdf.lines(
      {QStringLiteral("Each box spans the middle half of"),
       QStringLiteral("the stage's amplification ratios"),
       QStringLiteral("over every complete trial, the"),
       QStringLiteral("line its median, the whiskers the"),
       QStringLiteral("lowest and highest. A ratio above"),
       QStringLiteral("1: the orders swung more than the"), QStringLiteral("customer demand.")},
      page.width() * 0.65, 60, 10);
  double y =
      pdf.lines({QStringLiteral("Treatment summaries (participant's stage, complete "
                                "trials; interval of the mean: ") +
                 QString::fromStdString(intervalMethod(options.summary)) + QStringLiteral(")")},
                0, chartHeight + 40, 9);
  const std::vector<QString> summary = summaryLines(o.summary, options.summary);
  const double summarySize = pdf.fittingSize(summary, page.width());
  for (const QString& line : summary) {
    if (y > page.height() - 20) {
      pdf.newPage();
      y = 0;
    }
    y = pdf.lines({line}, 0, y, summarySize);
  }
  const bool simulated = !options.simulated.empty();
  for (size_t i = 0; i < o.tables.size(); ++i) {
    pdf.newPage();
    const LeagueTable& table = o.tables[i];
    pdf.heading(QStringLiteral("Setting %1, trial %2")
                    .arg(QString::fromStdString(table.setting))
                    .arg(table.trial));
    std::unique_ptr<QChart> chart = makeClassOrdersChart(o.classes[i]);
    paintChart(*chart, pdf.painter(), QRectF(0, 30, page.width() * 0.55, page.height() * 0.55),
               kPictureSize.width());
    double top = 30;
    const double left = page.width() * 0.57;
    const std::vector<QString> league = leagueLines(table, simulated);
    const double leagueSize = pdf.fittingSize(league, page.width() - left, 7.5);
    for (const QString& line : league) {
      if (top > page.height() - 14) {
        pdf.newPage();
        top = 0;
      }
      top = pdf.lines({line}, left, top, leagueSize);
    }
  }
  pdf.close();
}

// Whether every run ended with the same cost on each simulated stage.
bool everyRunTheSame(const SimulatedCosts& simulated) {
  return std::all_of(simulated.costs.begin(), simulated.costs.end(),
                     [](const std::vector<double>& costs) {
                       return costs.empty() || costs.front() == costs.back();
                     });
}

SimulatedCosts const* simulatedFor(const ReportOptions& options, const LeagueTable& table) {
  const auto found = options.simulated.find({table.setting, table.trial});
  return found == options.simulated.end() ? nullptr : &found->second;
}

std::string overviewSection(const Overview& o, const ReportOptions& options,
                            PictureSink& pictures) {
  std::ostringstream page;
  page << "<h2 id=\"overview\">Study overview</h2>\n<p class=\"note\">The same on paper: "
          "<a href=\"overview.pdf\">overview.pdf</a>.</p>\n";
  if (o.tables.empty()) page << "<p>No experiment trial with a participant is recorded.</p>\n";
  page << "<h3>Amplification by stage</h3>\n";
  std::unique_ptr<QChart> bullwhip = makeAmplificationChart(o.amplification);
  page << pictures.write(*bullwhip, "overview-amplification", bullwhip->title());
  page << "<p class=\"note\">Each box spans the middle half of the stage's amplification ratios "
          "over every complete trial, the line is the median, the whiskers reach the lowest and "
          "highest.</p>\n";
  page << "<h3>Treatment summaries</h3>\n" << summaryTable(o.summary, options.summary);
  for (size_t i = 0; i < o.tables.size(); ++i) {
    const LeagueTable& table = o.tables[i];
    page << "<h3>Setting " << html(table.setting) << ", trial " << table.trial << "</h3>\n";
    std::unique_ptr<QChart> chart = makeClassOrdersChart(o.classes[i]);
    page << pictures.write(
        *chart,
        "overview-" + fileStem(table.setting) + "-trial" + std::to_string(table.trial) + "-orders",
        chart->title());
    const SimulatedCosts* simulated = simulatedFor(options, table);
    page << leagueTable(table, simulated != nullptr);
    if (simulated) {
      page << "<p class=\"note\">Percentile: the share of " << simulated->runs
           << " simulated runs with " << html(simulated->player)
           << " on the participant's stage (every member's in a team trial) that ended with a "
              "lower cost."
           << (everyRunTheSame(*simulated)
                   ? " Every simulated run came out the same (the setting has no noise), so a "
                     "percentile is only 0, 50 or 100: below, equal to or above that one cost."
                   : "")
           << "</p>\n";
    }
  }
  return page.str();
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
                         const ReportOptions& options) {
  StagingFolder staging(fs::path(folder), options.replace);
  const fs::path dir = staging.path();
  ReportCounts counts;

  writeData(dir / "measures.csv", [&](std::ostream& out) { writeMeasuresCsv(out, trials); });
  writeData(dir / "weeks.csv", [&](std::ostream& out) { writeWeeksCsv(out, trials); });
  writeData(dir / "codebook.md", [&](std::ostream& out) { writeCodebook(out); });
  // The fits run beside the drawing; their text joins the page at the end.
  std::future<std::vector<ParticipantFit>> fitting =
      std::async(std::launch::async, [&] { return fitParticipants(trials, 1); });
  Overview overview;
  overview.summary = summariseTreatments(trials, options.summary);
  writeData(dir / "summary.csv",
            [&](std::ostream& out) { writeSummaryCsv(out, overview.summary, options.summary); });
  overview.tables = leagueTables(trials, options.simulated);
  overview.amplification = amplificationByStage(trials);
  overview.classes = classTrials(trials, overview.tables);

  FileJobs jobs(options.jobs, 16);
  PictureSink pictures(dir / "pictures", options.svg, options.doubleSize, jobs);
  const Sections sections = bySection(trials);
  const std::vector<Participant>& participants = sections.participants;
  // The page in pieces, each but the last followed by the fits of its trial's
  // participants.
  std::vector<std::pair<std::string, std::vector<const RecordedTrial*>>> pieces;
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << kPageTitle << "\n<style>\n"
       << kStyle << "\n</style>\n</head>\n<body>\n"
       << "<h1>Quarn Game results</h1>\n<p class=\"note\">From " << html(options.source) << ": "
       << subjectCount(trials) << " participants, " << playedChains(trials).size()
       << " experiment trials. The measures of every stage are in <a href=\"measures.csv\">"
          "measures.csv</a>, every week in <a href=\"weeks.csv\">weeks.csv</a>, the fitted "
          "decision rules in <a href=\"fits.csv\">fits.csv</a>, the treatment summaries in "
          "<a href=\"summary.csv\">summary.csv</a>; <a href=\"codebook.md\">codebook.md</a> "
          "explains every column.</p>\n";
  if (trials.empty()) page << "<p>No experiment trial is recorded.</p>\n";
  page << "<ul>\n<li><a href=\"#overview\">Study overview</a></li>\n";
  for (size_t i = 0; i < participants.size(); ++i) {
    const Participant& p = participants[i];
    page << "<li><a href=\"#p" << i + 1 << "\">" << html(p.subject) << "</a>: " << p.trials.size()
         << (p.trials.size() == 1 ? " trial" : " trials") << " (<a href=\"" << html(p.stem)
         << ".pdf\">PDF</a>)</li>\n";
  }
  for (size_t i = 0; i < sections.teams.size(); ++i) {
    const Team& team = sections.teams[i];
    page << "<li><a href=\"#t" << i + 1 << "\">Team " << html(team.drawn.subject)
         << "</a>, setting " << html(team.setting) << ": " << html(memberList(team)) << "; "
         << team.drawn.trials.size() << (team.drawn.trials.size() == 1 ? " trial" : " trials")
         << " (<a href=\"" << html(team.drawn.stem) << ".pdf\">PDF</a>)</li>\n";
  }
  page << "</ul>\n" << overviewSection(overview, options, pictures);
  writeOverviewPdf(dir / "overview.pdf", trials, overview, options);

  const auto drawTrial = [&](const Participant& owner, const RecordedTrial* t) {
    page << "<h3>" << html(trialHeading(*t).toStdString()) << "</h3>\n";
    if (!isComplete(*t)) {
      page << "<p class=\"note\">" << incompleteNote(*t) << "</p>\n";
    }
    page << "<div class=\"charts\">\n";
    for (const TrialChart kind : trialCharts(*t)) {
      std::unique_ptr<QChart> chart = makeChart(kind, *t);
      page << pictures.write(*chart, pictureStem(owner, *t, kind), chartTitle(kind, *t));
    }
    page << "</div>\n" << measuresTable(*t, measureTrial(*t));
    pieces.push_back({page.str(), memberRecords(trials, *t)});
    page.str("");
    if (t->skippedWeeks > 0) {
      page << "<p class=\"note\">" << t->skippedWeeks
           << " recorded weeks lacked a stage's row and are left out.</p>\n";
    }
    ++counts.trials;
  };
  for (size_t i = 0; i < participants.size(); ++i) {
    const Participant& p = participants[i];
    page << "<h2 id=\"p" << i + 1 << "\">Participant " << html(p.subject) << "</h2>\n";
    for (const RecordedTrial* t : p.trials) drawTrial(p, t);
    writeParticipantPdf(dir / (p.stem + ".pdf"), p);
  }
  for (size_t i = 0; i < sections.teams.size(); ++i) {
    const Team& team = sections.teams[i];
    page << "<h2 id=\"t" << i + 1 << "\">Team " << html(team.drawn.subject) << ", setting "
         << html(team.setting) << "</h2>\n<p class=\"note\">Members: " << html(memberList(team))
         << ". Each member's records have rows of their own in measures.csv and weeks.csv; the "
            "charts are drawn once for the team.</p>\n";
    for (const RecordedTrial* t : team.drawn.trials) drawTrial(team.drawn, t);
    writeParticipantPdf(dir / (team.drawn.stem + ".pdf"), team.drawn, QStringLiteral("team"));
  }
  counts.participants = static_cast<int>(subjectCount(trials));
  page << "</body>\n</html>\n";
  pieces.push_back({page.str(), {}});
  jobs.finish();
  const std::vector<ParticipantFit> fits = fitting.get();
  writeData(dir / "fits.csv", [&](std::ostream& out) { writeFitsCsv(out, fits); });
  std::map<const RecordedTrial*, std::optional<RuleFit>> fitOf;
  for (const ParticipantFit& f : fits) fitOf[f.trial] = f.fit;
  std::string index;
  for (const auto& [text, members] : pieces) {
    index += text;
    for (const RecordedTrial* member : members) index += fitText(*member, fitOf[member]);
  }
  writeText(dir / "index.html", index);
  counts.pictures = pictures.count();
  staging.commit();
  return counts;
}

}  // namespace quarn
