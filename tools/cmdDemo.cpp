#include <iostream>

#include "db/DemoExperiment.h"
#include "db/OpenDatabase.h"
#include "tools/Commands.h"

namespace quarn::admin {

int cmdDemo(const std::vector<std::string>& args) {
  expectArguments(args, 1, "demo DATADIR|SERVER");
  const DatabaseChoice choice = chooseAdminDatabase(args[0]);
  const std::string made =
      choice.engine == DatabaseEngine::Server ? makeDemoOnServer(choice) : makeDemoFile(args[0]);
  const std::string demand = writeDemandFile(inputFolderOf(args[0]));
  std::cout << "created " << made << " (settings Demo and Simulated) and " << demand << "\n";
  return 0;
}

}  // namespace quarn::admin
