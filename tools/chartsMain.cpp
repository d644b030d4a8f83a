// quarngame-charts: the report and the debriefing of quarngame-admin, which
// draw charts and open windows. quarngame-admin runs this program in its own
// place for those two commands (see ChartsProgram.h); it is not meant to be
// started by hand.
#include <iostream>
#include <string>
#include <vector>

#include "tools/Commands.h"

int main(int argc, char** argv) {
  using namespace quarn::admin;
  const struct {
    const char* name;
    CommandFunction function;
  } commands[] = {{"report", &cmdReport}, {"debrief", &cmdDebrief}};
  const std::vector<std::string> words(argv + 1, argv + argc);
  for (const auto& c : commands) {
    if (words.empty() || words[0] != c.name) continue;
    const std::vector<std::string> args(words.begin() + 1, words.end());
    return runCommand(c.name, [&] { return c.function(args); });
  }
  std::cerr << "quarngame-charts draws the charts of quarngame-admin's report and debrief; "
               "run those commands instead\n";
  return 2;
}
