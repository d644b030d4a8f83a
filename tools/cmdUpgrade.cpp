#include <iostream>

#include "tools/CommandDatabase.h"

namespace quarn::admin {

int cmdUpgrade(const std::vector<std::string>& args) {
  expectArguments(args, 1, "upgrade DATABASE");
  CommandDatabase db(args[0], std::cout);
  if (!db.upgrade()) {
    std::cout << db.location() << " is up to date (schema version " << db.schemaVersion() << ")\n";
  }
  return 0;
}

}  // namespace quarn::admin
