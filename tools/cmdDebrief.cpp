#include <QApplication>

#include "analysis/RecordedResults.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "ui/DebriefWindow.h"

namespace quarn::admin {

int cmdDebrief(const std::vector<std::string>& args) {
  expectArguments(args, 2, "debrief DATADIR|SERVER SUBJECT");
  CommandDatabase db(args[0]);
  std::vector<RecordedTrial> trials = recordedTrials(db.access(), "", args[1]);
  if (trials.empty()) {
    throw QuarnError(kErrFileNotFound,
                     "No experiment trial of " + args[1] + " is recorded in " + db.location());
  }
  int argc = 1;
  char name[] = "quarngame-admin";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  DebriefWindow window(args[1], std::move(trials));
  window.show();
  return app.exec();
}

}  // namespace quarn::admin
