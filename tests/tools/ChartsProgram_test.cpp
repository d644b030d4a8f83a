#include "tools/ChartsProgram.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Processes.h"

namespace quarn {
namespace {

namespace fs = std::filesystem;

class ScratchFolder {
 public:
  ScratchFolder()
      : m_path(fs::temp_directory_path() /
               ("quarn-charts-" + std::to_string(::getpid()) + "-" + std::to_string(++s_count))) {
    fs::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return m_path; }

 private:
  static inline int s_count = 0;
  fs::path m_path;
};

// Puts `program` at `target` as a hard link (a copy across file systems).
void placeProgram(const fs::path& program, const fs::path& target) {
  fs::create_directories(target.parent_path());
  std::error_code error;
  fs::create_hard_link(program, target, error);
  if (error) fs::copy_file(program, target);
}

void writeFile(const fs::path& path, fs::perms permissions) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n";
  fs::permissions(path, permissions);
}

struct ProgramRun {
  int status = -1;
  std::string output;
};

ProgramRun runProgram(const std::vector<std::string>& args, const fs::path& outFile) {
  const pid_t pid = testing::startProcess(args, outFile.string());
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::stringstream output;
  output << std::ifstream(outFile).rdbuf();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output.str()};
}

// The shared libraries a program loads, as the dynamic loader resolves them.
std::string loadedLibraries(const std::string& program) {
  std::string text;
  FILE* pipe = ::popen(("ldd " + program).c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  ::pclose(pipe);
  return text;
}

TEST(ChartsProgram, IsFoundBesideTheToolBeforeThePrivateFolder) {
  const fs::perms executable = fs::perms::owner_read | fs::perms::owner_exec;
  const fs::perms readOnly = fs::perms::owner_read;
  struct Case {
    const char* name;
    bool beside;
    bool inPrivateFolder;
    fs::perms permissions;
    const char* expected;  // relative to the scratch folder; "" for none
  };
  const Case cases[] = {
      {"a build: beside the tool", true, false, executable, "bin/quarngame-charts"},
      {"the package: the private folder", false, true, executable,
       "libexec/quarngame/quarngame-charts"},
      {"both: the one beside the tool", true, true, executable, "bin/quarngame-charts"},
      {"neither", false, false, executable, ""},
      {"a file that cannot be run", true, true, readOnly, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder scratch;
    fs::create_directories(scratch.path() / "bin");
    if (c.beside) writeFile(scratch.path() / "bin/quarngame-charts", c.permissions);
    if (c.inPrivateFolder) {
      writeFile(scratch.path() / "libexec/quarngame/quarngame-charts", c.permissions);
    }
    const auto found =
        admin::findChartsProgram((scratch.path() / "bin").string(), "../libexec/quarngame");
    if (*c.expected == '\0') {
      EXPECT_FALSE(found.has_value()) << *found;
    } else {
      EXPECT_EQ(found.value_or(""), (scratch.path() / c.expected).string());
    }
  }
}

TEST(ChartsProgram, AdminToolLoadsNoWindowOrChartLibrary) {
  const std::string tool = loadedLibraries(QUARN_ADMIN_TOOL);
  const std::string charts = loadedLibraries(QUARN_CHARTS_PROGRAM);
  ASSERT_NE(tool.find("libsqlcipher"), std::string::npos) << "ldd gave no list:\n" << tool;
  ASSERT_NE(charts.find("libQt6Widgets"), std::string::npos) << "ldd gave no list:\n" << charts;
  for (const char* library : {"libQt6Widgets", "libQt6Gui", "libQt6Charts", "libQt6OpenGL",
                              "libQt6Svg", "libX11", "libEGL", "libGL"}) {
    EXPECT_EQ(tool.find(library), std::string::npos) << "quarngame-admin loads " << library;
  }
}

// The package's layout: quarngame-admin in bin/, quarngame-charts in
// libexec/quarngame/; the tool's report runs the charts program, whose usage
// text and exit status are the tool's.
TEST(ChartsProgram, ReportRunsTheChartsProgramOfTheInstalledLayout) {
  ScratchFolder scratch;
  placeProgram(QUARN_ADMIN_TOOL, scratch.path() / "bin/quarngame-admin");
  placeProgram(QUARN_CHARTS_PROGRAM, scratch.path() / "libexec/quarngame/quarngame-charts");
  const ProgramRun run = runProgram({(scratch.path() / "bin/quarngame-admin").string(), "report"},
                                    scratch.path() / "out.txt");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.output.rfind("usage: quarngame-admin report DATABASE", 0), 0u) << run.output;
}

TEST(ChartsProgram, ReportWithoutTheChartsProgramFailsNamingIt) {
  ScratchFolder scratch;
  placeProgram(QUARN_ADMIN_TOOL, scratch.path() / "bin/quarngame-admin");
  const ProgramRun run =
      runProgram({(scratch.path() / "bin/quarngame-admin").string(), "debrief", "data", "someone"},
                 scratch.path() / "out.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("quarngame-admin debrief: error 53: The program quarngame-charts"),
            std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace quarn
