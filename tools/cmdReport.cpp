#include <QApplication>
#include <algorithm>
#include <iostream>
#include <set>
#include <thread>

#include "analysis/BatchSimulation.h"
#include "analysis/RecordedResults.h"
#include "analysis/StudyOverview.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "tools/Passphrase.h"
#include "tools/SettingPlan.h"
#include "ui/TrialReport.h"

namespace quarn::admin {

namespace {

constexpr const char* kUsage =
    "report DATABASE [--setting S] [--subject ID] --out DIR [--passphrase-file FILE] [--replace] "
    "[--anonymise] "
    "[--by COLUMNS] [--bootstrap N] [--seed S] [--svg] [--2x] [--as PLAYER] [--runs N]";

int reportJobs() {
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

// Each setting's trials played `runs` times with a simulated player on the
// participant's stage (every member's in a team trial): the costs the
// participants' are set against. A
// setting whose plan cannot be played is left without and said so.
SimulatedCostsByTrial simulatedCosts(DatabaseAccess& db, const std::vector<RecordedTrial>& trials,
                                     const std::string& inputFolder, const std::string& player,
                                     int runs, uint64_t seed) {
  SimulatedCostsByTrial simulated;
  std::set<std::string> settings;
  for (const RecordedTrial& t : trials) {
    if (hasParticipant(t.participantRole)) settings.insert(t.setting);
  }
  for (const std::string& setting : settings) {
    SettingPlan plan;
    try {
      plan = loadSetting(db, setting, inputFolder);
    } catch (const QuarnError& e) {
      std::cerr << "No percentiles for setting " << setting << ": " << e.description() << "\n";
      continue;
    }
    if (plan.players.empty() || !hasParticipantStage(plan.trials)) continue;
    BatchRequest request;
    request.player = standInPlayer(plan.players, player);
    request.players = std::move(plan.players);
    request.trials = std::move(plan.trials);
    request.inputFolder = inputFolder;
    request.runs = runs;
    request.seed = seed;
    request.jobs = reportJobs();
    const std::string name = request.players[static_cast<size_t>(request.player)].name;
    for (const TrialSummary& t : simulateSetting(request)) {
      if (!hasStandIn(t)) continue;
      SimulatedCosts& costs = simulated[{setting, t.trial}];
      costs.player = name;
      costs.runs = static_cast<size_t>(runs);
      for (size_t r = 0; r < kRoleCount; ++r) {
        if (t.standIn[r]) costs.costs[r] = t.stages[r].endCosts;
      }
    }
  }
  return simulated;
}

std::vector<std::string> columnList(const std::string& text) {
  std::vector<std::string> columns;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    if (end > start) columns.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return columns;
}

}  // namespace

int cmdReport(const std::vector<std::string>& args) {
  const ParsedArguments a =
      parseArguments(args,
                     {"--setting", "--subject", "--out", "--by", "--bootstrap", "--seed", "--as",
                      "--runs", "--passphrase-file"},
                     1, kUsage, {"--replace", "--anonymise", "--svg", "--2x"});
  if (!a.has("--out")) throw UsageError(std::string("usage: quarngame-admin ") + kUsage);
  const std::string inputFolder = inputFolderOf(a.positional[0]);
  usePassphraseFile(a.option("--passphrase-file"), existingDatabase(a.positional[0]));
  CommandDatabase db(a.positional[0]);
  ReportOptions options;
  options.source = db.location();
  options.replace = a.has("--replace");
  options.svg = a.has("--svg");
  options.doubleSize = a.has("--2x");
  options.jobs = reportJobs();
  for (const std::string& column : columnList(a.option("--by"))) {
    options.summary.by.push_back(treatmentColumn(column));
  }
  if (a.has("--bootstrap")) {
    options.summary.bootstrap =
        wholeNumber<int>(a.option("--bootstrap"), "--bootstrap", 1, 1'000'000);
  }
  const uint64_t seed =
      a.has("--seed") ? wholeNumber<uint64_t>(a.option("--seed"), "--seed", 0, UINT64_MAX) : 1;
  options.summary.seed = seed;
  const int runs =
      a.has("--runs") ? wholeNumber<int>(a.option("--runs"), "--runs", 0, 1'000'000) : 1000;

  const RecordedNames names = recordedNames(db.access());
  const std::string setting = recordedName(names.settings, a.option("--setting"), "setting");
  const std::string subject = recordedParticipant(names, a.option("--subject"));
  std::vector<RecordedTrial> trials = recordedTrials(db.access(), setting, subject, inputFolder);
  // A team trial's members recorded it each under their own ID; datTeam
  // tells which records belong together.
  joinTeams(trials, recordedTeamRows(db.tables()));
  if (trials.empty() && !subject.empty() && !setting.empty()) {
    const bool trained = !db.access().trainingSessions(setting, subject).empty();
    throw QuarnError(kErrItemNotFound,
                     "Participant " + subject +
                         (trained ? " played training only in setting "
                                  : " has no experiment trial recorded in setting ") +
                         setting + (trained ? ": no experiment trial is recorded" : ""));
  }
  if (runs > 0) {
    options.simulated =
        simulatedCosts(db.access(), trials, inputFolder, a.option("--as"), runs, seed);
  }
  if (a.has("--anonymise")) trials = anonymised(std::move(trials));

  // The pictures are drawn without a screen.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "quarngame-admin";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const ReportCounts counts = writeReport(trials, a.option("--out"), options);
  std::cout << "wrote " << a.option("--out") << "/index.html: " << counts.participants
            << " participants, " << counts.trials << " trials, " << counts.pictures
            << " pictures, overview.pdf, measures.csv, weeks.csv, fits.csv, summary.csv, "
               "codebook.md and one PDF per participant\n";
  return 0;
}

}  // namespace quarn::admin
