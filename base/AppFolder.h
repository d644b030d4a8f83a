#pragma once

#include <string>

namespace quarn {

// Where the folder holding data/ and Input/ came from, in the order the
// choice tries them.
enum class FolderSource {
  Option,       // --folder DIR
  Environment,  // QUARN_FOLDER
  Executable,   // the executable's folder, which holds data/ (a build tree)
  UserData,     // $XDG_DATA_HOME/quarngame (an installed program)
};

// What the choice looks at; folderInputs() fills it from the process's
// environment.
struct FolderInputs {
  std::string option;            // --folder, empty when not given
  std::string environment;       // QUARN_FOLDER
  std::string executableFolder;  // the folder of the running program
  std::string xdgDataHome;       // XDG_DATA_HOME
  std::string home;              // HOME
};

struct AppFolder {
  std::string path;
  FolderSource source = FolderSource::Executable;
};

FolderInputs folderInputs(const std::string& option, const std::string& executableFolder);

// The application folder: the option, else the environment, else the
// executable's folder when it holds data/, else the user's data folder.
AppFolder chooseAppFolder(const FolderInputs& inputs);

// Makes data/ and Input/ below the folder (and the folder itself); throws
// QuarnError when they cannot be made.
void prepareAppFolder(const std::string& path);

// Whether data/ holds no experiment database yet: neither a file
// (quarn.mdb) nor the settings that name the lab's server (quarn.conf).
bool lacksDatabase(const std::string& path);

// "--folder", "QUARN_FOLDER", ...: how the folder was chosen, for --help and
// the login window.
std::string describeSource(FolderSource source);

// The folder of the running executable (from /proc/self/exe).
std::string executableFolder();

}  // namespace quarn
