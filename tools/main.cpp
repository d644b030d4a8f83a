#include <cstring>
#include <iostream>
#include <stdexcept>

#include "base/Errors.h"
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

void PrintHelp(std::ostream& out) {
  out << "Usage: quarngame-admin COMMAND ARGUMENTS...\n"
         "Administration of Quarn Game experiment databases: encrypted SQLCipher files, or\n"
         "a PostgreSQL server (a connection URI or keyword string, a *.conf settings file,\n"
         "or a data folder whose quarn.conf names one).\n\n"
         "Commands:\n";
  for (const Command& c : kCommands) {
    std::string head = std::string(c.name) + " " + c.arguments;
    out << "  " << head << std::string(head.size() < 28 ? 28 - head.size() : 1, ' ') << c.summary
        << "\n";
  }
  out << "\n  --help                      show this text\n";
}

}  // namespace

}  // namespace quarn::admin

int main(int argc, char** argv) {
  using namespace quarn::admin;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp(argc < 2 ? std::cerr : std::cout);
    return argc < 2 ? 2 : 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (c.name != std::string(argv[1])) continue;
    try {
      return c.function(args);
    } catch (const UsageError& e) {
      std::cerr << e.what() << "\n";
      return 2;
    } catch (const quarn::QuarnError& e) {
      std::cerr << "quarngame-admin " << c.name << ": error " << e.number() << ": "
                << e.description() << "\n";
      return 1;
    } catch (const std::exception& e) {
      std::cerr << "quarngame-admin " << c.name << ": " << e.what() << "\n";
      return 1;
    }
  }
  std::cerr << "quarngame-admin: unknown command '" << argv[1] << "' (see --help)\n";
  return 2;
}
