#include "plan/PlanRows.h"

#include <cctype>

#include "sim/Errors.h"
#include "sim/Numbers.h"

namespace quarn {

namespace {

const char* const kRoleColumns[kRoleCount] = {"Factory", "Distributor", "Wholesaler", "Retailer"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string FaultPrefix(const std::string& setting, int16_t trial) {
  if (trial < 0) return "Setting " + setting + ": ";
  return "Setting " + setting + ", trial " + Decimal(trial) + ": ";
}

std::string FieldText(const FieldValue& value) {
  if (std::holds_alternative<int64_t>(value)) return Decimal(std::get<int64_t>(value));
  if (std::holds_alternative<double>(value)) return ShortestDecimal(std::get<double>(value));
  if (std::holds_alternative<std::string>(value)) return std::get<std::string>(value);
  return "Null";
}

RowReader::RowReader(const Recordset& rs, std::string setting, std::string table, int16_t trial,
                     std::vector<SettingFault>& faults)
    : rs_(rs),
      setting_(std::move(setting)),
      table_(std::move(table)),
      trial_(trial),
      faults_(faults) {}

SettingFault MakeRefusal(const std::string& setting, const std::string& table, int16_t trial,
                         const std::string& field, const std::string& value,
                         const std::string& complaint) {
  SettingFault fault;
  fault.setting = setting;
  fault.table = table;
  fault.trial = trial;
  fault.field = field;
  fault.value = value;
  fault.text = FaultPrefix(setting, trial) + complaint;
  fault.title = "Error: " + table;
  return fault;
}

SettingFault RowReader::Refusal(const std::string& field, const std::string& value,
                                const std::string& complaint) const {
  return MakeRefusal(setting_, table_, trial_, field, value, complaint);
}

template <typename Read>
auto RowReader::Guarded(const std::string& column, const char* width, Read read)
    -> std::optional<decltype(read(std::declval<const Field&>()))> {
  std::string value;
  try {
    Field field = rs_.Get(column);
    value = FieldText(field.Value());
    return read(field);
  } catch (const OverflowError&) {
    Add(Refusal(column, value, column + " " + value + " does not fit in " + width));
  } catch (const QuarnError& e) {
    SettingFault fault = Refusal(column, value, column + ": " + e.Description());
    fault.errorNumber = e.Number();
    Add(std::move(fault));
  }
  return std::nullopt;
}

std::optional<int16_t> RowReader::Int16(const std::string& column) {
  return Guarded(column, "16 bits", [](const Field& f) { return f.AsInt16(); });
}

std::optional<int32_t> RowReader::Int32(const std::string& column) {
  return Guarded(column, "32 bits", [](const Field& f) { return f.AsInt32(); });
}

std::optional<double> RowReader::Double(const std::string& column) {
  return Guarded(column, "a number", [](const Field& f) { return f.AsDouble(); });
}

std::optional<std::string> RowReader::Text(const std::string& column) {
  return Guarded(column, "a text", [](const Field& f) { return f.AsText(); });
}

std::string RowReader::TextOrEmpty(const std::string& column) {
  return Guarded(column, "a text",
                 [](const Field& f) { return f.IsNull() ? std::string() : f.AsText(); })
      .value_or(std::string());
}

bool RowReader::Truth(const std::string& column) {
  return Guarded(column, "a truth value", [](const Field& f) { return f.AsBool(); })
      .value_or(false);
}

int16_t ResolvePlayer(const Plan& players, TrialPlan& trial, int16_t trialIndex,
                      const std::string& name, int16_t role, std::string& refusal) {
  refusal.clear();
  if (name == "Subject") {
    if (trial.SubjectRole != kNoSubject) {
      refusal = "Subject is playing multiple roles";
      return kSubjectPlayer;
    }
    trial.SubjectRole = role;
    return kSubjectPlayer;
  }
  const std::string wanted = Lower(name);
  const auto count =
      std::min<size_t>(std::max<int16_t>(players.PlayerCount, 0), players.PlayerTable.size());
  for (size_t i = 0; i < count; ++i) {
    if (Lower(players.PlayerTable[i].Name) == wanted) return static_cast<int16_t>(i);
  }
  refusal = "Player strategy " + name + " invalid on Trial " + Decimal(trialIndex);
  return kSubjectPlayer;
}

bool ReadTrialColumns(RowReader& reader, const Plan& players, TrialPlan& trial, bool training) {
  const size_t faultsBefore = reader.FaultCount();
  size_t playerFaults = 0;
  trial.Delay = reader.Int16("Delay").value_or(0);
  trial.numweeks = reader.Int16(training ? "Weeks" : "numweeks").value_or(0);
  const std::string input = reader.TextOrEmpty("Input");
  if (input.find_first_not_of(' ') != std::string::npos) trial.Input = input;
  trial.InitialDemand = reader.Int32("InitialDemand").value_or(0);
  trial.JumpWeek = reader.Int16("JumpWeek").value_or(0);
  trial.SecondDemand = reader.Int32("SecondDemand").value_or(0);
  trial.Predicter = reader.TextOrEmpty("Predicter");
  trial.DisplayOption = reader.Text("DisplayOption").value_or(std::string());

  trial.SubjectRole = kNoSubject;
  trial.RolePlayer.fill(0);
  for (int16_t role = 0; role < kRoleCount; ++role) {
    const std::optional<std::string> name = reader.Text(kRoleColumns[role]);
    if (!name) continue;
    std::string refusal;
    trial.RolePlayer[role] = ResolvePlayer(players, trial, reader.Trial(), *name, role, refusal);
    if (!refusal.empty()) {
      SettingFault fault = reader.Refusal(kRoleColumns[role], *name, refusal);
      // The player refusals keep their own wording and title, also for
      // training rows.
      fault.text = refusal;
      fault.title = "Error: tblBlock";
      reader.Add(std::move(fault));
      ++playerFaults;
    }
  }

  trial.FirstOrder = reader.Int32("FirstOrder").value_or(0);
  trial.MinOrder = reader.Int32("MinOrder").value_or(0);
  trial.MaxOrder = reader.Int32("MaxOrder").value_or(0);
  trial.OrderDelay = training ? trial.Delay : int16_t{1};
  trial.MaxNoise = reader.Int16("MaxNoise").value_or(0);
  trial.InitInventory = reader.Int32("InitInventory").value_or(0);
  trial.InitDelayAmount = reader.Int32("InitDelayAmount").value_or(0);
  trial.CostInventory = reader.Double("CostInventory").value_or(0.0);
  trial.CostBackOrder = reader.Double("CostBackOrder").value_or(0.0);
  trial.CostTransit = reader.Double("CostTransit").value_or(0.0);
  trial.DatabaseOutput = reader.Truth("DatabaseOutput");
  if (!training) {
    trial.EnableProfit = reader.Truth("EnableProfit");
    trial.PricePerUnit = reader.Int16("PricePerUnit").value_or(0);
  }
  return reader.FaultCount() == faultsBefore + playerFaults;
}

}  // namespace quarn
