#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "session/Identity.h"
#include "session/modDatabase.h"
#include "sim/TrialPlan.h"
#include "tests/support/ScriptedToolkit.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

using Columns = std::map<std::string, TestValue>;

// A fresh database with one sound setting "Demo" to bend, and the state the
// loaders fill.
class PlanTest : public ::testing::Test {
 protected:
  PlanTest() {
    db.DatabasePath = file.Path();
    identity.SubjectID = "S1";
    identity.SettingName = "Demo";
    Row("tblPlayer", {{"Name", "Bot"}});
  }

  void Row(const std::string& table, const Columns& values) {
    auto rs = file.engine->Open(file.Path(), table, false);
    rs->AddNew();
    for (const auto& [column, value] : values) rs->Set(column, value.value);
    rs->Update();
    rs->Close();
  }

  static Columns Merge(Columns base, const Columns& overrides) {
    for (const auto& [column, value] : overrides) base[column] = value;
    return base;
  }

  static Columns TrialColumns() {
    return {{"Setting", "Demo"},     {"Delay", 2},           {"InitialDemand", 4},
            {"JumpWeek", 5},         {"SecondDemand", 8},    {"DisplayOption", "Standard"},
            {"Factory", "Bot"},      {"Distributor", "Bot"}, {"Wholesaler", "Bot"},
            {"Retailer", "Subject"}, {"FirstOrder", 4},      {"MinOrder", 0},
            {"MaxOrder", 99},        {"MaxNoise", 0},        {"InitInventory", 12},
            {"InitDelayAmount", 4},  {"CostInventory", 0.5}, {"CostBackOrder", 1.0},
            {"CostTransit", 0.0}};
  }

  // Rows get rising Index values, so that rows of one RandomGroup load in
  // the order they are written here.
  void Block(const Columns& overrides = {}) {
    Columns base = TrialColumns();
    base["numweeks"] = 10;
    base["Index"] = ++blockIndex;
    Row("tblBlock", Merge(base, overrides));
  }

  void Training(const Columns& overrides = {}) {
    Columns base = TrialColumns();
    base["Weeks"] = 6;
    base["Runs"] = 2;
    base["CostLimit"] = 100;
    base["InventoryBounds"] = 50;
    base["Password"] = "skip";
    Row("tblTraining", Merge(base, overrides));
  }

  void WriteInput(const std::string& name, const std::string& text) {
    std::ofstream(std::filesystem::path(file.Folder()) / name) << text;
  }

  TestDatabase file;
  ScriptedToolkit toolkit;
  FixedRandom random;
  Database db{*file.engine, toolkit, random};
  Identity identity;
  Plan plan;
  int blockIndex = 0;
};

}  // namespace quarn::testing
