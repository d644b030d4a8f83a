#pragma once

#include <string>
#include <vector>

#include "base/AppFolder.h"

namespace quarn {

// The application's own command-line options; everything else is left for
// Qt (e.g. -platform offscreen).
struct StartOptions {
  std::string folder;                    // --folder DIR
  std::string language;                  // --language CODE
  bool help = false;                     // --help, -h
  bool version = false;                  // --version
  std::string error;                     // an option without its value
  std::vector<std::string> qtArguments;  // the program name and what is not ours
};

StartOptions parseStartOptions(const std::vector<std::string>& arguments);

// The text of --help, naming the folder in use and how it was chosen.
std::string startHelp(const AppFolder& folder);

}  // namespace quarn
