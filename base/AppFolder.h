#pragma once

#include <string>

namespace quarn {

// Where the folder holding data/ and Input/ came from, in the order the
// choice tries them.
enum class FolderSource {
  Option,          // --folder DIR
  Environment,     // QUARN_FOLDER
  Executable,      // the executable's folder, which holds data/ (a build tree)
  UserSetting,     // "folder = DIR" in $XDG_CONFIG_HOME/quarngame/quarngame.conf
  MachineSetting,  // "folder = DIR" in /etc/quarngame/quarngame.conf
  UserData,        // $XDG_DATA_HOME/quarngame (an installed program)
};

// The settings file of every user of a machine.
inline constexpr const char* kMachineSettingsFile = "/etc/quarngame/quarngame.conf";

// What the choice looks at; folderInputs() fills it from the process's
// environment.
struct FolderInputs {
  std::string option;            // --folder, empty when not given
  std::string environment;       // QUARN_FOLDER
  std::string executableFolder;  // the folder of the running program
  std::string xdgDataHome;       // XDG_DATA_HOME
  std::string home;              // HOME
  std::string xdgConfigHome;     // XDG_CONFIG_HOME
  std::string machineSettings = kMachineSettingsFile;
};

struct AppFolder {
  std::string path;
  FolderSource source = FolderSource::Executable;
  std::string settingsFile;  // the file that named the folder, for the two settings sources
  // A settings file that could not be used (unreadable, a relative folder,
  // an unknown setting): the folder is then not to be used.
  std::string error;
};

FolderInputs folderInputs(const std::string& option, const std::string& executableFolder);

// The application folder: the option, else the environment, else the
// executable's folder when it holds data/, else the folder named by the
// user's settings file, else by the machine's, else the user's data folder.
AppFolder chooseAppFolder(const FolderInputs& inputs);

// The user's settings file: $XDG_CONFIG_HOME/quarngame/quarngame.conf, or
// ~/.config/quarngame/quarngame.conf; empty without any home.
std::string userSettingsFile(const FolderInputs& inputs);

// The folder rule in words, as --help and the man pages print it: one line
// per source, each indented by `indent`.
std::string folderRuleText(const std::string& indent);

// Makes data/ and Input/ below the folder (and the folder itself); throws
// QuarnError when they cannot be made.
void prepareAppFolder(const std::string& path);

// Whether data/ holds no experiment database yet: neither a file
// (quarn.mdb) nor the settings that name the lab's server (quarn.conf).
bool lacksDatabase(const std::string& path);

// "--folder", "QUARN_FOLDER", ...: how the folder was chosen, for --help and
// the login window.
std::string describeSource(FolderSource source);

// The folder in use and where it came from, as --help prints it after
// "Folder in use: ", or the settings file's fault.
std::string describeFolder(const AppFolder& folder);

// The folder of the running executable (from /proc/self/exe).
std::string executableFolder();

}  // namespace quarn
