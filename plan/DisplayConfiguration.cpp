#include "plan/DisplayConfiguration.h"

namespace quarn {

namespace {

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
    role.recentOrder = rs->Get("RecentOrder").AsBool();
    role.backorder = rs->Get("BackOrder").AsBool();
    role.inventory = rs->Get("Inventory").AsBool();
    role.satisfied = rs->Get("Satisfied").AsBool();
    role.demand = rs->Get("Demand").AsBool();
    role.cost = rs->Get("Cost").AsBool();
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
    config.factoryProduction = rs->Get("BottlesF").AsBool();
    config.trucksToDistributor = rs->Get("TrucksFD").AsBool();
    config.trucksToWholesaler = rs->Get("TrucksDW").AsBool();
    config.trucksToRetailer = rs->Get("TrucksWR").AsBool();
    config.totalCost = rs->Get("TotalCost").AsBool();
    for (int r = 0; r < kRoleCount; ++r) options[r] = TextOrEmpty(*rs, roleColumn(r));
  }
  DbClose(db, rs);
  for (int r = 0; r < kRoleCount; ++r) config.roles[r] = ReadDisplayOption(db, options[r]);
  return config;
}

}  // namespace quarn
