#pragma once

#include <string>
#include <vector>

#include "base/AppFolder.h"

namespace quarn {

// The application's own command-line options and the window system's
// (Qt's, e.g. -platform offscreen), which are passed on; anything else is
// an error.
struct StartOptions {
  std::string folder;                    // --folder DIR
  std::string language;                  // --language CODE
  bool help = false;                     // --help, -h
  bool version = false;                  // --version
  std::string error;                     // an unknown option, an option without its value
  std::vector<std::string> qtArguments;  // the program name and the window system's options
};

StartOptions parseStartOptions(const std::vector<std::string>& arguments);

// The text of --help, naming the folder in use and how it was chosen.
std::string startHelp(const AppFolder& folder);

// What the window system is told to use, from the environment.
struct DisplayInputs {
  std::string qpaPlatform;     // QT_QPA_PLATFORM
  std::string display;         // DISPLAY
  std::string waylandDisplay;  // WAYLAND_DISPLAY
};
DisplayInputs displayInputs();

// Why no window can be opened (no X display and no Wayland display for the
// window system that would be used), or "" when one can be tried.
std::string displayProblem(const DisplayInputs& inputs,
                           const std::vector<std::string>& qtArguments);

}  // namespace quarn
