#include <iostream>

#include "db/DatabaseAdmin.h"
#include "tools/CommandDatabase.h"
#include "tools/Options.h"
#include "tools/Passphrase.h"

namespace quarn::admin {

int cmdExport(const std::vector<std::string>& args) {
  const ParsedArguments a = parseArguments(args, {"--passphrase-file"}, 2,
                                           "export DATABASE TABLE [--passphrase-file FILE]");
  usePassphraseFile(a.option("--passphrase-file"), existingDatabase(a.positional[0]));
  CommandDatabase db(a.positional[0]);
  exportCsv(db.tables(), a.positional[1], std::cout);
  return 0;
}

}  // namespace quarn::admin
