#include "tools/ChartsProgram.h"

#include <gtest/gtest.h>
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

// A new folder of its own, removed with everything in it.
struct ScratchFolder {
  ScratchFolder() {
    std::string name = (fs::temp_directory_path() / "quarn-charts-XXXXXX").string();
    folder = ::mkdtemp(name.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  const fs::path& path() const { return folder; }
  fs::path folder;
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

// A build holds the program beside the tool, the package in its private
// folder; a file that cannot be run is no program.
TEST(ChartsProgram, IsFoundBesideTheToolBeforeThePrivateFolder) {
  const fs::perms runnable = fs::perms::owner_read | fs::perms::owner_exec;
  struct Case {
    bool beside, inPrivateFolder;
    fs::perms permissions;
    const char* expected;  // below the scratch folder; "" for none
  };
  for (const Case& c : {Case{true, true, runnable, "bin/quarngame-charts"},
                        Case{false, true, runnable, "libexec/quarngame/quarngame-charts"},
                        Case{true, true, fs::perms::owner_read, ""}}) {
    ScratchFolder scratch;
    fs::create_directories(scratch.path() / "bin");
    if (c.beside) writeFile(scratch.path() / "bin/quarngame-charts", c.permissions);
    if (c.inPrivateFolder) {
      writeFile(scratch.path() / "libexec/quarngame/quarngame-charts", c.permissions);
    }
    const auto found =
        admin::findChartsProgram((scratch.path() / "bin").string(), "../libexec/quarngame");
    const std::string expected = *c.expected ? (scratch.path() / c.expected).string() : "";
    EXPECT_EQ(found.value_or(""), expected);
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
