#include "app/StartOptions.h"

#include <algorithm>
#include <cstdlib>

#include "base/Version.h"

namespace quarn {

namespace {

// Qt's own options that take a value, and those that take none.
const char* const kQtOptionsWithValue[] = {"-platform",
                                           "-platformpluginpath",
                                           "-platformtheme",
                                           "-plugin",
                                           "-qwindowgeometry",
                                           "-qwindowtitle",
                                           "-qwindowicon",
                                           "-display",
                                           "-geometry",
                                           "-style",
                                           "-stylesheet",
                                           "-session",
                                           "-name",
                                           "-title",
                                           "-qmljsdebugger"};
const char* const kQtFlags[] = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount"};

template <size_t N>
bool isOneOf(const std::string& argument, const char* const (&names)[N]) {
  return std::any_of(std::begin(names), std::end(names),
                     [&](const char* name) { return argument == name; });
}

// Takes the value of `name` given as "--name VALUE" or "--name=VALUE";
// returns false when the argument is another one.
bool takeValue(const std::vector<std::string>& arguments, size_t& i, const std::string& name,
               std::string& value, std::string& error) {
  const std::string& argument = arguments[i];
  if (argument.rfind(name + "=", 0) == 0) {
    value = argument.substr(name.size() + 1);
  } else if (argument == name) {
    if (i + 1 >= arguments.size()) {
      error = name + " needs a value";
      return true;
    }
    value = arguments[++i];
  } else {
    return false;
  }
  if (value.empty()) error = name + " needs a value";
  return true;
}

// Passes a window-system option (with its value) on to Qt; returns false
// when the argument is none of them.
bool takeQtOption(const std::vector<std::string>& arguments, size_t& i, StartOptions& options) {
  const std::string& argument = arguments[i];
  if (isOneOf(argument, kQtFlags)) {
    options.qtArguments.push_back(argument);
    return true;
  }
  if (!isOneOf(argument, kQtOptionsWithValue)) return false;
  if (i + 1 >= arguments.size()) {
    options.error = argument + " needs a value";
    return true;
  }
  options.qtArguments.push_back(argument);
  options.qtArguments.push_back(arguments[++i]);
  return true;
}

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

}  // namespace

StartOptions parseStartOptions(const std::vector<std::string>& arguments) {
  StartOptions options;
  if (!arguments.empty()) options.qtArguments.push_back(arguments[0]);
  for (size_t i = 1; i < arguments.size() && options.error.empty(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (takeValue(arguments, i, "--folder", options.folder, options.error) ||
               takeValue(arguments, i, "--language", options.language, options.error) ||
               takeQtOption(arguments, i, options)) {
      continue;
    } else if (!argument.empty() && argument[0] == '-') {
      options.error = "unknown option '" + argument + "'";
    } else {
      options.error = "unexpected argument '" + argument + "'";
    }
  }
  return options;
}

std::string startHelp(const AppFolder& folder) {
  return "Usage: quarngame [--folder DIR] [--language CODE]\n"
         "Quarn Game: a laboratory experiment on decision making in a four-stage supply chain.\n"
         "\n"
         "  --folder DIR       the application folder, holding data/ (the experiment database\n"
         "                     quarn.mdb and the participants' text files) and Input/ (demand\n"
         "                     files)\n"
         "  --language CODE    the participants' language (en, de, es) when the setting names\n"
         "                     none in tblSetting; else the system's language\n"
         "  --version          show the version\n"
         "  --help             show this text\n"
         "\n"
         "The window system's options (-platform NAME, -display DISPLAY, -style NAME, ...)\n"
         "are passed on.\n"
         "\n"
         "Guides: " +
         std::string(kGuideFolder) + " (lab-guide.md: the lab; team-study-guide.md,\n" +
         "lab-server-guide.md, results-guide.md, class-guide.md)\n"
         "\n"
         "The application folder is the first of:\n" +
         folderRuleText("  ") + "\nFolder in use: " + describeFolder(folder) + "\n";
}

DisplayInputs displayInputs() {
  return {environmentValue("QT_QPA_PLATFORM"), environmentValue("DISPLAY"),
          environmentValue("WAYLAND_DISPLAY")};
}

std::string displayProblem(const DisplayInputs& inputs,
                           const std::vector<std::string>& qtArguments) {
  std::string platforms = inputs.qpaPlatform;
  bool displayOption = false;
  for (size_t i = 0; i + 1 < qtArguments.size(); ++i) {
    if (qtArguments[i] == "-platform") platforms = qtArguments[i + 1];
    if (qtArguments[i] == "-display") displayOption = true;
  }
  const bool x11 = !inputs.display.empty() || displayOption;
  const bool wayland = !inputs.waylandDisplay.empty();
  // Without a choice Qt takes Wayland in a Wayland session, else X11.
  if (platforms.empty()) platforms = "wayland;xcb";
  size_t start = 0;
  while (start <= platforms.size()) {
    const size_t end = std::min(platforms.find(';', start), platforms.size());
    const std::string platform = platforms.substr(start, end - start);
    const std::string name = platform.substr(0, platform.find(':'));
    if (name == "xcb" ? x11 : name.rfind("wayland", 0) == 0 ? wayland : !name.empty()) return "";
    start = end + 1;
  }
  return "no display to open the window on: DISPLAY (and WAYLAND_DISPLAY) is not set. Start "
         "quarngame in the desktop session of the workstation, or give -platform offscreen to "
         "run it without a screen";
}

}  // namespace quarn
