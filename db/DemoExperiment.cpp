#include "db/DemoExperiment.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "db/OpenDatabase.h"
#include "db/TableWriter.h"
#include "db/sqlcipher/SqlCipherTables.h"

namespace quarn {

namespace {

using Row = TableRow;

CellValue I(int64_t v) {
  return v;
}
CellValue D(double v) {
  return v;
}
CellValue T(const char* v) {
  return std::string(v);
}

// Columns shared by every demo trial: a steady chain of 4 units a week with
// 12 in stock, inventory at 0.50 and backorder at 1.00 a unit per week.
Row Trial(const char* setting, int index, int delay, int weeks, const char* display, Row roles,
          Row more = {}) {
  Row row = {{"Setting", T(setting)},   {"RandomGroup", I(0)},
             {"Index", I(index)},       {"Runs", I(1)},
             {"Delay", I(delay)},       {"numweeks", I(weeks)},
             {"InitialDemand", I(4)},   {"JumpWeek", I(5)},
             {"SecondDemand", I(8)},    {"DisplayOption", T(display)},
             {"FirstOrder", I(4)},      {"MinOrder", I(0)},
             {"MaxOrder", I(40)},       {"MaxNoise", I(0)},
             {"InitInventory", I(12)},  {"InitDelayAmount", I(4)},
             {"CostInventory", D(0.5)}, {"CostBackOrder", D(1.0)},
             {"CostTransit", D(0.0)},   {"DatabaseOutput", I(1)}};
  row.insert(row.end(), roles.begin(), roles.end());
  row.insert(row.end(), more.begin(), more.end());
  return row;
}

Row Roles(const char* factory, const char* distributor, const char* wholesaler,
          const char* retailer) {
  return {{"Factory", T(factory)},
          {"Distributor", T(distributor)},
          {"Wholesaler", T(wholesaler)},
          {"Retailer", T(retailer)}};
}

// The demo's plan rows, by table, in the order they are written.
std::vector<std::pair<const char*, std::vector<Row>>> demoRows() {
  std::vector<std::pair<const char*, std::vector<Row>>> tables;
  const auto add = [&](const char* table, std::vector<Row> rows) {
    tables.emplace_back(table, std::move(rows));
  };

  // Players: anchoring-and-adjustment players with the average estimates of
  // Sterman (1989) and a more aggressive variant, and two simple rules.
  add("tblPlayer", {{{"Name", T("Sterman")},
                     {"Sterman", I(1)},
                     {"Alpha", D(0.26)},
                     {"Beta", D(0.34)},
                     {"Theta", D(0.36)},
                     {"Epsilon", D(0)}},
                    {{"Name", T("Aggressive")},
                     {"Sterman", I(1)},
                     {"Alpha", D(0.5)},
                     {"Beta", D(0.15)},
                     {"Theta", D(0.25)},
                     {"Epsilon", D(0)}},
                    {{"Name", T("Follower")}, {"Demand", I(1)}, {"BackOrder", I(1)}},
                    {{"Name", T("PassThrough")}, {"Demand", I(1)}}});

  add("tblBlock",
      {Trial("Demo", 1, 1, 20, "ShowAll", Roles("Sterman", "Sterman", "Sterman", "Subject")),
       // Trial 2 reads its demand from a file, trial 3 shows a forecast.
       Trial("Demo", 2, 2, 20, "ShowAll", Roles("Sterman", "Follower", "Subject", "Sterman"),
             {{"Input", T("demo-demand.txt")}}),
       Trial("Demo", 3, 3, 20, "ShowAll", Roles("Sterman", "Subject", "Follower", "Sterman"),
             {{"Predicter", T("TwoWeeks")}}),
       Trial("Demo", 4, 2, 20, "RetailerHidden", Roles("Subject", "Sterman", "Sterman", "Sterman")),
       Trial("Simulated", 1, 2, 20, "ShowAll",
             Roles("Sterman", "Aggressive", "Follower", "Sterman")),
       Trial("Simulated", 2, 1, 20, "ShowAll",
             Roles("PassThrough", "Follower", "Sterman", "Aggressive"))});

  add("tblTraining", {{{"Setting", T("Demo")},
                       {"Runs", I(2)},
                       {"CostLimit", I(150)},
                       {"InventoryBounds", I(30)},
                       {"Password", T("skip")},
                       {"Delay", I(1)},
                       {"Weeks", I(10)},
                       {"InitialDemand", I(4)},
                       {"JumpWeek", I(4)},
                       {"SecondDemand", I(6)},
                       {"DisplayOption", T("ShowAll")},
                       {"Factory", T("Sterman")},
                       {"Distributor", T("Sterman")},
                       {"Wholesaler", T("Sterman")},
                       {"Retailer", T("Subject")},
                       {"FirstOrder", I(4)},
                       {"MinOrder", I(0)},
                       {"MaxOrder", I(40)},
                       {"MaxNoise", I(0)},
                       {"InitInventory", I(12)},
                       {"InitDelayAmount", I(4)},
                       {"CostInventory", D(0.5)},
                       {"CostBackOrder", D(1.0)},
                       {"CostTransit", D(0.0)},
                       {"DatabaseOutput", I(1)}}});

  add("tblPause", {{{"Setting", T("Demo")}, {"Trial", I(2)}, {"Password", T("continue")}}});
  add("tblPredicter",
      {{{"Predicter", T("TwoWeeks")}, {"Extent", I(2)}, {"Excess", I(8)}, {"MaxNoise", I(1)}}});

  const Row all = Roles("Everything", "Everything", "Everything", "Everything");
  Row showAll = {{"Configuration", T("ShowAll")},
                 {"BottlesF", I(1)},
                 {"TrucksFD", I(1)},
                 {"TrucksDW", I(1)},
                 {"TrucksWR", I(1)},
                 {"TotalCost", I(1)}};
  showAll.insert(showAll.end(), all.begin(), all.end());
  // Trial 4: the participant runs the Factory without seeing the customer's
  // end of the chain (the Retailer's figures, its incoming trucks, the total).
  Row retailerHidden = {{"Configuration", T("RetailerHidden")},
                        {"BottlesF", I(1)},
                        {"TrucksFD", I(1)},
                        {"TrucksDW", I(1)},
                        {"TrucksWR", I(0)},
                        {"TotalCost", I(0)}};
  const Row hidden = Roles("Everything", "Everything", "Everything", "Nothing");
  retailerHidden.insert(retailerHidden.end(), hidden.begin(), hidden.end());
  add("tblDisplay", {showAll, retailerHidden});
  add("tblDisplayOption", {{{"Option", T("Everything")},
                            {"RecentOrder", I(1)},
                            {"BackOrder", I(1)},
                            {"Inventory", I(1)},
                            {"Satisfied", I(1)},
                            {"Demand", I(1)},
                            {"Cost", I(1)}},
                           {{"Option", T("Nothing")},
                            {"RecentOrder", I(0)},
                            {"BackOrder", I(0)},
                            {"Inventory", I(0)},
                            {"Satisfied", I(0)},
                            {"Demand", I(0)},
                            {"Cost", I(0)}}});
  return tables;
}

}  // namespace

namespace {

void fillDemo(DatabaseTables& db) {
  const auto tables = demoRows();
  std::vector<std::vector<ColumnInfo>> columns;
  for (const auto& [table, rows] : tables) columns.push_back(db.columns(table));
  const std::unique_ptr<TableTransaction> write = db.beginWrite();
  for (size_t t = 0; t < tables.size(); ++t) {
    TableWriter writer(*write, tables[t].first, columns[t]);
    for (const Row& row : tables[t].second) writer.insert(row);
  }
  write->commit();
}

}  // namespace

std::string makeDemoFile(const std::string& dataFolder) {
  namespace fs = std::filesystem;
  const fs::path dataDir = fs::absolute(dataFolder);
  const fs::path file = dataDir / kDefaultDatabaseFile;
  if (fs::exists(file)) {
    throw QuarnError(kErrDatabase, "The file " + file.string() + " already exists");
  }
  fs::create_directories(dataDir);
  // Built under another name and renamed when complete, so that a failure
  // never leaves a half-filled quarn.mdb behind.
  const fs::path partial = dataDir / "quarn.mdb.partial";
  fs::remove(partial);
  try {
    createDatabase(partial.string());
    SqlCipherTables tables(partial.string());
    fillDemo(tables);
  } catch (...) {
    fs::remove(partial);
    throw;
  }
  fs::rename(partial, file);
  return file.string();
}

// The tables are made first (refused when the server holds any of them), then
// filled in one transaction.
std::string makeDemoOnServer(const DatabaseChoice& choice) {
  createDatabase(choice);
  fillDemo(*openTables(choice));
  return choice.location();
}

std::string writeDemandFile(const std::string& inputFolder) {
  namespace fs = std::filesystem;
  fs::create_directories(inputFolder);
  const fs::path demand = fs::path(inputFolder) / "demo-demand.txt";
  if (!fs::exists(demand)) {
    std::ofstream out(demand);
    out << "4,4,4,4,6,6,8,8,8,8\n10,10,8,8,6,6,6,6,6,6\n";
  }
  return demand.string();
}

}  // namespace quarn
