#include "plan/modSetup.h"

#include <limits>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "interventions/modPause.h"
#include "plan/PlanCheck.h"
#include "plan/PlanRows.h"

namespace quarn {

PlayerRows ReadPlayerRows(Database& db) {
  PlayerRows result;
  std::unique_ptr<Recordset> rs = DbOpenRecordset(db, "tblPlayer", true);
  RowReader reader(*rs, "tblPlayer", "tblPlayer", -1, result.faults);
  int64_t row = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    reader.SetPlace("tblPlayer row " + decimal(++row), -1);
    const std::optional<std::string> name = reader.Text("Name");
    if (!name) continue;
    reader.SetPlace("tblPlayer row " + printable(*name), -1);
    if (const std::string fault = textLineFault(*name); !fault.empty()) {
      reader.Add(reader.Refusal("Name", printable(*name),
                                "the name " + fault +
                                    ", which would break the lines of the participants' text "
                                    "files"));
    }
    PlayerStrategy player;
    player.name = *name;
    player.usesSterman = reader.Truth("Sterman");
    player.addsDemand = reader.Truth("Demand");
    player.addsBackorder = reader.Truth("BackOrder");
    player.addsDelta = reader.Truth("Delta");
    player.orderIfNegative = reader.Int16("IfZero").value_or(0);
    player.alpha = reader.Double("Alpha").value_or(0.0);
    player.beta = reader.Double("Beta").value_or(0.0);
    player.epsilon = reader.Double("Epsilon").value_or(0.0);
    player.theta = reader.Double("Theta").value_or(0.0);
    if (const std::string fault = StermanParameterFault(player); !fault.empty()) {
      reader.Add(reader.Refusal("Alpha, Beta, Theta, Epsilon", "", fault));
    }
    result.players.push_back(std::move(player));
  }
  DbClose(db, rs);
  if (result.players.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
    result.faults.push_back(
        MakeRefusal("tblPlayer", "tblPlayer", -1, "Name", "", "more than 32767 players"));
  }
  return result;
}

void LoadPlayers(Database& db, Plan& plan) {
  PlayerRows rows = ReadPlayerRows(db);
  if (const SettingFault* fault = FirstFault(rows.faults)) {
    throw QuarnError(fault->errorNumber != 0 ? fault->errorNumber : kErrInvalidPlan, fault->text);
  }
  plan.players = std::move(rows.players);
}

namespace {

// The largest cost sum the game over can show.
constexpr double kLargestCostSum = 2147483647.0;

// The game adds the end costs of the experiment trials in 32 bits; a plan
// whose trials could together go beyond that is refused.
void CheckCostSum(const std::string& setting, double lowest, double highest,
                  const std::string& costliest, double costliestHigh, int64_t trials,
                  RowReader& reader) {
  if (highest <= kLargestCostSum && lowest >= -kLargestCostSum - 1) return;
  const double sum = highest > kLargestCostSum ? highest : lowest;
  reader.SetPlace(SettingPlace(setting), -1);
  reader.Add(reader.Refusal(
      "numweeks, cost rates", shortestDecimal(sum),
      "the end costs of its " + decimal(trials) + " trials can add up to " + shortestDecimal(sum) +
          ", beyond the 32 bits of the game's cost sum (2147483647); the costliest trials are " +
          costliest + ", up to " + shortestDecimal(costliestHigh) + " each"));
}

}  // namespace

BlockRows ReadBlockRows(Database& db, const Plan& players, const std::string& setting,
                        const std::string& inputFolder) {
  BlockRows result;
  const std::string query = "SELECT * FROM tblBlock WHERE [tblBlock.Setting]='" +
                            SqlQuote(setting) + "' ORDER BY [tblBlock.RandomGroup] DESC, " +
                            " [tblBlock.Index];";
  std::unique_ptr<Recordset> rs = DbOpenRecordset(db, query, true);
  RowReader reader(*rs, "tblBlock", SettingPlace(setting), -1, result.faults);
  if (const std::string fault = textLineFault(setting); !fault.empty()) {
    reader.Add(reader.Refusal("Setting", printable(setting),
                              "the setting name " + fault +
                                  ", which would break the lines of the participants' text files"));
  }

  // First pass: how many trials the rows make.
  int64_t total = 0;
  bool anyRow = false;
  while (!rs->Eof()) {
    anyRow = true;
    reader.SetPlace(BlockPlace(setting, *rs, total, 0),
                    static_cast<int16_t>(std::min<int64_t>(total, INT16_MAX)));
    const std::optional<int16_t> runs = reader.Int16("Runs");
    if (runs && *runs < 0) {
      reader.Add(reader.Refusal("Runs", decimal(*runs), "Runs " + decimal(*runs) + " is below 0"));
    } else if (runs) {
      total += *runs;
    }
    rs->MoveNext();
  }
  reader.SetPlace(SettingPlace(setting), -1);
  if (!anyRow) {
    reader.Add(
        reader.Refusal("Setting", printable(setting), "tblBlock has no rows for this setting"));
  } else if (total == 0 && result.faults.empty()) {
    reader.Add(reader.Refusal("Runs", "0", "the rows of tblBlock make no trials"));
  } else if (total > std::numeric_limits<int16_t>::max()) {
    reader.Add(
        reader.Refusal("Runs", decimal(total),
                       "the rows of tblBlock make " + decimal(total) + " trials, more than 32767"));
  }
  if (FirstFault(result.faults)) {
    DbClose(db, rs);
    return result;
  }

  // Second pass: every row read and checked once and copied Runs times;
  // copies read from the same row would be equal anyway.
  result.trials.reserve(static_cast<size_t>(total));
  PlanReferences references(db);
  double lowest = 0.0, highest = 0.0, costliestHigh = 0.0;
  std::string costliest;
  rs->MoveFirst();
  while (!rs->Eof()) {
    const int16_t runs = rs->Get("Runs").AsInt16();
    if (runs > 0) {
      const int16_t first = static_cast<int16_t>(result.trials.size());
      const std::string place = BlockPlace(setting, *rs, first, runs);
      reader.SetPlace(place, first);
      TrialPlan trial;
      if (ReadTrialColumns(reader, players, trial, false)) {
        TrialPlan built = trial;
        TrialBounds bounds;
        for (SettingFault& f : CheckLoadedTrial(built, players.players, "tblBlock", place, first,
                                                inputFolder, bounds)) {
          reader.Add(std::move(f));
        }
        if (!built.weeklyDemand.empty()) {
          WarnAboutTrial(built, "tblBlock", place, first, result.faults);
          references.CheckTrial(built, "tblBlock", place, first, result.faults);
        }
        lowest += runs * std::min(bounds.lowestCost, 0.0);
        highest += runs * std::max(bounds.highestCost, 0.0);
        if (bounds.highestCost > costliestHigh) {
          costliestHigh = bounds.highestCost;
          costliest = place;
        }
      }
      result.trials.insert(result.trials.end(), runs, trial);
    }
    rs->MoveNext();
  }
  DbClose(db, rs);
  if (!FirstFault(result.faults)) {
    CheckCostSum(setting, lowest, highest, costliest, costliestHigh, total, reader);
  }
  return result;
}

void LoadBlocks(Database& db, Prompter& toolkit, const Identity& identity, Plan& plan,
                const std::string& inputFolder) {
  BlockRows rows = ReadBlockRows(db, plan, identity.SettingName, inputFolder);
  if (const SettingFault* fault = FirstFault(rows.faults)) RefusePlan(toolkit, *fault);
  plan.trials = std::move(rows.trials);
  plan.trainingTrials.clear();
}

void LoadExperiment(ExperimentContext& c) {
  LoadPlayers(c.db, c.plan);
  LoadBlocks(c.db, c.toolkit, c.identity, c.plan, c.inputFolder);
  // The pauses are checked before training is announced, so that a refusal
  // comes before anything is shown.
  const std::vector<SettingFault> pauses =
      CheckPauses(c.db, c.identity.SettingName, c.plan.trialCount());
  if (const SettingFault* fault = FirstFault(pauses)) RefusePlan(c.toolkit, *fault);
  LoadTraining(c.db, c.toolkit, c.identity, c.plan, c.training, c.inputFolder, c.hooks);
  LoadPauses(c.db, c.identity, c.pauses);
}

}  // namespace quarn
