#include "app/StartOptions.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(StartOptions, TakesItsOwnOptionsAndLeavesTheRestToQt) {
  struct Case {
    std::vector<std::string> arguments;
    std::string folder;
    std::string language;
    std::vector<std::string> qtArguments;
  };
  const Case cases[] = {
      {{"quarngame"}, "", "", {"quarngame"}},
      {{"quarngame", "--folder", "/lab", "--language", "de"}, "/lab", "de", {"quarngame"}},
      {{"quarngame", "--folder=/lab one", "--language=es"}, "/lab one", "es", {"quarngame"}},
      {{"quarngame", "-platform", "offscreen", "--folder", "/lab"},
       "/lab",
       "",
       {"quarngame", "-platform", "offscreen"}},
      {{"quarngame", "-style", "Fusion", "-reverse", "-display", ":1"},
       "",
       "",
       {"quarngame", "-style", "Fusion", "-reverse", "-display", ":1"}},
  };
  for (const Case& c : cases) {
    const StartOptions options = parseStartOptions(c.arguments);
    EXPECT_EQ(options.folder, c.folder);
    EXPECT_EQ(options.language, c.language);
    EXPECT_EQ(options.qtArguments, c.qtArguments);
    EXPECT_EQ(options.error, "");
  }
}

TEST(StartOptions, AnOptionWithoutItsValueIsAnError) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"quarngame", "--folder"},
        std::vector<std::string>{"quarngame", "--language="}}) {
    EXPECT_NE(parseStartOptions(arguments).error, "") << arguments.back();
  }
}

TEST(StartOptions, AnUnknownOptionOrArgumentIsAnError) {
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const Case cases[] = {
      {{"quarngame", "--bogus"}, "unknown option '--bogus'"},
      {{"quarngame", "--folder", "/lab", "-bogus"}, "unknown option '-bogus'"},
      {{"quarngame", "study"}, "unexpected argument 'study'"},
      {{"quarngame", "-platform"}, "-platform needs a value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseStartOptions(c.arguments).error, c.error) << c.arguments.back();
  }
}

TEST(StartOptions, NoDisplayIsFoundBeforeAnyWindowIsOpened) {
  struct Case {
    DisplayInputs inputs;
    std::vector<std::string> qtArguments;
    bool problem;
  };
  const Case cases[] = {
      {{"", "", ""}, {"quarngame"}, true},
      {{"", ":0", ""}, {"quarngame"}, false},
      {{"", "", "wayland-0"}, {"quarngame"}, false},
      {{"xcb", "", "wayland-0"}, {"quarngame"}, true},
      {{"wayland", ":0", ""}, {"quarngame"}, true},
      {{"wayland;xcb", ":0", ""}, {"quarngame"}, false},
      {{"offscreen", "", ""}, {"quarngame"}, false},
      {{"", "", ""}, {"quarngame", "-platform", "offscreen"}, false},
      {{"", "", ""}, {"quarngame", "-display", ":1"}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!displayProblem(c.inputs, c.qtArguments).empty(), c.problem)
        << c.inputs.qpaPlatform << "|" << c.inputs.display << "|" << c.inputs.waylandDisplay << "|"
        << c.qtArguments.back();
  }
}

TEST(StartOptions, HelpNamesTheFolderInUseAndHowItWasChosen) {
  const std::string help =
      startHelp({"/home/lab/.local/share/quarngame", FolderSource::UserData, "", ""});
  EXPECT_NE(help.find("Folder in use: /home/lab/.local/share/quarngame (the user's data folder)"),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("folder = DIR in /etc/quarngame/quarngame.conf"), std::string::npos) << help;
  EXPECT_TRUE(parseStartOptions({"quarngame", "--help"}).help);
  EXPECT_TRUE(parseStartOptions({"quarngame", "--version"}).version);
}

}  // namespace
}  // namespace quarn
