#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "session/Identity.h"
#include "session/modDatabase.h"
#include "sim/TrialPlan.h"
#include "tests/support/PlanRows.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

// A fresh database with one sound setting "Demo" to bend, and the state the
// loaders fill.
class PlanTest : public ::testing::Test {
 protected:
  PlanTest() {
    db.DatabasePath = file.Path();
    identity.SubjectID = "S1";
    identity.SettingName = "Demo";
    Row("tblPlayer", {{"Name", "Bot"}});
    Row("tblDisplay", {{"Configuration", "Standard"},
                       {"Factory", "Everything"},
                       {"Distributor", "Everything"},
                       {"Wholesaler", "Everything"},
                       {"Retailer", "Everything"}});
    Row("tblDisplayOption", {{"Option", "Everything"}});
  }

  void Row(const std::string& table, const Columns& values) { file.Insert(table, values); }

  // Rows get rising Index values, so that rows of one RandomGroup load in
  // the order they are written here.
  void Block(Columns overrides = {}) {
    overrides.emplace("Index", ++blockIndex);
    Row("tblBlock", PlanRow(false, overrides));
  }
  void Training(const Columns& overrides = {}) { Row("tblTraining", PlanRow(true, overrides)); }

  void WriteInput(const std::string& name, const std::string& text) {
    std::ofstream(std::filesystem::path(file.Folder()) / name) << text;
  }

  TestDatabase file;
  ScriptedPrompter toolkit;
  FixedRandom random;
  Database db{*file.engine, toolkit, random};
  Identity identity;
  Plan plan;
  int blockIndex = 0;
};

}  // namespace quarn::testing
