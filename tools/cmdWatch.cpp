#include <unistd.h>

#include <iostream>

#include "db/OpenDatabase.h"
#include "tools/Commands.h"
#include "tools/Watch.h"

namespace quarn::admin {

int cmdWatch(const std::vector<std::string>& args) {
  const WatchOptions options = parseWatchArguments(args);
  const DatabaseChoice choice = existingDatabase(options.database);
  const std::unique_ptr<ActivityMonitor> monitor = openMonitor(choice);
  return runWatch(options, *monitor, choice.location(), SystemWallClock::instance(), std::cout,
                  ::isatty(STDOUT_FILENO) == 1);
}

}  // namespace quarn::admin
