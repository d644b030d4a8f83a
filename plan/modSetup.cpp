#include "plan/modSetup.h"

#include <limits>

#include "interventions/modPause.h"
#include "plan/PlanCheck.h"
#include "plan/PlanRows.h"
#include "sim/Errors.h"
#include "sim/Numbers.h"

namespace quarn {

void LoadPlayers(Database& db, Plan& plan) {
  std::unique_ptr<Recordset> rs = DbOpenRecordset(db, "tblPlayer", true);
  plan.PlayerTable.clear();
  plan.PlayerCount = 0;
  if (!rs->Eof()) {
    rs->MoveLast();
    const int16_t count = Narrow16(rs->RecordCount(), "PlayerCount");
    rs->MoveFirst();
    std::vector<PlayerStrategy> table;
    table.reserve(count);
    while (!rs->Eof()) {
      PlayerStrategy player;
      player.Name = rs->Get("Name").AsText();
      player.Sterman = rs->Get("Sterman").AsBool();
      player.Demand = rs->Get("Demand").AsBool();
      player.BackOrder = rs->Get("BackOrder").AsBool();
      player.Delta = rs->Get("Delta").AsBool();
      player.IfZero = rs->Get("IfZero").AsInt16();
      player.Alpha = rs->Get("Alpha").AsDouble();
      player.Beta = rs->Get("Beta").AsDouble();
      player.Epsilon = rs->Get("Epsilon").AsDouble();
      player.Theta = rs->Get("Theta").AsDouble();
      table.push_back(std::move(player));
      rs->MoveNext();
    }
    plan.PlayerTable = std::move(table);
    plan.PlayerCount = Narrow16(static_cast<int64_t>(plan.PlayerTable.size()), "PlayerCount");
  }
  DbClose(db, rs);
}

int16_t GetPlayerIndex(Plan& plan, Toolkit& toolkit, int16_t trial, const std::string& name,
                       int16_t role) {
  if (trial < 0 || static_cast<size_t>(trial) >= plan.TrialPlans.size()) {
    throw QuarnError(kErrSubscriptOutOfRange,
                     "Subscript out of range: trial " + Decimal(trial) + " is not in the plan");
  }
  std::string refusal;
  const int16_t index = ResolvePlayer(plan, plan.TrialPlans[trial], trial, name, role, refusal);
  if (!refusal.empty()) {
    toolkit.MsgBox(refusal, MsgStyle::OkOnly, "Error: tblBlock");
    toolkit.EndApplication();
  }
  return index;
}

BlockRows ReadBlockRows(Database& db, const Plan& players, const std::string& setting,
                        const std::string& inputFolder) {
  BlockRows result;
  const std::string query = "SELECT * FROM tblBlock WHERE [tblBlock.Setting]='" +
                            SqlQuote(setting) + "' ORDER BY [tblBlock.RandomGroup] DESC, " +
                            " [tblBlock.Index];";
  std::unique_ptr<Recordset> rs = DbOpenRecordset(db, query, true);
  RowReader reader(*rs, setting, "tblBlock", -1, result.faults);

  // First pass: how many trials the rows make.
  int64_t total = 0;
  bool anyRow = false;
  while (!rs->Eof()) {
    anyRow = true;
    reader.SetTrial(static_cast<int16_t>(std::min<int64_t>(total, INT16_MAX)));
    const std::optional<int16_t> runs = reader.Int16("Runs");
    if (runs && *runs < 0) {
      reader.Add(reader.Refusal("Runs", Decimal(*runs), "Runs " + Decimal(*runs) + " is below 0"));
    } else if (runs) {
      total += *runs;
    }
    rs->MoveNext();
  }
  reader.SetTrial(-1);
  if (!anyRow) {
    reader.Add(reader.Refusal("Setting", setting, "tblBlock has no rows for this setting"));
  } else if (total == 0 && result.faults.empty()) {
    reader.Add(reader.Refusal("Runs", "0", "the rows of tblBlock make no trials"));
  } else if (total > std::numeric_limits<int16_t>::max()) {
    reader.Add(
        reader.Refusal("Runs", Decimal(total),
                       "the rows of tblBlock make " + Decimal(total) + " trials, more than 32767"));
  }
  if (!result.faults.empty()) {
    DbClose(db, rs);
    return result;
  }

  // Second pass: every row read once and copied Runs times; copies read from
  // the same row would be equal anyway.
  result.trials.reserve(static_cast<size_t>(total));
  rs->MoveFirst();
  while (!rs->Eof()) {
    const int16_t runs = rs->Get("Runs").AsInt16();
    if (runs > 0) {
      const int16_t first = static_cast<int16_t>(result.trials.size());
      reader.SetTrial(first);
      TrialPlan trial;
      if (ReadTrialColumns(reader, players, trial, false)) {
        for (SettingFault& f : CheckLoadedTrial(trial, setting, "tblBlock", first, inputFolder)) {
          reader.Add(std::move(f));
        }
      }
      result.trials.insert(result.trials.end(), runs, trial);
    }
    rs->MoveNext();
  }
  DbClose(db, rs);
  return result;
}

void LoadBlocks(Database& db, Toolkit& toolkit, const Identity& identity, Plan& plan,
                const std::string& inputFolder) {
  plan.TrialCount = 0;
  BlockRows rows = ReadBlockRows(db, plan, identity.SettingName, inputFolder);
  if (!rows.faults.empty()) RefusePlan(toolkit, rows.faults.front());
  plan.TrialPlans = std::move(rows.trials);
  plan.TrialCount = static_cast<int16_t>(plan.TrialPlans.size());
}

void LoadExperiment(ExperimentContext& c) {
  LoadPlayers(c.db, c.plan);
  LoadBlocks(c.db, c.toolkit, c.identity, c.plan, c.inputFolder);
  LoadTraining(c.db, c.toolkit, c.identity, c.plan, c.training, c.inputFolder, c.hooks);
  LoadPauses(c.db, c.identity, c.pauses);
}

}  // namespace quarn
