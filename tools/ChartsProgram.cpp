#include "tools/ChartsProgram.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "base/AppFolder.h"
#include "base/Errors.h"

namespace quarn::admin {

namespace {

namespace fs = std::filesystem;

constexpr const char* kChartsProgram = "quarngame-charts";

bool isProgram(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> findChartsProgram(const std::string& toolFolder,
                                             const std::string& privateFolder) {
  for (const fs::path& candidate : {fs::path(toolFolder) / kChartsProgram,
                                    fs::path(toolFolder) / privateFolder / kChartsProgram}) {
    if (isProgram(candidate)) return candidate.lexically_normal().string();
  }
  return std::nullopt;
}

void runChartsProgram(const std::string& command, const std::vector<std::string>& args) {
  const std::string toolFolder = executableFolder();
  const std::optional<std::string> program =
      findChartsProgram(toolFolder, QUARN_PRIVATE_PROGRAM_FOLDER);
  if (!program) {
    throw QuarnError(
        kErrFileNotFound,
        std::string("The program ") + kChartsProgram + " that draws the charts was " +
            "not found beside " + toolFolder + " nor in " +
            (fs::path(toolFolder) / QUARN_PRIVATE_PROGRAM_FOLDER).lexically_normal().string() +
            " (reinstall the package)");
  }
  std::vector<std::string> words{*program, command};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::cout.flush();
  std::cerr.flush();
  ::execv(program->c_str(), argv.data());
  throw QuarnError(kErrPathAccess,
                   "The program " + *program + " cannot be started: " + std::strerror(errno));
}

}  // namespace quarn::admin
