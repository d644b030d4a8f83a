#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <random>

#include "analysis/BatchSimulation.h"
#include "analysis/Measures.h"
#include "analysis/RecordedResults.h"
#include "base/Csv.h"
#include "base/Text.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "tools/SettingPlan.h"
#include "tools/TextTable.h"

namespace quarn::admin {

namespace {

constexpr const char* kUsage =
    "simulate DATABASE SETTING [--as PLAYER] --runs N [--seed S] [--jobs J] [--csv FILE]";

// A bar on standard error that redraws itself on one line.
std::function<void(int)> progressBar(int runs) {
  return [runs, shown = -1](int done) mutable {
    const int percent = done * 100 / runs;
    if (percent == shown && done != runs) return;
    shown = percent;
    const int filled = percent * 30 / 100;
    std::cerr << "\r[" << std::string(static_cast<size_t>(filled), '#')
              << std::string(static_cast<size_t>(30 - filled), '.') << "] " << percent << "% "
              << done << "/" << runs << " runs" << (done == runs ? "\n" : "") << std::flush;
  };
}

std::vector<std::string> cells(const std::optional<Distribution>& d, int decimals) {
  if (!d) return {"-", "-", "-", "-", "-"};
  return {figure(&d->mean, decimals), figure(d->sd, decimals), figure(&d->q05, decimals),
          figure(&d->q50, decimals), figure(&d->q95, decimals)};
}

std::vector<std::vector<std::string>> summaryTable(const std::vector<TrialSummary>& table) {
  std::vector<std::vector<std::string>> rows = {{"Trial", "Stage", "Player", "Cost mean", "sd",
                                                 "5%", "50%", "95%", "Ampl. mean", "sd", "5%",
                                                 "50%", "95%"}};
  for (const TrialSummary& t : table) {
    for (size_t r = 0; r < kRoleCount; ++r) {
      const StageSummary& s = t.stages[r];
      std::vector<std::string> row = {std::to_string(t.trial), roleName(static_cast<int>(r)),
                                      s.player + (t.standIn[r] ? " *" : "")};
      for (const std::string& cell : cells(s.endCost, 1)) row.push_back(cell);
      for (const std::string& cell : cells(s.amplification, 2)) row.push_back(cell);
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

void writeSummaryCsv(std::ostream& out, const std::string& setting,
                     const std::vector<TrialSummary>& table) {
  out << "Setting,Trial,Stage,Player,Participant,Runs,CostMean,CostSd,Cost05,Cost50,Cost95,"
         "AmplificationRuns,AmplificationMean,AmplificationSd,Amplification05,Amplification50,"
         "Amplification95\r\n";
  for (const TrialSummary& t : table) {
    for (size_t r = 0; r < kRoleCount; ++r) {
      const StageSummary& s = t.stages[r];
      out << csvField(setting) << ',' << t.trial << ',' << roleName(static_cast<int>(r)) << ','
          << csvField(s.player) << ',' << (t.standIn[r] ? 1 : 0);
      for (const auto* d : {&s.endCost, &s.amplification}) {
        if (*d) {
          const Distribution& v = **d;
          out << ',' << v.count << ',' << csvNumber(v.mean) << ',' << csvNumber(v.sd) << ','
              << csvNumber(v.q05) << ',' << csvNumber(v.q50) << ',' << csvNumber(v.q95);
        } else {
          out << ",0,,,,,";
        }
      }
      out << "\r\n";
    }
  }
}

}  // namespace

int cmdSimulate(const std::vector<std::string>& args) {
  const ParsedArguments a =
      parseArguments(args, {"--as", "--runs", "--seed", "--jobs", "--csv"}, 2, kUsage);
  if (!a.has("--runs")) throw UsageError(std::string("usage: quarngame-admin ") + kUsage);
  const std::string inputFolder = inputFolderOf(a.positional[0]);
  CommandDatabase db(a.positional[0]);
  const std::string setting = recordedName(db.access().settings(), a.positional[1], "setting");
  SettingPlan plan = loadSetting(db.access(), setting, inputFolder);
  if (a.has("--as") && !hasParticipantStage(plan.trials)) {
    throw QuarnError(kErrInvalidPlan, "The setting " + setting +
                                          " has no participant's stage for --as to play: every "
                                          "stage is played by its simulated player");
  }
  const bool anyTeamTrial = std::any_of(plan.trials.begin(), plan.trials.end(),
                                        [](const TrialPlan& t) { return isTeamTrial(t); });
  BatchRequest request;
  request.player = standInPlayer(plan.players, a.option("--as"));
  request.players = std::move(plan.players);
  request.trials = std::move(plan.trials);
  request.inputFolder = inputFolder;
  request.runs = wholeNumber<int>(a.option("--runs"), "--runs", 1, 10'000'000);
  request.jobs = a.has("--jobs") ? wholeNumber<int>(a.option("--jobs"), "--jobs", 1, 256) : 1;
  request.seed = a.has("--seed")
                     ? wholeNumber<uint64_t>(a.option("--seed"), "--seed", 0, UINT64_MAX)
                     : std::random_device{}();
  if (::isatty(STDERR_FILENO)) request.progress = progressBar(request.runs);

  const std::vector<TrialSummary> table = simulateSetting(request);
  std::cout << "Setting " << setting << ": " << request.runs << " runs of " << table.size()
            << (table.size() == 1 ? " trial" : " trials") << ", "
            << request.players[static_cast<size_t>(request.player)].name
            << (anyTeamTrial ? " on every member's stage (*)" : " on the participant's stage (*)")
            << ", seed " << request.seed << "\n"
            << "End cost of each stage; amplification = variance of its orders / variance of "
               "the customer demand\n\n";
  printTable(std::cout, summaryTable(table), 3);
  if (everyRunIdentical(table)) {
    std::cout << "\nEvery run came out the same: the setting has no noise, so one run tells "
                 "all.\n";
  }
  if (a.has("--csv")) {
    std::ofstream csv(a.option("--csv"), std::ios::binary);
    writeSummaryCsv(csv, setting, table);
    if (!csv.flush()) throw QuarnError(kErrFileNotFound, "Cannot write " + a.option("--csv"));
  }
  return 0;
}

}  // namespace quarn::admin
