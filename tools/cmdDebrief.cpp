#include <QApplication>

#include "analysis/RecordedResults.h"
#include "analysis/StudyOverview.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "ui/DebriefWindow.h"

namespace quarn::admin {

int cmdDebrief(const std::vector<std::string>& args) {
  expectArguments(args, 2, "debrief DATADIR|SERVER SUBJECT");
  const std::string inputFolder = inputFolderOf(args[0]);
  CommandDatabase db(args[0]);
  // The ID as the login takes it: apart from letter case.
  const std::string subject =
      recordedName(recordedNames(db.access()).subjects, args[1], "participant");
  // Every participant's trials, for the participant's place in the class.
  const std::vector<RecordedTrial> everyone = recordedTrials(db.access(), "", "", inputFolder);
  const std::vector<LeagueTable> tables = leagueTables(everyone);
  std::vector<RecordedTrial> trials;
  std::vector<std::optional<ClassPlace>> places;
  for (const RecordedTrial& t : everyone) {
    if (t.subject != subject) continue;
    trials.push_back(t);
    places.push_back(classPlace(tables, t));
  }
  if (trials.empty()) {
    throw QuarnError(kErrFileNotFound,
                     "No experiment trial of " + subject + " is recorded in " + db.location());
  }
  int argc = 1;
  char name[] = "quarngame-admin";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  DebriefWindow window(subject, std::move(trials), std::move(places));
  window.show();
  return app.exec();
}

}  // namespace quarn::admin
