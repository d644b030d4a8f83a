#include "base/AppFolder.h"

#include <cstdlib>
#include <filesystem>
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

}  // namespace

FolderInputs folderInputs(const std::string& option, const std::string& executableFolder) {
  return FolderInputs{option, environmentValue("QUARN_FOLDER"), executableFolder,
                      environmentValue("XDG_DATA_HOME"), environmentValue("HOME")};
}

AppFolder chooseAppFolder(const FolderInputs& inputs) {
  if (!inputs.option.empty()) return {inputs.option, FolderSource::Option};
  if (!inputs.environment.empty()) return {inputs.environment, FolderSource::Environment};
  if (holdsDataFolder(inputs.executableFolder)) {
    return {inputs.executableFolder, FolderSource::Executable};
  }
  const std::string dataHome = userDataHome(inputs);
  // Without any home the executable's folder is the only place left.
  if (dataHome.empty()) return {inputs.executableFolder, FolderSource::Executable};
  return {(fs::path(dataHome) / "quarngame").string(), FolderSource::UserData};
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
    case FolderSource::UserData:
      return "the user's data folder";
  }
  return "";
}

std::string executableFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

}  // namespace quarn
