#include <fstream>
#include <iostream>

#include "analysis/DecisionRuleFit.h"
#include "analysis/RecordedResults.h"
#include "tools/CommandDatabase.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "tools/TextTable.h"

namespace quarn::admin {

namespace {

constexpr const char* kUsage = "fit DATABASE [--setting S] [--subject ID] [--csv FILE]";

std::vector<std::vector<std::string>> fitTable(const std::vector<ParticipantFit>& fits) {
  std::vector<std::vector<std::string>> rows = {{"Subject", "Setting", "Trial", "Stage", "Weeks",
                                                 "Theta", "Alpha", "Beta", "S'", "R2", "RMSE"}};
  for (const ParticipantFit& f : fits) {
    const RecordedTrial& t = *f.trial;
    std::vector<std::string> row = {t.subject, t.setting, std::to_string(t.trial),
                                    roleName(t.participantRole)};
    if (f.fit) {
      const AnchoringParameters& e = f.fit->estimate;
      row.insert(row.end(), {std::to_string(f.fit->weeksUsed), figure(&e.theta, 3),
                             figure(&e.alpha, 3), figure(&e.beta, 3), figure(&e.desiredStock, 1),
                             figure(f.fit->rSquared, 3), figure(&f.fit->rmse, 2)});
    } else {
      row.insert(row.end(), {"too few", "-", "-", "-", "-", "-", "-"});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

int cmdFit(const std::vector<std::string>& args) {
  const ParsedArguments a = parseArguments(args, {"--setting", "--subject", "--csv"}, 1, kUsage);
  CommandDatabase db(a.positional[0]);
  const std::vector<RecordedTrial> trials =
      recordedTrials(db.access(), a.option("--setting"), a.option("--subject"));
  const std::vector<ParticipantFit> fits = fitParticipants(trials);
  if (fits.empty()) {
    std::cout << "No experiment trial with a participant is recorded"
              << (a.has("--setting") || a.has("--subject") ? " for this choice" : "") << ".\n";
    return 0;
  }
  printTable(std::cout, fitTable(fits), 4);
  if (a.has("--csv")) {
    std::ofstream csv(a.option("--csv"), std::ios::binary);
    writeFitsCsv(csv, fits);
    if (!csv.flush()) throw QuarnError(kErrFileNotFound, "Cannot write " + a.option("--csv"));
  }
  return 0;
}

}  // namespace quarn::admin
