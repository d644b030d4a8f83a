#include <QApplication>

#include "analysis/RecordedResults.h"
#include "analysis/StudyOverview.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "ui/DebriefWindow.h"
#include "ui/Translations.h"

namespace quarn::admin {

int cmdDebrief(const std::vector<std::string>& args) {
  const ParsedArguments a =
      parseArguments(args, {"--language"}, 2, "debrief DATADIR|SERVER SUBJECT [--language CODE]");
  const std::string inputFolder = inputFolderOf(a.positional[0]);
  CommandDatabase db(a.positional[0]);
  // The ID as the login takes it: apart from letter case.
  const std::string subject = recordedParticipant(recordedNames(db.access()), a.positional[1]);
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
  // The participant's language, as at the game: the setting's, else the
  // one asked for, else the system's.
  Translations translations;
  translations.useStartLanguage(a.option("--language"));
  translations.useSettingLanguage(db.access().planTables().settingLanguage(trials.front().setting));
  DebriefWindow window(subject, std::move(trials), std::move(places));
  window.show();
  return app.exec();
}

}  // namespace quarn::admin
