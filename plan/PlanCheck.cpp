#include "plan/PlanCheck.h"

#include "plan/PlanRows.h"
#include "sim/Errors.h"
#include "sim/Numbers.h"
#include "sim/modInit.h"

namespace quarn {

void RefusePlan(Toolkit& toolkit, const SettingFault& fault) {
  if (fault.errorNumber != 0) throw QuarnError(fault.errorNumber, fault.text);
  toolkit.MsgBox(fault.text, MsgStyle::OkOnly, fault.title);
  toolkit.EndApplication();
  throw ApplicationEnd(0);  // for a toolkit whose EndApplication returns
}

std::string DescribeFault(const SettingFault& fault) {
  const std::string prefix = FaultPrefix(fault.setting, fault.trial);
  if (fault.text.compare(0, prefix.size(), prefix) == 0) return fault.table + ": " + fault.text;
  return fault.table + ": " + prefix + fault.text;
}

namespace {

std::string Complaint(const PlanFault& f, const TrialPlan& trial) {
  if (f.field == "Delay") return "is outside 1 to 3";
  if (f.field == "numweeks") return "is below 1";
  if (f.field == "OrderDelay") return "is below 0";
  if (f.field == "JumpWeek") return "is outside 1 to " + Decimal(int64_t{trial.numweeks} + 2);
  return "is not allowed";
}

}  // namespace

std::vector<SettingFault> CheckLoadedTrial(const TrialPlan& trial, const std::string& setting,
                                           const std::string& table, int16_t index,
                                           const std::string& inputFolder) {
  std::vector<SettingFault> faults;
  const auto add = [&](const std::string& field, const std::string& value,
                       const std::string& complaint) {
    faults.push_back(MakeRefusal(setting, table, index, field, value, complaint));
  };
  const std::vector<PlanFault> values = CheckTrialValues(trial);
  for (const PlanFault& f : values) {
    // Training rows call the week count Weeks.
    const std::string field = f.field == "numweeks" && table == "tblTraining" ? "Weeks" : f.field;
    add(field, f.value, field + " " + f.value + " " + Complaint(f, trial));
  }
  if (!trial.Input.empty() && trial.numweeks >= 1) {
    try {
      CheckDemandFile(trial, inputFolder);
    } catch (const QuarnError& e) {
      add("Input", trial.Input, "Input " + trial.Input + ": " + e.Description());
    }
  }
  return faults;
}

std::vector<SettingFault> CheckSetting(Database& db, const Plan& players,
                                       const std::string& setting, const std::string& inputFolder) {
  std::vector<SettingFault> faults;
  int16_t trialCount = 0;
  const auto readFailed = [&](const std::string& table, const QuarnError& e) {
    SettingFault fault;
    fault.setting = setting;
    fault.table = table;
    fault.text = FaultPrefix(setting, -1) + e.Description();
    fault.title = "Error: " + table;
    fault.errorNumber = e.Number();
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
  return faults;
}

}  // namespace quarn
