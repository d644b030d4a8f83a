#include "plan/PlanCheck.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "plan/PlanRows.h"
#include "sim/DemandSeries.h"

namespace quarn {

void RefusePlan(Prompter& toolkit, const SettingFault& fault) {
  if (fault.errorNumber != 0) throw QuarnError(fault.errorNumber, fault.text);
  toolkit.ask(fault.text, PromptStyle::Ok, fault.title);
  toolkit.endApplication();
  throw ApplicationEnd(0);  // for a toolkit whose EndApplication returns
}

const SettingFault* FirstFault(const std::vector<SettingFault>& faults) {
  for (const SettingFault& f : faults) {
    if (!f.warning) return &f;
  }
  return nullptr;
}

std::string DescribeFault(const SettingFault& fault) {
  std::string line = fault.text;
  if (line.compare(0, fault.place.size(), fault.place) != 0) line = fault.place + ": " + line;
  return fault.warning ? "warning: " + line : line;
}

namespace {

std::string Complaint(const TrialValueFault& f, const TrialPlan& trial) {
  if (f.field == "Delay") return "is outside 1 to 3";
  if (f.field == "numweeks") return "is below 1";
  if (f.field == "OrderDelay") return "is below 0";
  if (f.field == "JumpWeek") return "is outside 1 to " + decimal(int64_t{trial.weeks} + 2);
  return "is not allowed";
}

SettingFault Warning(const std::string& table, const std::string& place, int16_t index,
                     const std::string& field, const std::string& value,
                     const std::string& complaint) {
  SettingFault w = MakeRefusal(table, place, index, field, value, complaint);
  w.warning = true;
  return w;
}

bool PlayersResolved(const TrialPlan& trial, const std::vector<PlayerStrategy>& players) {
  for (int r = 0; r < kRoleCount; ++r) {
    const int16_t p = trial.rolePlayers[r];
    if (r != trial.participantRole && (p < 0 || static_cast<size_t>(p) >= players.size())) {
      return false;
    }
  }
  return true;
}

const char* const kFigures[] = {"RecentOrder", "BackOrder", "Inventory",
                                "Satisfied",   "Demand",    "Cost"};
const char* const kTruckRows[] = {"BottlesF", "TrucksFD", "TrucksDW", "TrucksWR", "TotalCost"};

}  // namespace

std::vector<SettingFault> CheckLoadedTrial(TrialPlan& trial,
                                           const std::vector<PlayerStrategy>& players,
                                           const std::string& table, const std::string& place,
                                           int16_t index, const std::string& inputFolder,
                                           TrialBounds& bounds) {
  std::vector<SettingFault> faults;
  const auto add = [&](const std::string& field, const std::string& value,
                       const std::string& complaint) {
    faults.push_back(MakeRefusal(table, place, index, field, value, complaint));
  };
  const std::string weeks = table == "tblTraining" ? "Weeks" : "numweeks";
  for (const TrialValueFault& f : checkTrialValues(trial)) {
    // Training rows call the week count Weeks.
    const std::string field = f.field == "numweeks" ? weeks : f.field;
    add(field, f.value, field + " " + f.value + " " + Complaint(f, trial));
  }
  if (!faults.empty()) return faults;
  try {
    buildDemand(trial, inputFolder);
  } catch (const QuarnError& e) {
    add("Input", printable(trial.inputFile),
        "Input " + printable(trial.inputFile) + ": " + e.description());
    return faults;
  }
  if (!PlayersResolved(trial, players)) return faults;
  bounds = CheckTrialBounds(trial, players, weeks);
  for (const BoundFault& f : bounds.faults) add(f.field, f.value, f.complaint);
  return faults;
}

void WarnAboutTrial(const TrialPlan& trial, const std::string& table, const std::string& place,
                    int16_t index, std::vector<SettingFault>& out) {
  if (trial.maxOrder < trial.minOrder) {
    out.push_back(Warning(table, place, index, "MaxOrder", decimal(trial.maxOrder),
                          "MaxOrder " + decimal(trial.maxOrder) + " is below MinOrder " +
                              decimal(trial.minOrder) +
                              ": a Sterman player's order is then always one of the two"));
  }
  const std::pair<const char*, double> rates[] = {{"CostInventory", trial.inventoryCostRate},
                                                  {"CostBackOrder", trial.backorderCostRate},
                                                  {"CostTransit", trial.transitCostRate}};
  for (const auto& [field, rate] : rates) {
    if (rate < 0) {
      out.push_back(Warning(table, place, index, field, shortestDecimal(rate),
                            std::string(field) + " " + shortestDecimal(rate) +
                                " is negative: the stages earn by it"));
    }
  }
  for (int64_t i = 0; i < trial.weeks && static_cast<size_t>(i) < trial.weeklyDemand.size(); ++i) {
    const int32_t d = trial.weeklyDemand[static_cast<size_t>(i)];
    if (d < 0) {
      const std::string field = trial.inputFile.empty()
                                    ? (i + 1 < trial.jumpWeek ? "InitialDemand" : "SecondDemand")
                                    : "Input";
      out.push_back(Warning(
          table, place, index, field, decimal(d),
          "the customer demand is negative (" + decimal(d) + " in week " + decimal(i + 1) + ")"));
      break;
    }
  }
}

const PlanReferences::PredicterRow& PlanReferences::Predicter(const std::string& name,
                                                              const std::string& place,
                                                              int16_t index) {
  auto found = predicters_.find(name);
  if (found != predicters_.end()) return found->second;
  PredicterRow& row = predicters_[name];
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db_, "SELECT * FROM tblPredicter WHERE Predicter='" + SqlQuote(name) + "';", true);
  if (!rs->Eof()) {
    row.found = true;
    RowReader reader(*rs, "tblPredicter", place + ", tblPredicter row " + printable(name), index,
                     row.faults);
    const std::optional<int16_t> extent = reader.Int16("Extent");
    const std::optional<int32_t> excess = reader.Int32("Excess");
    const std::optional<int32_t> noise = reader.Int32("MaxNoise");
    if (extent && excess && noise) {
      row.readable = true;
      row.forecast = {*extent, *excess, *noise};
    }
  }
  DbClose(db_, rs);
  return row;
}

const PlanReferences::OptionRow& PlanReferences::Option(const std::string& name,
                                                        const std::string& place, int16_t index) {
  auto found = options_.find(name);
  if (found != options_.end()) return found->second;
  OptionRow& row = options_[name];
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db_, "SELECT * FROM tblDisplayOption WHERE Option='" + SqlQuote(name) + "';", true);
  if (!rs->Eof()) {
    row.found = true;
    RowReader reader(*rs, "tblDisplayOption", place + ", tblDisplayOption row " + printable(name),
                     index, row.faults);
    for (const char* figure : kFigures) {
      const size_t before = reader.FaultCount();
      if (!reader.Truth(figure) && reader.FaultCount() == before) row.hidden.push_back(figure);
    }
  }
  DbClose(db_, rs);
  return row;
}

const PlanReferences::DisplayRow& PlanReferences::Display(const std::string& name,
                                                          const std::string& place, int16_t index) {
  auto found = displays_.find(name);
  if (found != displays_.end()) return found->second;
  DisplayRow& row = displays_[name];
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db_, "SELECT * FROM tblDisplay WHERE Configuration='" + SqlQuote(name) + "';", true);
  if (!rs->Eof()) {
    row.found = true;
    RowReader reader(*rs, "tblDisplay", place + ", tblDisplay row " + printable(name), index,
                     row.faults);
    for (const char* column : kTruckRows) reader.Truth(column);
    for (int r = 0; r < kRoleCount; ++r) row.options[r] = reader.TextOrEmpty(roleColumn(r));
  }
  DbClose(db_, rs);
  return row;
}

void PlanReferences::CheckTrial(const TrialPlan& trial, const std::string& table,
                                const std::string& place, int16_t index,
                                std::vector<SettingFault>& out) {
  // Faults and warnings of a named row are listed once, at the first trial
  // that names it; a fault refuses the plan there anyway.
  const auto once = [this](const std::string& key) { return reported_.insert(key).second; };
  const auto report = [&](const std::vector<SettingFault>& faults, const std::string& key) {
    if (once(key)) out.insert(out.end(), faults.begin(), faults.end());
  };

  if (!trial.predicter.empty()) {
    const std::string shown = printable(trial.predicter);
    if (const std::string fault = textLineFault(trial.predicter); !fault.empty()) {
      out.push_back(MakeRefusal(table, place, index, "Predicter", shown,
                                "the Predicter name '" + shown + "' " + fault +
                                    ", which would break the lines of the participant's text "
                                    "file"));
    }
    const PredicterRow& row = Predicter(trial.predicter, place, index);
    report(row.faults, "predicter:" + trial.predicter);
    if (!row.found && once("no predicter:" + trial.predicter)) {
      out.push_back(Warning(
          table, place, index, "Predicter", shown,
          "Predicter " + shown + " names no tblPredicter row: the trial shows no forecast"));
    }
    if (row.readable) {
      for (const BoundFault& f : CheckForecastBounds(row.forecast, trial)) {
        out.push_back(MakeRefusal("tblPredicter", place + ", tblPredicter row " + shown, index,
                                  f.field, f.value, f.complaint));
      }
    }
  }

  const std::string config = printable(trial.displayOption);
  const DisplayRow& display = Display(trial.displayOption, place, index);
  report(display.faults, "display:" + trial.displayOption);
  if (!display.found) {
    if (once("no display:" + trial.displayOption)) {
      out.push_back(Warning(table, place, index, "DisplayOption", config,
                            "DisplayOption " + config +
                                " names no tblDisplay row: the trial keeps the display of the "
                                "trial before"));
    }
    return;
  }
  const std::string displayPlace = place + ", tblDisplay row " + config;
  for (int r = 0; r < kRoleCount; ++r) {
    const std::string& name = display.options[r];
    const OptionRow& option = Option(name, displayPlace, index);
    report(option.faults, "option:" + name);
    if (!option.found) {
      if (once("no option:" + trial.displayOption + ":" + roleName(r))) {
        out.push_back(Warning("tblDisplay", displayPlace, index, roleName(r), printable(name),
                              "the display option '" + printable(name) + "' of the " + roleName(r) +
                                  " names no tblDisplayOption row: its figures keep the "
                                  "visibility of the trial before"));
      }
      continue;
    }
    if (r == trial.participantRole && !option.hidden.empty() &&
        once("hidden:" + trial.displayOption + ":" + roleName(r))) {
      std::string figures;
      for (const std::string& f : option.hidden) figures += (figures.empty() ? "" : ", ") + f;
      out.push_back(Warning("tblDisplay", displayPlace, index, roleName(r), printable(name),
                            "the participant plays the " + roleName(r) +
                                " but its display option '" + printable(name) +
                                "' hides the participant's own " + figures));
    }
  }
}

std::vector<SettingFault> CheckPauses(Database& db, const std::string& setting,
                                      int16_t trialCount) {
  std::vector<SettingFault> faults;
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db, "SELECT * FROM tblPause WHERE Setting='" + SqlQuote(setting) + "' ORDER BY Trial Asc;",
      true);
  RowReader reader(*rs, "tblPause", SettingPlace(setting) + ", tblPause", -1, faults);
  for (; !rs->Eof(); rs->MoveNext()) {
    const std::string trialText = FieldText(rs->Get("Trial").Value());
    reader.SetPlace(SettingPlace(setting) + ", tblPause row Trial " + trialText, -1);
    const std::optional<int16_t> trial = reader.Int16("Trial");
    reader.Text("Password");
    if (trial && trialCount > 0 && (*trial < 1 || *trial > trialCount)) {
      faults.push_back(Warning("tblPause", reader.Place(), -1, "Trial", trialText,
                               "the pause after trial " + trialText +
                                   " never comes: the setting has trials 1 to " +
                                   decimal(trialCount) + ", and it holds up every pause after it"));
    }
  }
  DbClose(db, rs);
  return faults;
}

std::vector<SettingFault> CheckSetting(Database& db, const Plan& players,
                                       const std::string& setting, const std::string& inputFolder) {
  std::vector<SettingFault> faults;
  int16_t trialCount = 0;
  const auto readFailed = [&](const std::string& table, const QuarnError& e) {
    SettingFault fault = MakeRefusal(table, SettingPlace(setting), -1, "", "", e.description());
    fault.errorNumber = e.number();
    faults.push_back(std::move(fault));
  };
  try {
    BlockRows blocks = ReadBlockRows(db, players, setting, inputFolder);
    trialCount = static_cast<int16_t>(blocks.trials.size());
    faults = std::move(blocks.faults);
  } catch (const QuarnError& e) {
    readFailed("tblBlock", e);
  }
  try {
    TrainingRow training = ReadTrainingRow(db, players, setting, trialCount, inputFolder);
    faults.insert(faults.end(), training.faults.begin(), training.faults.end());
  } catch (const QuarnError& e) {
    readFailed("tblTraining", e);
  }
  try {
    std::vector<SettingFault> pauses = CheckPauses(db, setting, trialCount);
    faults.insert(faults.end(), pauses.begin(), pauses.end());
  } catch (const QuarnError& e) {
    readFailed("tblPause", e);
  }
  return faults;
}

}  // namespace quarn
