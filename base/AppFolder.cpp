#include "base/AppFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "base/Errors.h"

namespace fs = std::filesystem;

namespace quarn {

namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

bool holdsDataFolder(const std::string& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_directory(fs::path(folder) / "data", ec);
}

// $XDG_DATA_HOME, or ~/.local/share when it is unset, empty or relative (the
// XDG rules ignore a relative path).
std::string userDataHome(const FolderInputs& inputs) {
  if (!inputs.xdgDataHome.empty() && fs::path(inputs.xdgDataHome).is_absolute()) {
    return inputs.xdgDataHome;
  }
  if (inputs.home.empty()) return "";
  return (fs::path(inputs.home) / ".local" / "share").string();
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The folder a settings file names, or nothing when the file is missing or
// names none. Lines are "folder = DIR"; empty lines and lines starting with
// # are skipped. DIR is absolute or starts with ~/ (the user's home); any
// other line makes `error` say what is wrong and where.
std::optional<std::string> folderSetting(const std::string& file, const std::string& home,
                                         std::string& error) {
  std::error_code ec;
  if (file.empty() || !fs::exists(file, ec)) return std::nullopt;
  std::ifstream in(file);
  if (!in) {
    error = file + " cannot be read";
    return std::nullopt;
  }
  std::optional<std::string> folder;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string text = trimmed(line);
    if (text.empty() || text[0] == '#') continue;
    const std::string where = file + " line " + std::to_string(number) + ": ";
    const size_t equals = text.find('=');
    const std::string key = trimmed(text.substr(0, equals));
    if (equals == std::string::npos || key != "folder") {
      error = where + "'" + text + "' is not a setting (the one setting is: folder = DIR)";
      return std::nullopt;
    }
    std::string value = trimmed(text.substr(equals + 1));
    if (value.rfind("~/", 0) == 0 && !home.empty()) value = home + value.substr(1);
    if (!fs::path(value).is_absolute()) {
      error =
          where + "the folder '" + value + "' is not an absolute path (or one starting with ~/)";
      return std::nullopt;
    }
    folder = value;
  }
  return folder;
}

}  // namespace

std::string userSettingsFile(const FolderInputs& inputs) {
  if (!inputs.xdgConfigHome.empty() && fs::path(inputs.xdgConfigHome).is_absolute()) {
    return (fs::path(inputs.xdgConfigHome) / "quarngame" / "quarngame.conf").string();
  }
  if (inputs.home.empty()) return "";
  return (fs::path(inputs.home) / ".config" / "quarngame" / "quarngame.conf").string();
}

std::string folderRuleText(const std::string& indent) {
  return indent + "1. --folder DIR\n" + indent + "2. the environment variable QUARN_FOLDER\n" +
         indent + "3. the program's own folder, when it holds data/ (a build tree)\n" + indent +
         "4. folder = DIR in $XDG_CONFIG_HOME/quarngame/quarngame.conf\n" + indent +
         "   (~/.config/quarngame/quarngame.conf): the user's setting\n" + indent +
         "5. folder = DIR in " + kMachineSettingsFile + ": the machine's setting\n" + indent +
         "6. $XDG_DATA_HOME/quarngame (~/.local/share/quarngame)\n";
}

FolderInputs folderInputs(const std::string& option, const std::string& executableFolder) {
  FolderInputs inputs;
  inputs.option = option;
  inputs.environment = environmentValue("QUARN_FOLDER");
  inputs.executableFolder = executableFolder;
  inputs.xdgDataHome = environmentValue("XDG_DATA_HOME");
  inputs.home = environmentValue("HOME");
  inputs.xdgConfigHome = environmentValue("XDG_CONFIG_HOME");
  return inputs;
}

AppFolder chooseAppFolder(const FolderInputs& inputs) {
  if (!inputs.option.empty()) return {inputs.option, FolderSource::Option, "", ""};
  if (!inputs.environment.empty()) return {inputs.environment, FolderSource::Environment, "", ""};
  if (holdsDataFolder(inputs.executableFolder)) {
    return {inputs.executableFolder, FolderSource::Executable, "", ""};
  }
  const std::pair<std::string, FolderSource> settings[] = {
      {userSettingsFile(inputs), FolderSource::UserSetting},
      {inputs.machineSettings, FolderSource::MachineSetting}};
  for (const auto& [file, source] : settings) {
    std::string error;
    const std::optional<std::string> folder = folderSetting(file, inputs.home, error);
    if (!error.empty()) return {"", source, file, error};
    if (folder) return {*folder, source, file, ""};
  }
  const std::string dataHome = userDataHome(inputs);
  // Without any home the executable's folder is the only place left.
  if (dataHome.empty()) return {inputs.executableFolder, FolderSource::Executable, "", ""};
  return {(fs::path(dataHome) / "quarngame").string(), FolderSource::UserData, "", ""};
}

void prepareAppFolder(const std::string& path) {
  for (const char* sub : {"data", "Input"}) {
    std::error_code ec;
    fs::create_directories(fs::path(path) / sub, ec);
    if (ec || !fs::is_directory(fs::path(path) / sub)) {
      throw QuarnError(kErrPathAccess, "The folder " + (fs::path(path) / sub).string() +
                                           " cannot be made: " + ec.message());
    }
  }
}

bool lacksDatabase(const std::string& path) {
  std::error_code ec;
  const fs::path data = fs::path(path) / "data";
  return !fs::exists(data / "quarn.mdb", ec) && !fs::exists(data / "quarn.conf", ec);
}

std::string describeSource(FolderSource source) {
  switch (source) {
    case FolderSource::Option:
      return "--folder";
    case FolderSource::Environment:
      return "QUARN_FOLDER";
    case FolderSource::Executable:
      return "the program's folder";
    case FolderSource::UserSetting:
      return "the user's setting";
    case FolderSource::MachineSetting:
      return "the machine's setting";
    case FolderSource::UserData:
      return "the user's data folder";
  }
  return "";
}

std::string describeFolder(const AppFolder& folder) {
  if (!folder.error.empty()) return "none: " + folder.error;
  if (folder.source == FolderSource::UserSetting || folder.source == FolderSource::MachineSetting) {
    return folder.path + " (" + describeSource(folder.source) + " in " + folder.settingsFile + ")";
  }
  return folder.path + " (" + describeSource(folder.source) + ")";
}

std::string executableFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

}  // namespace quarn
