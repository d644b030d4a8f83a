#include <QApplication>
#include <iostream>

#include "analysis/RecordedResults.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "tools/Passphrase.h"
#include "ui/TrialReport.h"

namespace quarn::admin {

int cmdReport(const std::vector<std::string>& args) {
  constexpr const char* kUsage =
      "report DATABASE [--setting S] [--subject ID] --out DIR [--passphrase-file FILE]";
  const ParsedArguments a =
      parseArguments(args, {"--setting", "--subject", "--out", "--passphrase-file"}, 1, kUsage);
  if (!a.has("--out")) throw UsageError(std::string("usage: quarngame-admin ") + kUsage);
  usePassphraseFile(a.option("--passphrase-file"), existingDatabase(a.positional[0]));
  CommandDatabase db(a.positional[0]);
  const std::vector<RecordedTrial> trials =
      recordedTrials(db.access(), a.option("--setting"), a.option("--subject"));
  // The pictures are drawn without a screen.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "quarngame-admin";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const ReportCounts counts = writeReport(trials, a.option("--out"), db.location());
  std::cout << "wrote " << a.option("--out") << "/index.html: " << counts.participants
            << " participants, " << counts.trials << " trials, " << counts.pictures
            << " pictures, measures.csv, fits.csv and one PDF per participant\n";
  return 0;
}

}  // namespace quarn::admin
