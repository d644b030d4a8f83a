#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/DatabaseChoice.h"

namespace quarn::admin {

// A subcommand gets its arguments (without the command name) and returns the
// process exit code. Failures are QuarnErrors, reported by main().
using CommandFunction = int (*)(const std::vector<std::string>& args);

#define QUARN_COMMAND(name, function, arguments, summary) \
  int function(const std::vector<std::string>& args);
#include "tools/Commands.def"
#undef QUARN_COMMAND

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs the subcommand `name` and reports its failure as quarngame-admin does:
// a UsageError's text and status 2; "quarngame-admin NAME: error N: ..." and
// status 1 for any other failure. Returns the process exit code.
int runCommand(const std::string& name, const std::function<int()>& command);

// Throws a UsageError when `args` does not hold exactly `count` arguments.
void expectArguments(const std::vector<std::string>& args, size_t count, const char* usage);

// The database a DATABASE argument names (see chooseAdminDatabase); a file
// that does not exist is refused (kErrFileNotFound).
DatabaseChoice existingDatabase(const std::string& argument);

// Where the Input files of the database a DATADIR|SERVER argument names lie:
// beside the data folder (or the settings file's folder), below the
// application's folder; for a connection string, in the current folder.
std::string inputFolderOf(const std::string& argument);

}  // namespace quarn::admin
