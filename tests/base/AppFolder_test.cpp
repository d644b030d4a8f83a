#include "base/AppFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/Errors.h"

namespace fs = std::filesystem;

namespace quarn {
namespace {

// A temporary folder with an executable's folder "bin" inside, with or
// without data/ below it.
class AppFolderChoice : public ::testing::Test {
 protected:
  AppFolderChoice() {
    fs::create_directories(m_root / "bin");
    m_inputs.executableFolder = (m_root / "bin").string();
    m_inputs.home = (m_root / "home").string();
  }
  ~AppFolderChoice() override { fs::remove_all(m_root); }

  void giveExecutableFolderData() { fs::create_directories(m_root / "bin" / "data"); }
  std::string at(const std::string& relative) const { return (m_root / relative).string(); }

  fs::path m_root = fs::temp_directory_path() / ("quarn-folder-" + std::to_string(::getpid()));
  FolderInputs m_inputs;
};

TEST_F(AppFolderChoice, OptionComesBeforeEverythingElse) {
  giveExecutableFolderData();
  m_inputs.option = at("lab");
  m_inputs.environment = at("env");
  const AppFolder folder = chooseAppFolder(m_inputs);
  EXPECT_EQ(folder.path, at("lab"));
  EXPECT_EQ(folder.source, FolderSource::Option);
}

TEST_F(AppFolderChoice, EnvironmentComesBeforeTheExecutableFolder) {
  giveExecutableFolderData();
  m_inputs.environment = at("env");
  const AppFolder folder = chooseAppFolder(m_inputs);
  EXPECT_EQ(folder.path, at("env"));
  EXPECT_EQ(folder.source, FolderSource::Environment);
}

TEST_F(AppFolderChoice, ExecutableFolderHoldingDataIsKept) {
  giveExecutableFolderData();
  const AppFolder folder = chooseAppFolder(m_inputs);
  EXPECT_EQ(folder.path, at("bin"));
  EXPECT_EQ(folder.source, FolderSource::Executable);
}

TEST_F(AppFolderChoice, WithoutDataBesideTheExecutableTheUserDataFolderIsUsed) {
  struct Case {
    std::string xdgDataHome;
    std::string expected;
  };
  const Case cases[] = {
      {at("xdg"), at("xdg/quarngame")},
      {"", at("home/.local/share/quarngame")},
      {"relative/share", at("home/.local/share/quarngame")},  // XDG ignores a relative path
  };
  for (const Case& c : cases) {
    m_inputs.xdgDataHome = c.xdgDataHome;
    const AppFolder folder = chooseAppFolder(m_inputs);
    EXPECT_EQ(folder.path, c.expected) << c.xdgDataHome;
    EXPECT_EQ(folder.source, FolderSource::UserData) << c.xdgDataHome;
  }
}

TEST_F(AppFolderChoice, PreparingMakesDataAndInputOnFirstStart) {
  const std::string folder = at("xdg/quarngame");
  prepareAppFolder(folder);
  EXPECT_TRUE(fs::is_directory(folder + "/data"));
  EXPECT_TRUE(fs::is_directory(folder + "/Input"));
  EXPECT_TRUE(lacksDatabase(folder));
  prepareAppFolder(folder);  // a second start finds them as they are
}

// A workstation of a lab server has its settings file and no database file:
// it has a database, and is not offered the demo.
TEST_F(AppFolderChoice, FolderWithADatabaseFileOrServerSettingsHasADatabase) {
  for (const char* file : {"quarn.mdb", "quarn.conf"}) {
    const std::string folder = at(std::string("with-") + file);
    prepareAppFolder(folder);
    std::ofstream(folder + "/data/" + file) << "\n";
    EXPECT_FALSE(lacksDatabase(folder)) << file;
  }
}

TEST_F(AppFolderChoice, PreparingAFolderThatCannotBeMadeFails) {
  fs::create_directories(m_root);
  {
    std::FILE* f = std::fopen(at("file").c_str(), "w");
    std::fclose(f);
  }
  EXPECT_THROW(prepareAppFolder(at("file/below")), QuarnError);
}

}  // namespace
}  // namespace quarn
