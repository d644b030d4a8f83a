#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarn::admin {

// The report and the debriefing draw charts and open windows. They run in a
// program of their own, quarngame-charts, so that quarngame-admin, which
// every pilot, watch and import starts, loads no window or chart library.

// Where quarngame-charts lies for a quarngame-admin in `toolFolder`: beside
// it (a build), else in the package's folder of private programs relative to
// it (`privateFolder`, e.g. ../libexec/quarngame); nothing when neither holds it.
std::optional<std::string> findChartsProgram(const std::string& toolFolder,
                                             const std::string& privateFolder);

// Replaces this process by quarngame-charts running `command` with `args`:
// the same output, exit status and window as if the tool had run it.
// Returns only by throwing (kErrFileNotFound when the program is missing).
[[noreturn]] void runChartsProgram(const std::string& command,
                                   const std::vector<std::string>& args);

}  // namespace quarn::admin
