#include "plan/PlanRows.h"

#include <cctype>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"

namespace quarn {

namespace {}  // namespace

std::string SettingPlace(const std::string& setting) {
  return "Setting " + printable(setting);
}

std::string BlockPlace(const std::string& setting, const Recordset& rs, int64_t firstTrial,
                       int64_t runs) {
  std::string place = SettingPlace(setting) + ", tblBlock row RandomGroup " +
                      FieldText(rs.Get("RandomGroup").Value()) + ", Index " +
                      FieldText(rs.Get("Index").Value());
  if (runs == 1) return place + " (trial " + decimal(firstTrial) + ")";
  if (runs > 1) {
    return place + " (trials " + decimal(firstTrial) + " to " + decimal(firstTrial + runs - 1) +
           ")";
  }
  return place;
}

std::string TrainingPlace(const std::string& setting) {
  return SettingPlace(setting) + ", tblTraining";
}

std::string FieldText(const FieldValue& value) {
  if (std::holds_alternative<int64_t>(value)) return decimal(std::get<int64_t>(value));
  if (std::holds_alternative<double>(value)) return shortestDecimal(std::get<double>(value));
  if (std::holds_alternative<std::string>(value)) return printable(std::get<std::string>(value));
  return "Null";
}

RowReader::RowReader(const Recordset& rs, std::string table, std::string place, int16_t trial,
                     std::vector<SettingFault>& faults)
    : rs_(rs), table_(std::move(table)), place_(std::move(place)), trial_(trial), faults_(faults) {}

SettingFault MakeRefusal(const std::string& table, const std::string& place, int16_t trial,
                         const std::string& field, const std::string& value,
                         const std::string& complaint) {
  SettingFault fault;
  fault.table = table;
  fault.place = place;
  fault.trial = trial;
  fault.field = field;
  fault.value = value;
  fault.text = place + ": " + complaint;
  fault.title = "Error: " + table;
  return fault;
}

SettingFault RowReader::Refusal(const std::string& field, const std::string& value,
                                const std::string& complaint) const {
  return MakeRefusal(table_, place_, trial_, field, value, complaint);
}

template <typename Read>
auto RowReader::Guarded(const std::string& column, const char* width, const char* kind, Read read)
    -> std::optional<decltype(read(std::declval<const Field&>()))> {
  std::string value;
  try {
    Field field = rs_.Get(column);
    value = FieldText(field.Value());
    return read(field);
  } catch (const OverflowError&) {
    Add(Refusal(column, value, column + " " + value + " does not fit in " + width));
  } catch (const QuarnError& e) {
    std::string complaint;
    switch (e.number()) {
      case kErrInvalidUseOfNull:
        complaint = column + " is empty (Null)";
        break;
      case kErrTypeMismatch:
        complaint = column + " '" + value + "' is not " + kind;
        break;
      default:
        complaint = column + ": " + e.description();
        break;
    }
    SettingFault fault = Refusal(column, value, complaint);
    fault.errorNumber = e.number();
    Add(std::move(fault));
  }
  return std::nullopt;
}

std::optional<int16_t> RowReader::Int16(const std::string& column) {
  return Guarded(column, "16 bits", "a number", [](const Field& f) { return f.AsInt16(); });
}

std::optional<int32_t> RowReader::Int32(const std::string& column) {
  return Guarded(column, "32 bits", "a number", [](const Field& f) { return f.AsInt32(); });
}

std::optional<double> RowReader::Double(const std::string& column) {
  return Guarded(column, "a double", "a finite number",
                 [](const Field& f) { return f.AsDouble(); });
}

std::optional<std::string> RowReader::Text(const std::string& column) {
  return Guarded(column, "a text", "a text", [](const Field& f) { return f.AsText(); });
}

std::string RowReader::TextOrEmpty(const std::string& column) {
  return Guarded(column, "a text", "a text",
                 [](const Field& f) { return f.IsNull() ? std::string() : f.AsText(); })
      .value_or(std::string());
}

bool RowReader::Truth(const std::string& column) {
  return Guarded(column, "a yes/no value", "a yes/no value",
                 [](const Field& f) { return f.AsBool(); })
      .value_or(false);
}

int16_t ResolvePlayer(const Plan& players, TrialPlan& trial, int16_t trialIndex,
                      const std::string& name, int16_t role, std::string& refusal) {
  refusal.clear();
  if (name == "Subject") {
    if (trial.participantRole != kNoParticipant) {
      refusal = "Subject is playing multiple roles";
      return kParticipantPlayer;
    }
    trial.participantRole = role;
    return kParticipantPlayer;
  }
  const std::string wanted = toLowerAscii(name);
  for (size_t i = 0; i < players.players.size(); ++i) {
    if (toLowerAscii(players.players[i].name) == wanted) return static_cast<int16_t>(i);
  }
  refusal = "Player strategy " + name + " invalid on Trial " + decimal(trialIndex);
  return kParticipantPlayer;
}

bool ReadTrialColumns(RowReader& reader, const Plan& players, TrialPlan& trial, bool training) {
  const size_t faultsBefore = reader.FaultCount();
  size_t playerFaults = 0;
  trial.delay = reader.Int16("Delay").value_or(0);
  trial.weeks = reader.Int16(training ? "Weeks" : "numweeks").value_or(0);
  const std::string input = reader.TextOrEmpty("Input");
  if (input.find_first_not_of(' ') != std::string::npos) trial.inputFile = input;
  trial.initialDemand = reader.Int32("InitialDemand").value_or(0);
  trial.jumpWeek = reader.Int16("JumpWeek").value_or(0);
  trial.secondDemand = reader.Int32("SecondDemand").value_or(0);
  trial.predicter = reader.TextOrEmpty("Predicter");
  trial.displayOption = reader.Text("DisplayOption").value_or(std::string());

  trial.participantRole = kNoParticipant;
  trial.rolePlayers.fill(0);
  for (int16_t role = 0; role < kRoleCount; ++role) {
    const std::optional<std::string> name = reader.Text(roleColumn(role));
    if (!name) continue;
    std::string refusal;
    trial.rolePlayers[role] = ResolvePlayer(players, trial, reader.Trial(), *name, role, refusal);
    if (!refusal.empty()) {
      SettingFault fault = reader.Refusal(roleColumn(role), *name, refusal);
      // The player refusals keep their own wording and title, also for
      // training rows.
      fault.text = refusal;
      fault.title = "Error: tblBlock";
      reader.Add(std::move(fault));
      ++playerFaults;
    }
  }

  trial.firstOrder = reader.Int32("FirstOrder").value_or(0);
  trial.minOrder = reader.Int32("MinOrder").value_or(0);
  trial.maxOrder = reader.Int32("MaxOrder").value_or(0);
  trial.orderDelay = training ? trial.delay : int16_t{1};
  trial.maxNoise = reader.Int16("MaxNoise").value_or(0);
  trial.initialInventory = reader.Int32("InitInventory").value_or(0);
  trial.initialShipment = reader.Int32("InitDelayAmount").value_or(0);
  trial.inventoryCostRate = reader.Double("CostInventory").value_or(0.0);
  trial.backorderCostRate = reader.Double("CostBackOrder").value_or(0.0);
  trial.transitCostRate = reader.Double("CostTransit").value_or(0.0);
  trial.recordToDatabase = reader.Truth("DatabaseOutput");
  if (!training) {
    trial.enableProfit = reader.Truth("EnableProfit");
    trial.pricePerUnit = reader.Int16("PricePerUnit").value_or(0);
  }
  return reader.FaultCount() == faultsBefore + playerFaults;
}

}  // namespace quarn
