#include "plan/PlanCheck.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "plan/RowReader.h"
#include "sim/DemandSeries.h"

namespace quarn {

namespace {

std::string complaint(const TrialValueFault& f, const TrialPlan& trial) {
  if (f.field == "Delay") return "is outside 1 to 3";
  if (f.field == "numweeks") return "is below 1";
  if (f.field == "OrderDelay") return "is below 0";
  if (f.field == "JumpWeek") return "is outside 1 to " + decimal(int64_t{trial.weeks} + 2);
  return "is not allowed";
}

bool playersResolved(const TrialPlan& trial, const std::vector<PlayerStrategy>& players) {
  for (int r = 0; r < kRoleCount; ++r) {
    const int16_t p = trial.rolePlayers[r];
    if (!isTypedStage(trial, static_cast<int16_t>(r)) &&
        (p < 0 || static_cast<size_t>(p) >= players.size())) {
      return false;
    }
  }
  return true;
}

const char* const kFigures[] = {"RecentOrder", "BackOrder", "Inventory",
                                "Satisfied",   "Demand",    "Cost"};
const char* const kTruckRows[] = {"BottlesF", "TrucksFD", "TrucksDW", "TrucksWR", "TotalCost"};

}  // namespace

std::vector<PlanFault> checkReadValues(const TrialPlan& trial, const std::string& table,
                                       const std::string& place, int16_t index,
                                       const std::set<std::string>& unread) {
  std::vector<PlanFault> faults;
  const std::string weeks = table == "tblTraining" ? "Weeks" : "numweeks";
  for (const TrialValueFault& f : checkTrialValues(trial)) {
    // Training rows call the week count Weeks.
    const std::string field = f.field == "numweeks" ? weeks : f.field;
    if (unread.count(field) != 0) continue;
    if (field == "JumpWeek" && unread.count(weeks) != 0) continue;
    faults.push_back(makeRefusal(table, place, index, field, f.value,
                                 field + " " + f.value + " " + complaint(f, trial)));
  }
  return faults;
}

std::set<std::string> faultedFields(const std::vector<PlanFault>& faults, size_t from) {
  std::set<std::string> fields;
  for (size_t i = from; i < faults.size(); ++i) {
    if (!faults[i].warning) fields.insert(faults[i].field);
  }
  return fields;
}

std::vector<PlanFault> checkLoadedTrial(TrialPlan& trial,
                                        const std::vector<PlayerStrategy>& players,
                                        const std::string& table, const std::string& place,
                                        int16_t index, const std::string& inputFolder,
                                        TrialBounds& bounds) {
  std::vector<PlanFault> faults = checkReadValues(trial, table, place, index, {});
  const auto add = [&](const std::string& field, const std::string& value,
                       const std::string& complaint) {
    faults.push_back(makeRefusal(table, place, index, field, value, complaint));
  };
  const std::string weeks = table == "tblTraining" ? "Weeks" : "numweeks";
  if (!faults.empty()) return faults;
  std::vector<std::string> fractions;
  try {
    buildDemand(trial, inputFolder, &fractions);
  } catch (const QuarnError& e) {
    add("Input", printable(trial.inputFile),
        "Input " + printable(trial.inputFile) + ": " + e.description());
    return faults;
  }
  for (const std::string& fraction : fractions) {
    faults.push_back(
        makeWarning(table, place, index, "Input", printable(trial.inputFile), fraction));
  }
  if (!playersResolved(trial, players)) return faults;
  bounds = checkTrialBounds(trial, players, weeks);
  for (const BoundFault& f : bounds.faults) add(f.field, f.value, f.complaint);
  return faults;
}

void warnAboutBounds(const TrialBounds& bounds, const std::string& table, const std::string& place,
                     int16_t index, std::vector<PlanFault>& out) {
  for (const BoundFault& f : bounds.warnings) {
    out.push_back(makeWarning(table, place, index, f.field, f.value, f.complaint));
  }
}

void warnAboutTrial(const TrialPlan& trial, const std::string& table, const std::string& place,
                    int16_t index, std::vector<PlanFault>& out) {
  if (trial.maxOrder < trial.minOrder) {
    out.push_back(makeWarning(table, place, index, "MaxOrder", decimal(trial.maxOrder),
                              "MaxOrder " + decimal(trial.maxOrder) + " is below MinOrder " +
                                  decimal(trial.minOrder) +
                                  ": a Sterman player's order is then always one of the two"));
  }
  const std::pair<const char*, double> rates[] = {{"CostInventory", trial.inventoryCostRate},
                                                  {"CostBackOrder", trial.backorderCostRate},
                                                  {"CostTransit", trial.transitCostRate}};
  for (const auto& [field, rate] : rates) {
    if (rate < 0) {
      out.push_back(makeWarning(table, place, index, field, shortestDecimal(rate),
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
      out.push_back(makeWarning(
          table, place, index, field, decimal(d),
          "the customer demand is negative (" + decimal(d) + " in week " + decimal(i + 1) + ")"));
      break;
    }
  }
}

const PlanReferences::PredicterRow& PlanReferences::predicter(const std::string& name,
                                                              const std::string& place,
                                                              int16_t index) {
  auto found = m_predicters.find(name);
  if (found != m_predicters.end()) return found->second;
  PredicterRow& row = m_predicters[name];
  if (const std::optional<Row> found = m_tables.predicter(name)) {
    row.found = true;
    RowReader reader("tblPredicter", place + ", tblPredicter row " + printable(name), index,
                     row.faults);
    reader.setRow(*found);
    const std::optional<int16_t> extent = reader.int16("Extent");
    const std::optional<int32_t> excess = reader.int32("Excess");
    const std::optional<int32_t> noise = reader.int32("MaxNoise");
    if (extent && excess && noise) {
      row.readable = true;
      row.forecast = {*extent, *excess, *noise};
    }
  }
  return row;
}

const PlanReferences::OptionRow& PlanReferences::option(const std::string& name,
                                                        const std::string& place, int16_t index) {
  auto found = m_options.find(name);
  if (found != m_options.end()) return found->second;
  OptionRow& row = m_options[name];
  if (const std::optional<Row> found = m_tables.displayOption(name)) {
    row.found = true;
    RowReader reader("tblDisplayOption", place + ", tblDisplayOption row " + printable(name), index,
                     row.faults);
    reader.setRow(*found);
    for (const char* figure : kFigures) {
      const size_t before = reader.faultCount();
      if (!reader.truth(figure) && reader.faultCount() == before) row.hidden.push_back(figure);
    }
  }
  return row;
}

const PlanReferences::DisplayRow& PlanReferences::display(const std::string& name,
                                                          const std::string& place, int16_t index) {
  auto found = m_displays.find(name);
  if (found != m_displays.end()) return found->second;
  DisplayRow& row = m_displays[name];
  if (const std::optional<Row> found = m_tables.displayConfiguration(name)) {
    row.found = true;
    RowReader reader("tblDisplay", place + ", tblDisplay row " + printable(name), index,
                     row.faults);
    reader.setRow(*found);
    for (const char* column : kTruckRows) reader.truth(column);
    for (int r = 0; r < kRoleCount; ++r) row.options[r] = reader.textOrEmpty(roleColumn(r));
  }
  return row;
}

void PlanReferences::checkTrial(const TrialPlan& trial, const std::string& table,
                                const std::string& place, int16_t index,
                                std::vector<PlanFault>& out) {
  // Faults and warnings of a named row are listed once, at the first trial
  // that names it; a fault refuses the plan there anyway.
  const auto once = [this](const std::string& key) { return m_reported.insert(key).second; };
  const auto report = [&](const std::vector<PlanFault>& faults, const std::string& key) {
    if (once(key)) out.insert(out.end(), faults.begin(), faults.end());
  };

  if (!trial.predicter.empty()) {
    const std::string shown = printable(trial.predicter);
    if (const std::string fault = textLineFault(trial.predicter); !fault.empty()) {
      out.push_back(makeRefusal(table, place, index, "Predicter", shown,
                                "the Predicter name '" + shown + "' " + fault +
                                    ", which would break the lines of the participant's text "
                                    "file"));
    }
    const PredicterRow& row = predicter(trial.predicter, place, index);
    report(row.faults, "predicter:" + trial.predicter);
    if (!row.found && once("no predicter:" + trial.predicter)) {
      out.push_back(makeWarning(
          table, place, index, "Predicter", shown,
          "Predicter " + shown + " names no tblPredicter row: the trial shows no forecast"));
    }
    if (row.readable) {
      for (const BoundFault& f : checkForecastBounds(row.forecast, trial)) {
        out.push_back(makeRefusal("tblPredicter", place + ", tblPredicter row " + shown, index,
                                  f.field, f.value, f.complaint));
      }
    }
  }

  const std::string config = printable(trial.displayOption);
  const DisplayRow& displayRow = display(trial.displayOption, place, index);
  report(displayRow.faults, "display:" + trial.displayOption);
  if (!displayRow.found) {
    if (once("no display:" + trial.displayOption)) {
      out.push_back(makeWarning(table, place, index, "DisplayOption", config,
                                "DisplayOption " + config +
                                    " names no tblDisplay row: the trial keeps the display of the "
                                    "trial before"));
    }
    return;
  }
  const std::string displayPlace = place + ", tblDisplay row " + config;
  for (int r = 0; r < kRoleCount; ++r) {
    const std::string& name = displayRow.options[r];
    const OptionRow& optionRow = option(name, displayPlace, index);
    report(optionRow.faults, "option:" + name);
    if (!optionRow.found) {
      if (once("no option:" + trial.displayOption + ":" + roleName(r))) {
        out.push_back(makeWarning("tblDisplay", displayPlace, index, roleName(r), printable(name),
                                  "the display option '" + printable(name) + "' of the " +
                                      roleName(r) +
                                      " names no tblDisplayOption row: its figures keep the "
                                      "visibility of the trial before"));
      }
      continue;
    }
    if (isTypedStage(trial, static_cast<int16_t>(r)) && !optionRow.hidden.empty() &&
        once("hidden:" + trial.displayOption + ":" + roleName(r))) {
      std::string figures;
      for (const std::string& f : optionRow.hidden) figures += (figures.empty() ? "" : ", ") + f;
      const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
      const std::string who = member != 0 ? "team member " + decimal(member) : "the participant";
      out.push_back(makeWarning("tblDisplay", displayPlace, index, roleName(r), printable(name),
                                who + " plays the " + roleName(r) + " but its display option '" +
                                    printable(name) + "' hides " +
                                    (member != 0 ? "the member's" : "the participant's") + " own " +
                                    figures));
    }
  }
}

std::vector<PlanFault> checkPauses(PlanTables& tables, const std::string& setting,
                                   int16_t trialCount) {
  std::vector<PlanFault> faults;
  const Rows rows = tables.pauseRows(setting);
  RowReader reader("tblPause", settingPlace(setting) + ", tblPause", -1, faults);
  for (const Row& row : rows) {
    const std::string trialText = cellText(row.cell("Trial").value());
    reader.setRow(row);
    reader.setPlace(settingPlace(setting) + ", tblPause row Trial " + trialText, -1);
    const std::optional<int16_t> trial = reader.int16("Trial");
    reader.text("Password");
    if (trial && trialCount > 0 && (*trial < 1 || *trial > trialCount)) {
      faults.push_back(makeWarning(
          "tblPause", reader.place(), -1, "Trial", trialText,
          "the pause after trial " + trialText + " never comes: the setting has trials 1 to " +
              decimal(trialCount) + ", and it holds up every pause after it"));
    }
  }
  return faults;
}

}  // namespace quarn
