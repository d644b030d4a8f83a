#include <iostream>

#include "db/DatabaseAdmin.h"
#include "db/OpenDatabase.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "tools/Passphrase.h"

namespace quarn::admin {

int cmdExport(const std::vector<std::string>& args) {
  const ParsedArguments a = parseArguments(args, {"--passphrase-file"}, 2,
                                           "export DATABASE TABLE [--passphrase-file FILE]");
  const DatabaseChoice database = existingDatabase(a.positional[0]);
  usePassphraseFile(a.option("--passphrase-file"), database);
  exportCsv(*openTables(database), a.positional[1], std::cout);
  return 0;
}

}  // namespace quarn::admin
