#include "ui/TrialReport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

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
  const ReportCounts counts =
      writeReport({sampleTrial(1, 0), sampleTrial(2, 1), other}, out.path.string(), "lab.mdb");
  EXPECT_EQ(counts.participants, 2);
  EXPECT_EQ(counts.trials, 3);
  EXPECT_EQ(counts.pictures, 12);
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
  writeReport({trial}, out.path.string(), "lab.mdb");
  EXPECT_TRUE(fs::exists(out.path / "____b_Ann.pdf"));
  EXPECT_TRUE(fs::exists(out.path / "pictures" / "____b_Ann-a_b-trial1-orders.png"));
  EXPECT_FALSE(fs::exists(out.path.parent_path() / "<b>Ann.pdf"));
  const std::string index = readFile(out.path / "index.html");
  EXPECT_NE(index.find("Participant ../&lt;b&gt;Ann"), std::string::npos);
  EXPECT_EQ(index.find("<b>Ann"), std::string::npos);
}

TEST(TrialReport, FileStemKeepsOnlySafeCharacters) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"P1", "P1"},           {"Ann Lee", "Ann_Lee"}, {"..", "__"},
      {".hidden", "_hidden"}, {"a/b\\c", "a_b_c"},    {"", "_"},
      {"x-1_y.z", "x-1_y.z"}, {"Zoë", "Zo__"}};
  for (const auto& [name, stem] : cases) EXPECT_EQ(fileStem(name), stem) << name;
}

}  // namespace
}  // namespace quarn::testing
