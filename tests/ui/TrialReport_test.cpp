#include "ui/TrialReport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QImage>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "base/Errors.h"
#include "tests/support/TeamRecords.h"
#include "tests/ui/ChartsFixture.h"

namespace quarn::testing {
namespace {

namespace fs = std::filesystem;

// A folder of its own, removed afterwards.
struct ReportFolder {
  ReportFolder()
      : path(fs::temp_directory_path() / ("quarn-report-" + std::to_string(::getpid()))) {
    fs::remove_all(path);
  }
  ~ReportFolder() { fs::remove_all(path); }
  fs::path path;
};

ReportOptions from(const std::string& source) {
  ReportOptions options;
  options.source = source;
  return options;
}

void writeText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(TrialReport, WritesPicturesPdfsIndexAndMeasures) {
  ReportFolder out;
  RecordedTrial other = sampleTrial(1, 3);
  other.subject = "S2";
  const ReportCounts counts = writeReport({sampleTrial(1, 0), sampleTrial(2, 1), other},
                                          out.path.string(), from("lab.mdb"));
  EXPECT_EQ(counts.participants, 2);
  EXPECT_EQ(counts.trials, 3);
  // Four per trial; the amplification by stage and the class's orders in
  // trials 1 and 2.
  EXPECT_EQ(counts.pictures, 12 + 3);
  const std::string index = readFile(out.path / "index.html");
  for (const char* chart : {"orders", "inventory", "participant", "costs"}) {
    const std::string name = std::string("S1-Lab-trial2-") + chart + ".png";
    EXPECT_NE(index.find("src=\"pictures/" + name + "\""), std::string::npos) << name;
    EXPECT_EQ(QImage(QString::fromStdString((out.path / "pictures" / name).string())).size(),
              QSize(800, 450))
        << name;
  }
  EXPECT_EQ(index.find("http"), std::string::npos);  // nothing from outside
  EXPECT_EQ(readFile(out.path / "S2.pdf").substr(0, 5), "%PDF-");
  const std::string measures = readFile(out.path / "measures.csv");
  const std::string fits = readFile(out.path / "fits.csv");
  EXPECT_EQ(std::count(measures.begin(), measures.end(), '\n'), 1 + 3 * 4);
  EXPECT_EQ(std::count(fits.begin(), fits.end(), '\n'), 1 + 3);
}

TEST(TrialReport, KeepsNamesInsideTheFolderAndEscapedOnThePage) {
  ReportFolder out;
  RecordedTrial trial = sampleTrial(1, 0);
  trial.subject = "../<b>Ann";
  trial.setting = "a/b";
  writeReport({trial}, out.path.string(), from("lab.mdb"));
  EXPECT_TRUE(fs::exists(out.path / "____b_Ann.pdf"));
  EXPECT_TRUE(fs::exists(out.path / "pictures" / "____b_Ann-a_b-trial1-orders.png"));
  EXPECT_FALSE(fs::exists(out.path.parent_path() / "<b>Ann.pdf"));
  const std::string index = readFile(out.path / "index.html");
  EXPECT_NE(index.find("Participant ../&lt;b&gt;Ann"), std::string::npos);
  EXPECT_EQ(index.find("<b>Ann"), std::string::npos);
}

TEST(TrialReport, WritesTheStudyOverviewAndTheAnalysisFiles) {
  ReportFolder out;
  RecordedTrial other = sampleTrial(1, 3);
  other.subject = "S2";
  ReportOptions options = from("lab.mdb");
  options.svg = true;
  options.doubleSize = true;
  options.simulated[{"Lab", 1}].player = "Sterman";
  options.simulated[{"Lab", 1}].runs = 4;
  options.simulated[{"Lab", 1}].costs[kWholesaler] = {100, 200, 300, 400};
  writeReport({sampleTrial(1, 0), other}, out.path.string(), options);
  EXPECT_EQ(readFile(out.path / "overview.pdf").substr(0, 5), "%PDF-");
  for (const char* file : {"weeks.csv", "summary.csv", "codebook.md"}) {
    EXPECT_TRUE(fs::exists(out.path / file)) << file;
  }
  EXPECT_NE(readFile(out.path / "pictures" / "overview-amplification.svg").find("<svg"),
            std::string::npos);
  EXPECT_EQ(QImage(QString::fromStdString(
                       (out.path / "pictures" / "S1-Lab-trial1-orders@2x.png").string()))
                .size(),
            QSize(1600, 900));
  const std::string index = readFile(out.path / "index.html");
  EXPECT_NE(index.find("Study overview"), std::string::npos);
  EXPECT_NE(index.find("overview-Lab-trial1-orders.png"), std::string::npos);
  // S1's Wholesaler cost 200 ranks first; 1 of 4 runs lower, 1 equal.
  EXPECT_NE(index.find("<tr><td>1</td><td>S1</td><td>Wholesaler</td><td>200</td><td>600</td>"
                       "<td>38</td></tr>"),
            std::string::npos);
  EXPECT_EQ(index.find("Every simulated run came out the same"), std::string::npos);
}

// Without noise every run is the same game: the page says why the
// percentiles are 0, 50 or 100.
TEST(TrialReport, SaysWhenEverySimulatedRunCameOutTheSame) {
  ReportFolder out;
  ReportOptions options = from("lab.mdb");
  options.simulated[{"Lab", 1}].player = "Sterman";
  options.simulated[{"Lab", 1}].runs = 3;
  options.simulated[{"Lab", 1}].costs[kWholesaler] = {150, 150, 150};
  writeReport({sampleTrial(1, 0)}, out.path.string(), options);
  EXPECT_NE(readFile(out.path / "index.html").find("Every simulated run came out the same"),
            std::string::npos);
}

// An empty database: the overview's amplification chart stands empty, on
// an axis that has room for its empty boxes (no logarithm of 0).
TEST(TrialReport, WritesAnEmptyStudyWithoutLogarithmsOfZero) {
  static QStringList warnings;
  warnings.clear();
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& message) { warnings << message; });
  ReportFolder out;
  writeReport({}, out.path.string(), from("empty.mdb"));
  qInstallMessageHandler(previous);
  EXPECT_TRUE(warnings.filter("Logarithms").isEmpty()) << warnings.join("\n").toStdString();
  EXPECT_NE(readFile(out.path / "index.html").find("No experiment trial is recorded"),
            std::string::npos);
}

// A word of a PDF's text as pdftotext lays it out, with its page.
struct PdfWord {
  std::string text;
  double xMin = 0, xMax = 0, yMax = 0, pageWidth = 0, pageHeight = 0;
  int page = 0;
};

// The words that pdftotext finds on the pages of `pdf`; it leaves out what
// lies beyond a page's edge.
std::vector<PdfWord> pdfWords(const fs::path& pdf) {
  const fs::path layout = pdf.string() + ".words.html";
  const std::string command = "pdftotext -bbox '" + pdf.string() + "' '" + layout.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  const std::string text = readFile(layout);
  fs::remove(layout);
  std::vector<PdfWord> words;
  const std::regex item(
      R"re(<page width="([\d.]+)" height="([\d.]+)">)re"
      R"re(|<word xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  double width = 0, height = 0;
  int page = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), item); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      width = std::stod(m[1]);
      height = std::stod(m[2]);
      ++page;
    } else {
      words.push_back(
          {m[6], std::stod(m[3]), std::stod(m[4]), std::stod(m[5]), width, height, page});
    }
  }
  return words;
}

// The words from `first` on, joined by blanks, whose first word is `first`;
// every one inside its page. Empty when `first` is not on a page.
std::string wordsInsideFrom(const std::vector<PdfWord>& words, const std::string& first,
                            size_t count) {
  for (size_t i = 0; i + count <= words.size(); ++i) {
    if (words[i].text != first) continue;
    std::string joined;
    for (size_t k = i; k < i + count; ++k) {
      const PdfWord& w = words[k];
      EXPECT_LE(w.xMax, w.pageWidth) << w.text;
      EXPECT_LE(w.yMax, w.pageHeight) << w.text;
      joined += (joined.empty() ? "" : " ") + w.text;
    }
    return joined;
  }
  return "";
}

// Text of the page or of pdftotext's word list, the entities replaced.
std::string unescaped(std::string text) {
  const std::vector<std::pair<std::string, std::string>> entities = {
      {"&lt;", "<"},  {"&gt;", ">"},         {"&quot;", "\""},
      {"&#39;", "'"}, {"&ndash;", "\u2013"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : entities) {
    for (size_t at = text.find(entity); at != std::string::npos;
         at = text.find(entity, at + character.size())) {
      text.replace(at, entity.size(), character);
    }
  }
  return text;
}

using CellLine = std::vector<std::string>;

// The tables of the page: each its header, then its rows, as cell texts.
std::vector<std::vector<CellLine>> pageTables(const std::string& page) {
  static const std::regex table(R"(<table>([\s\S]*?)</table>)");
  static const std::regex row(R"(<tr[^>]*>([\s\S]*?)</tr>)");
  static const std::regex cell(R"(<t[hd][^>]*>([\s\S]*?)</t[hd]>)");
  std::vector<std::vector<CellLine>> tables;
  for (auto t = std::sregex_iterator(page.begin(), page.end(), table); t != std::sregex_iterator();
       ++t) {
    const std::string body = (*t)[1];
    std::vector<CellLine> lines;
    for (auto r = std::sregex_iterator(body.begin(), body.end(), row); r != std::sregex_iterator();
         ++r) {
      const std::string cells = (*r)[1];
      CellLine line;
      for (auto c = std::sregex_iterator(cells.begin(), cells.end(), cell);
           c != std::sregex_iterator(); ++c) {
        // A blank cell leaves no word on paper.
        if ((*c)[1].length() > 0) line.push_back(unescaped((*c)[1]));
      }
      lines.push_back(line);
    }
    tables.push_back(lines);
  }
  return tables;
}

// The PDF's text lines split into cells: words on one baseline of a page,
// a new cell where the gap to the next word is wider than two characters.
std::vector<CellLine> pdfCellLines(const std::vector<PdfWord>& words) {
  std::vector<std::vector<PdfWord>> lines;
  for (const PdfWord& w : words) {
    const auto sameLine = [&](const std::vector<PdfWord>& line) {
      return line.front().page == w.page && std::abs(line.front().yMax - w.yMax) < 0.5;
    };
    const auto line = std::find_if(lines.begin(), lines.end(), sameLine);
    if (line == lines.end()) {
      lines.push_back({w});
    } else {
      line->push_back(w);
    }
  }
  std::vector<CellLine> cellLines;
  for (std::vector<PdfWord>& line : lines) {
    std::sort(line.begin(), line.end(),
              [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
    CellLine cells;
    const PdfWord* previous = nullptr;
    for (const PdfWord& w : line) {
      const std::string text = unescaped(w.text);
      const double charWidth = (w.xMax - w.xMin) / static_cast<double>(std::max<size_t>(
                                                       QString::fromStdString(text).size(), 1));
      if (previous && w.xMin - previous->xMax < 2 * charWidth) {
        cells.back() += " " + text;
      } else {
        cells.push_back(text);
      }
      previous = &w;
    }
    cellLines.push_back(cells);
  }
  return cellLines;
}

// Whether `line` ends with the cells of `expected` (a chart's labels may
// stand left of a table beside it).
bool endsWith(const CellLine& line, const CellLine& expected) {
  return line.size() >= expected.size() &&
         std::equal(expected.begin(), expected.end(), line.end() - expected.size());
}

// Whether the lines hold the table's header followed by its rows.
bool holdsTable(const std::vector<CellLine>& lines, const std::vector<CellLine>& table) {
  for (size_t at = 0; at + table.size() <= lines.size(); ++at) {
    size_t matched = 0;
    while (matched < table.size() && endsWith(lines[at + matched], table[matched])) ++matched;
    if (matched == table.size()) return true;
  }
  return false;
}

// S2 stopped after 4 of 10 weeks: both PDFs say so, inside the page.
TEST(TrialReport, SaysAnIncompleteTrialInsideThePagesOfBothPdfs) {
  ReportFolder out;
  RecordedTrial killed = sampleTrial(1, 3);
  killed.subject = "S2-with-a-long-ID";
  killed.weeks.resize(4);
  ReportOptions options = from("lab.mdb");
  options.simulated[{"Lab", 1}].player = "Sterman";
  options.simulated[{"Lab", 1}].runs = 4;
  options.simulated[{"Lab", 1}].costs[kWholesaler] = {100, 200, 300, 400};
  writeReport({sampleTrial(1, 0), killed}, out.path.string(), options);
  EXPECT_EQ(wordsInsideFrom(pdfWords(out.path / "overview.pdf"), "incomplete", 1), "incomplete");
  EXPECT_EQ(wordsInsideFrom(pdfWords(out.path / "S2-with-a-long-ID.pdf"), "Incomplete:", 7),
            "Incomplete: 4 of 10 planned weeks recorded.");
}

// Every table of the page stands in one of the PDFs with the same cells:
// the measures, the treatment summaries and the league tables.
TEST(TrialReport, ShowsTheSameTableCellsInThePageAndThePdfs) {
  ReportFolder out;
  RecordedTrial killed = sampleTrial(1, 3);
  killed.subject = "S2 & <Lee>";
  killed.weeks.resize(4);
  RecordedTrial skipped = sampleTrial(2, 1);
  skipped.skippedWeeks = 2;
  skipped.predicter = "Smooth";
  std::vector<RecordedTrial> trials = teamTrialRecords(
      teamTrialRows("Red", 2, {{"P07", kFactory}, {"P12", kRetailer, "Sterman", 6}}));
  for (RecordedTrial t : {sampleTrial(1, 0), skipped, killed}) trials.push_back(t);
  ReportOptions options = from("lab.mdb");
  options.summary.by = {"Predicter"};
  options.simulated[{"Lab", 1}].player = "Sterman";
  options.simulated[{"Lab", 1}].runs = 4;
  options.simulated[{"Lab", 1}].costs[kWholesaler] = {100, 200, 300, 400};
  writeReport(trials, out.path.string(), options);

  std::vector<CellLine> pdfLines;
  for (const auto& entry : fs::directory_iterator(out.path)) {
    if (entry.path().extension() != ".pdf") continue;
    const std::vector<CellLine> lines = pdfCellLines(pdfWords(entry.path()));
    pdfLines.insert(pdfLines.end(), lines.begin(), lines.end());
  }
  const std::vector<std::vector<CellLine>> tables = pageTables(readFile(out.path / "index.html"));
  // The summary, two league tables and the measures of four trials.
  EXPECT_EQ(tables.size(), 1 + 2 + 4);
  for (const std::vector<CellLine>& table : tables) {
    std::string header;
    for (const std::string& cell : table.front()) header += cell + " | ";
    EXPECT_TRUE(holdsTable(pdfLines, table)) << header << "\n" << table.size() - 1 << " rows";
  }
}

TEST(TrialReport, DrawsNoParticipantChartForATrialWithoutOne) {
  ReportFolder out;
  const ReportCounts counts =
      writeReport({sampleTrial(1, 0, kNoParticipant)}, out.path.string(), from("lab.mdb"));
  EXPECT_EQ(counts.pictures, 3 + 1);  // and the amplification by stage
  EXPECT_FALSE(fs::exists(out.path / "pictures" / "S1-Lab-trial1-participant.png"));
}

TEST(TrialReport, RefusesAFolderHoldingFilesUnlessToldToReplaceThem) {
  ReportFolder out;
  writeReport({sampleTrial(1, 0)}, out.path.string(), from("lab.mdb"));
  writeText(out.path / "pictures" / "old.png", "earlier run");
  EXPECT_THROW(writeReport({sampleTrial(2, 0)}, out.path.string(), from("lab.mdb")), QuarnError);
  EXPECT_TRUE(fs::exists(out.path / "pictures" / "old.png"));
  ReportOptions options = from("lab.mdb");
  options.replace = true;
  writeReport({sampleTrial(2, 0)}, out.path.string(), options);
  EXPECT_FALSE(fs::exists(out.path / "pictures" / "old.png"));  // nothing earlier stays
  EXPECT_TRUE(fs::exists(out.path / "pictures" / "S1-Lab-trial2-orders.png"));
}

// --replace pointed at the data folder, or at a report beside which the
// researcher keeps files of their own: refused, saying why, and every file
// stays.
TEST(TrialReport, ReplacesOnlyAFolderAReportWrote) {
  ReportOptions options = from("lab.mdb");
  options.replace = true;
  const auto refusal = [&](const fs::path& folder) {
    try {
      writeReport({sampleTrial(1, 0)}, folder.string(), options);
    } catch (const QuarnError& e) {
      return e.description();
    }
    return std::string("replaced");
  };
  ReportFolder folders;
  const fs::path data = folders.path / "data";
  fs::create_directories(data);
  writeText(data / "quarn.mdb", "the experiment");
  writeText(data / "P1.txt", "a participant's weeks");
  EXPECT_NE(refusal(data).find("is not an earlier report's (it holds no report's index.html)"),
            std::string::npos)
      << refusal(data);
  EXPECT_EQ(readFile(data / "quarn.mdb"), "the experiment");
  EXPECT_TRUE(fs::exists(data / "P1.txt"));

  const fs::path report = folders.path / "report";
  writeReport({sampleTrial(1, 0)}, report.string(), from("lab.mdb"));
  for (const std::string own : {"notes.txt", "draft.pdf", "pictures/figure.tif"}) {
    writeText(report / own, "the researcher's");
    EXPECT_NE(refusal(report).find("it holds " + own), std::string::npos) << own;
    EXPECT_TRUE(fs::exists(report / own));
    fs::remove(report / own);
  }
  EXPECT_EQ(refusal(report), "replaced");
}

// A parent that takes no new folder (here one the kernel owns, since the
// tests may run as root) is named in the refusal, not the hidden folder
// the report is first written to.
TEST(TrialReport, NamesTheParentThatTakesNoNewFolder) {
  try {
    writeReport({sampleTrial(1, 0)}, "/proc/self/report", from("lab.mdb"));
    FAIL() << "the report was written";
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.description().find(".writing"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("/proc/self takes none"), std::string::npos) << e.description();
  }
}

// A full disk: no file may grow past 200 kB. The report fails and leaves
// neither a half-written folder nor its temporary one behind.
TEST(TrialReport, LeavesNothingBehindWhenAFileCannotBeWritten) {
  ReportFolder out;
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 200 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  std::vector<RecordedTrial> many;
  for (int16_t t = 1; t <= 30; ++t) many.push_back(sampleTrial(t, t));
  EXPECT_THROW(writeReport(many, out.path.string(), from("lab.mdb")), QuarnError);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(fs::exists(out.path));
  for (const auto& entry : fs::directory_iterator(out.path.parent_path())) {
    EXPECT_EQ(entry.path().filename().string().find("." + out.path.filename().string()),
              std::string::npos)
        << entry.path();
  }
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(TrialReport, DrawsATeamTrialOnceWithTheTeamChartFirst) {
  for (const std::vector<TeamMemberPlan>& members : pairAndFourTeams()) {
    SCOPED_TRACE(members.size());
    ReportFolder out;
    const std::vector<RecordedTrial> trials = teamTrialRecords(teamTrialRows("Red", 2, members));
    const ReportCounts counts = writeReport(trials, out.path.string(), from("lab.mdb"));
    EXPECT_EQ(counts.trials, 1);
    EXPECT_EQ(counts.participants, static_cast<int>(members.size()));
    // The trial's four, the amplification by stage and the class's orders.
    EXPECT_EQ(counts.pictures, 4 + 2);
    const std::string index = readFile(out.path / "index.html");
    const size_t section = index.find("<h2 id=\"t1\">Team Red, setting Lab</h2>");
    ASSERT_NE(section, std::string::npos);
    EXPECT_EQ(index.find("<img", section),
              index.find("src=\"pictures/team-Red-Lab-trial2-team.png", section) -
                  std::string("<img ").size());
    for (const char* chart : {"team", "inventory", "costs", "cumulative"}) {
      EXPECT_TRUE(fs::exists(out.path / "pictures" /
                             ("team-Red-Lab-trial2-" + std::string(chart) + ".png")))
          << chart;
    }
    for (const TeamMemberPlan& m : members) {
      EXPECT_FALSE(fs::exists(out.path / (m.subject + ".pdf"))) << m.subject;
      EXPECT_NE(index.find("Fitted decision rule of " + m.subject + " ("), std::string::npos);
    }
    EXPECT_EQ(index.find("<h2 id=\"p1\">"), std::string::npos);  // no participant drawn alone
    EXPECT_EQ(readFile(out.path / "team-Red.pdf").substr(0, 5), "%PDF-");
    const std::vector<std::string> measures = linesOf(readFile(out.path / "measures.csv"));
    ASSERT_EQ(measures.size(), 1 + 4 * members.size());
    for (size_t i = 1; i < measures.size(); ++i) {
      const std::string member = std::to_string((i - 1) / 4 + 1);
      EXPECT_EQ(measures[i].substr(measures[i].rfind(",Red,")), ",Red," + member) << measures[i];
    }
  }
}

TEST(TrialReport, ShowsAReplacedMemberAsThePlayerFromItsWeek) {
  ReportFolder out;
  writeReport(teamTrialRecords(
                  teamTrialRows("Red", 2, {{"P07", kFactory}, {"P12", kRetailer, "Sterman", 6}})),
              out.path.string(), from("lab.mdb"));
  const std::string index = readFile(out.path / "index.html");
  EXPECT_NE(index.find("<td>P12 (member 2), Sterman from week 6</td>"), std::string::npos);
  // Drawn from the records of the member that stayed: every week.
  EXPECT_NE(index.find("team Red (P07 as Factory, P12 as Retailer), 10 weeks"), std::string::npos);
  EXPECT_EQ(index.find("Incomplete:"), std::string::npos);
}

TEST(TrialReport, DrawsAParticipantsOwnTrialsAsBeforeBesideATeam) {
  ReportFolder out;
  std::vector<RecordedTrial> trials =
      teamTrialRecords(teamTrialRows("Red", 2, {{"S1", kFactory}, {"P12", kRetailer}}));
  trials.push_back(sampleTrial(1, 0));  // S1 alone in trial 1
  const ReportCounts counts = writeReport(trials, out.path.string(), from("lab.mdb"));
  EXPECT_EQ(counts.trials, 2);
  EXPECT_EQ(counts.participants, 2);
  const std::string index = readFile(out.path / "index.html");
  EXPECT_NE(index.find("<h2 id=\"p1\">Participant S1</h2>"), std::string::npos);
  for (const char* chart : {"orders", "inventory", "participant", "costs"}) {
    EXPECT_TRUE(
        fs::exists(out.path / "pictures" / ("S1-Lab-trial1-" + std::string(chart) + ".png")))
        << chart;
  }
  EXPECT_FALSE(fs::exists(out.path / "pictures" / "S1-Lab-trial2-orders.png"));
  EXPECT_TRUE(fs::exists(out.path / "S1.pdf"));
  EXPECT_TRUE(fs::exists(out.path / "team-Red.pdf"));
}

}  // namespace
}  // namespace quarn::testing
