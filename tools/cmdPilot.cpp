#include "app/Pilot.h"
#include "tools/Commands.h"

namespace quarn::admin {

int CmdPilot(const std::vector<std::string>& args) {
  if (args.size() != 3 && !(args.size() == 5 && args[3] == "--orders")) {
    throw UsageError("usage: quarngame-admin pilot DATADIR SETTING SUBJECT [--orders FILE]");
  }
  PilotOptions options{args[0], args[1], args[2], {}};
  if (args.size() == 5) options.orders = OrdersFromList(ReadOrdersFile(args[4]));
  return RunPilotApplication(options);
}

}  // namespace quarn::admin
