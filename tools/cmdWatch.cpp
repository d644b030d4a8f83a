#include <unistd.h>

#include <iostream>

#include "tools/CommandDatabase.h"
#include "tools/Watch.h"

namespace quarn::admin {

int cmdWatch(const std::vector<std::string>& args) {
  const WatchOptions options = parseWatchArguments(args);
  CommandDatabase db(options.database);
  return runWatch(options, db.monitor(), db.location(), SystemWallClock::instance(), std::cout,
                  ::isatty(STDOUT_FILENO) == 1, planTeams(db.access().planTables()));
}

}  // namespace quarn::admin
