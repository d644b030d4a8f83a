#include "plan/DisplayConfiguration.h"

namespace quarn {

namespace {

const char* const kOptionColumns[kRoleCount] = {"Factory", "Distributor", "Wholesaler", "Retailer"};

std::string TextOrEmpty(const Recordset& rs, const std::string& column) {
  const Field field = rs.Get(column);
  return field.IsNull() ? std::string() : field.AsText();
}

}  // namespace

RoleDisplay ReadDisplayOption(Database& db, const std::string& name) {
  RoleDisplay role;
  role.option = name;
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db, "SELECT * FROM tblDisplayOption WHERE Option='" + SqlQuote(name) + "';", true);
  if (!rs->Eof()) {
    role.found = true;
    role.RecentOrder = rs->Get("RecentOrder").AsBool();
    role.BackOrder = rs->Get("BackOrder").AsBool();
    role.Inventory = rs->Get("Inventory").AsBool();
    role.Satisfied = rs->Get("Satisfied").AsBool();
    role.Demand = rs->Get("Demand").AsBool();
    role.Cost = rs->Get("Cost").AsBool();
  }
  DbClose(db, rs);
  return role;
}

DisplayConfiguration ReadDisplayConfiguration(Database& db, const std::string& name) {
  DisplayConfiguration config;
  std::array<std::string, kRoleCount> options;
  std::unique_ptr<Recordset> rs = DbOpenRecordset(
      db, "SELECT * FROM tblDisplay WHERE Configuration='" + SqlQuote(name) + "';", true);
  if (!rs->Eof()) {
    config.found = true;
    config.BottlesF = rs->Get("BottlesF").AsBool();
    config.TrucksFD = rs->Get("TrucksFD").AsBool();
    config.TrucksDW = rs->Get("TrucksDW").AsBool();
    config.TrucksWR = rs->Get("TrucksWR").AsBool();
    config.TotalCost = rs->Get("TotalCost").AsBool();
    for (int r = 0; r < kRoleCount; ++r) options[r] = TextOrEmpty(*rs, kOptionColumns[r]);
  }
  DbClose(db, rs);
  for (int r = 0; r < kRoleCount; ++r) config.roles[r] = ReadDisplayOption(db, options[r]);
  return config;
}

}  // namespace quarn
