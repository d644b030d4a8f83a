#include <filesystem>
#include <fstream>
#include <iostream>
#include <utility>

#include "base/Errors.h"
#include "db/DatabaseAdmin.h"
#include "db/TableWriter.h"
#include "tools/Commands.h"

namespace quarn::admin {

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

void FillDemo(const std::string& path) {
  createDatabase(path);

  // Players: anchoring-and-adjustment players with the average estimates of
  // Sterman (1989) and a more aggressive variant, and two simple rules.
  insertRows(path, "tblPlayer",
             {{{"Name", T("Sterman")},
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

  insertRows(
      path, "tblBlock",
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

  insertRows(path, "tblTraining",
             {{{"Setting", T("Demo")},
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

  insertRows(path, "tblPause",
             {{{"Setting", T("Demo")}, {"Trial", I(2)}, {"Password", T("continue")}}});
  insertRows(
      path, "tblPredicter",
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
  insertRows(path, "tblDisplay", {showAll, retailerHidden});
  insertRows(path, "tblDisplayOption",
             {{{"Option", T("Everything")},
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
}

}  // namespace

int cmdDemo(const std::vector<std::string>& args) {
  expectArguments(args, 1, "demo DATADIR");
  namespace fs = std::filesystem;
  const fs::path dataDir = fs::absolute(args[0]);
  const fs::path file = dataDir / "quarn.mdb";
  if (fs::exists(file)) {
    throw QuarnError(kErrDatabase, "The file " + file.string() + " already exists");
  }
  fs::create_directories(dataDir);
  // Built under another name and renamed when complete, so that a failure
  // never leaves a half-filled quarn.mdb behind.
  const fs::path partial = dataDir / "quarn.mdb.partial";
  fs::remove(partial);
  try {
    FillDemo(partial.string());
  } catch (...) {
    fs::remove(partial);
    throw;
  }
  fs::rename(partial, file);

  // The Input folder lies beside the data folder, below the application's folder.
  const fs::path inputDir = dataDir.parent_path() / "Input";
  fs::create_directories(inputDir);
  const fs::path demand = inputDir / "demo-demand.txt";
  if (!fs::exists(demand)) {
    std::ofstream out(demand);
    out << "4,4,4,4,6,6,8,8,8,8\n10,10,8,8,6,6,6,6,6,6\n";
  }
  std::cout << "created " << file.string() << " (settings Demo and Simulated) and "
            << demand.string() << "\n";
  return 0;
}

}  // namespace quarn::admin
