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
      const std::optional<AnchoringParameters>& se = f.fit->standardErrors;
      // An estimate with its standard error: "0.412 (0.031)".
      const auto value = [&](double AnchoringParameters::*field, int decimals) {
        std::string text = figure(&(e.*field), decimals);
        if (se) text += " (" + figure(&((*se).*field), decimals) + ")";
        return text;
      };
      const std::string notDetermined = "not determined";
      const bool determined = f.fit->determined;
      row.insert(row.end(),
                 {std::to_string(f.fit->weeksUsed), value(&AnchoringParameters::theta, 3),
                  determined ? value(&AnchoringParameters::alpha, 3) : notDetermined,
                  determined ? value(&AnchoringParameters::beta, 3) : notDetermined,
                  determined ? value(&AnchoringParameters::desiredStock, 1) : notDetermined,
                  figure(f.fit->rSquared, 3), figure(&f.fit->rmse, 2)});
    } else {
      row.insert(row.end(), {"too few", "-", "-", "-", "-", "-", "-"});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

constexpr const char* kNotDeterminedNote =
    "Standard errors in brackets. \"not determined\": alpha is near 0 or S' at its ceiling, so "
    "the orders follow the expected demand alone and alpha, beta and S' cannot be told from "
    "them. Estimates without standard errors: an estimate's 95 % interval would reach past a "
    "bound (an estimate on or near a bound, or an error as wide as its range), where the errors "
    "do not hold.";

}  // namespace

int cmdFit(const std::vector<std::string>& args) {
  const ParsedArguments a = parseArguments(args, {"--setting", "--subject", "--csv"}, 1, kUsage);
  CommandDatabase db(a.positional[0]);
  const RecordedNames names = recordedNames(db.access());
  const std::vector<RecordedTrial> trials =
      recordedTrials(db.access(), recordedName(names.settings, a.option("--setting"), "setting"),
                     recordedParticipant(names, a.option("--subject")));
  const std::vector<ParticipantFit> fits = fitParticipants(trials);
  if (fits.empty()) {
    std::cout << "No experiment trial with a participant is recorded"
              << (a.has("--setting") || a.has("--subject") ? " for this choice" : "") << ".\n";
    return 0;
  }
  printTable(std::cout, fitTable(fits), 4);
  std::cout << "\n" << kNotDeterminedNote << "\n";
  if (a.has("--csv")) {
    std::ofstream csv(a.option("--csv"), std::ios::binary);
    writeFitsCsv(csv, fits);
    if (!csv.flush()) throw QuarnError(kErrFileNotFound, "Cannot write " + a.option("--csv"));
  }
  return 0;
}

}  // namespace quarn::admin
