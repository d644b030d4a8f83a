#include "app/StartOptions.h"

#include "base/Version.h"

namespace quarn {

namespace {

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

}  // namespace

StartOptions parseStartOptions(const std::vector<std::string>& arguments) {
  StartOptions options;
  if (!arguments.empty()) options.qtArguments.push_back(arguments[0]);
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (!takeValue(arguments, i, "--folder", options.folder, options.error) &&
               !takeValue(arguments, i, "--language", options.language, options.error)) {
      options.qtArguments.push_back(argument);
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
         "                     files); else QUARN_FOLDER, else the program's folder when it\n"
         "                     holds data/, else $XDG_DATA_HOME/quarngame\n"
         "  --language CODE    the participants' language (en, de, es) when the setting names\n"
         "                     none in tblSetting; else the system's language\n"
         "  --version          show the version\n"
         "  --help             show this text\n"
         "\n"
         "Guides: " +
         std::string(kGuideFolder) + " (lab-guide.md: the lab; team-study-guide.md,\n" +
         "lab-server-guide.md, results-guide.md)\n"
         "\n"
         "Folder in use: " +
         folder.path + " (" + describeSource(folder.source) + ")\n";
}

}  // namespace quarn
