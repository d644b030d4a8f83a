#include <iostream>

#include "base/AppFolder.h"
#include "base/Errors.h"
#include "base/Version.h"
#include "tools/Commands.h"

namespace quarn::admin {

namespace {

struct Command {
  const char* name;
  CommandFunction function;
  const char* arguments;
  const char* summary;
};

const Command kCommands[] = {
#define QUARN_COMMAND(name, function, arguments, summary) {#name, &function, arguments, summary},
#include "tools/Commands.def"
#undef QUARN_COMMAND
};

void PrintHelp(std::ostream& out, const AppFolder& folder) {
  out << "Usage: quarngame-admin [--folder DIR] COMMAND ARGUMENTS...\n"
         "Administration of Quarn Game experiment databases: encrypted SQLCipher files, or\n"
         "a PostgreSQL server (a connection URI or keyword string, a *.conf settings file,\n"
         "or a data folder whose quarn.conf names one).\n\n"
         "Commands:\n";
  for (const Command& c : kCommands) {
    std::string head = std::string(c.name) + " " + c.arguments;
    out << "  " << head << std::string(head.size() < 28 ? 28 - head.size() : 1, ' ') << c.summary
        << "\n";
  }
  out << "\n  --folder DIR                the application folder (data/ and Input/) of a demo\n"
         "                              made without DATADIR, chosen as quarngame chooses it\n"
         "  --version                   show the version\n"
         "  --help                      show this text\n"
         "\nGuides: "
      << kGuideFolder
      << " (lab-guide.md: the lab; team-study-guide.md,\n"
         "lab-server-guide.md, results-guide.md, class-guide.md)\n"
         "\nThe application folder is the first of:\n"
      << folderRuleText("  ") << "\nFolder in use: " << describeFolder(folder) << "\n";
}

}  // namespace

}  // namespace quarn::admin

int main(int argc, char** argv) {
  using namespace quarn;
  using namespace quarn::admin;
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string folderOption;
  if (words.size() >= 2 && words[0] == "--folder") {
    folderOption = words[1];
    words.erase(words.begin(), words.begin() + 2);
  }
  const AppFolder folder = chooseAppFolder(folderInputs(folderOption, executableFolder()));
  if (words.empty() || words[0] == "--help" || words[0] == "-h") {
    PrintHelp(words.empty() ? std::cerr : std::cout, folder);
    return words.empty() ? 2 : 0;
  }
  if (words[0] == "--version") {
    std::cout << "quarngame-admin " << quarnVersion() << "\n";
    return 0;
  }
  std::vector<std::string> args(words.begin() + 1, words.end());
  for (const Command& c : kCommands) {
    if (c.name != words[0]) continue;
    return runCommand(c.name, [&] {
      // The demo without DATADIR goes into the application folder's data/.
      if (c.function == &cmdDemo && args.empty()) {
        if (!folder.error.empty()) throw QuarnError(kErrPathAccess, folder.error);
        prepareAppFolder(folder.path);
        args.push_back(folder.path + "/data");
      }
      return c.function(args);
    });
  }
  if (words[0].rfind('-', 0) == 0) {
    std::cerr << "quarngame-admin: unknown option '" << words[0] << "' (see --help)\n";
  } else {
    std::cerr << "quarngame-admin: unknown command '" << words[0] << "' (see --help)\n";
  }
  return 2;
}
