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
    m_inputs.machineSettings = (m_root / "etc" / "quarngame.conf").string();
  }
  ~AppFolderChoice() override { fs::remove_all(m_root); }

  void giveExecutableFolderData() { fs::create_directories(m_root / "bin" / "data"); }
  void write(const std::string& file, const std::string& text) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << text;
  }
  std::string userSettings() const { return at("home/.config/quarngame/quarngame.conf"); }
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

// The lab's 30 workstations name the study's folder in the machine's file;
// a user (a kiosk account) may name another in their own; the option, the
// environment and a build tree come first.
TEST_F(AppFolderChoice, SettingsFilesNameTheFolderBelowOptionEnvironmentAndBuildTree) {
  struct Case {
    const char* name;
    std::string user, machine;
    bool option, environment, buildTree;
    std::string expected;
    FolderSource source;
  };
  const Case cases[] = {
      {"machine", "", "folder = /srv/study\n", false, false, false, "/srv/study",
       FolderSource::MachineSetting},
      {"user over machine", "# kiosk\n\nfolder=/srv/kiosk \n", "folder = /srv/study\n", false,
       false, false, "/srv/kiosk", FolderSource::UserSetting},
      {"home", "folder = ~/study\n", "", false, false, false, at("home/study"),
       FolderSource::UserSetting},
      {"option first", "", "folder = /srv/study\n", true, true, true, at("lab"),
       FolderSource::Option},
      {"environment next", "", "folder = /srv/study\n", false, true, true, at("env"),
       FolderSource::Environment},
      {"build tree next", "", "folder = /srv/study\n", false, false, true, at("bin"),
       FolderSource::Executable},
      {"no setting", "", "# folder = /srv/study\n", false, false, false,
       at("home/.local/share/quarngame"), FolderSource::UserData},
  };
  for (const Case& c : cases) {
    fs::remove_all(m_root);
    fs::create_directories(m_root / "bin");
    if (!c.user.empty()) write(userSettings(), c.user);
    if (!c.machine.empty()) write(m_inputs.machineSettings, c.machine);
    if (c.buildTree) giveExecutableFolderData();
    m_inputs.option = c.option ? at("lab") : "";
    m_inputs.environment = c.environment ? at("env") : "";
    const AppFolder folder = chooseAppFolder(m_inputs);
    EXPECT_EQ(folder.path, c.expected) << c.name;
    EXPECT_EQ(folder.source, c.source) << c.name;
    EXPECT_EQ(folder.error, "") << c.name;
  }
}

TEST_F(AppFolderChoice, UserSettingsFileFollowsXdgConfigHome) {
  m_inputs.xdgConfigHome = at("config");
  write(at("config/quarngame/quarngame.conf"), "folder = /srv/config\n");
  const AppFolder folder = chooseAppFolder(m_inputs);
  EXPECT_EQ(folder.path, "/srv/config");
  EXPECT_EQ(describeFolder(folder),
            "/srv/config (the user's setting in " + at("config/quarngame/quarngame.conf") + ")");
}

TEST_F(AppFolderChoice, SettingsFileFaultIsReportedWithItsLine) {
  struct Case {
    std::string text, expected;
  };
  const Case cases[] = {
      {"folder = study\n", " line 1: the folder 'study' is not an absolute path"},
      {"# lab\nfoldr = /srv/study\n", " line 2: 'foldr = /srv/study' is not a setting"},
      {"/srv/study\n", " line 1: '/srv/study' is not a setting"},
  };
  for (const Case& c : cases) {
    write(m_inputs.machineSettings, c.text);
    const AppFolder folder = chooseAppFolder(m_inputs);
    EXPECT_EQ(folder.path, "") << c.text;
    EXPECT_NE(folder.error.find(m_inputs.machineSettings + c.expected), std::string::npos)
        << folder.error;
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
