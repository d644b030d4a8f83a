#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "plan/PlanFault.h"
#include "plan/PlanReaders.h"
#include "tests/support/PlanRows.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

// A fresh database with one sound setting "Demo" to bend; the readers read
// it through its plan store.
class PlanTest : public ::testing::Test {
 protected:
  PlanTest() {
    insertRow("tblPlayer", {{"Name", "Bot"}});
    insertRow("tblDisplay", {{"Configuration", "Standard"},
                             {"Factory", "Everything"},
                             {"Distributor", "Everything"},
                             {"Wholesaler", "Everything"},
                             {"Retailer", "Everything"}});
    insertRow("tblDisplayOption", {{"Option", "Everything"}});
  }

  void insertRow(const std::string& table, const Columns& values) { file.insert(table, values); }

  // Rows get rising Index values, so that rows of one RandomGroup load in
  // the order they are written here.
  void addBlock(Columns overrides = {}) {
    overrides.emplace("Index", ++blockIndex);
    insertRow("tblBlock", planRow(false, overrides));
  }
  void addTraining(const Columns& overrides = {}) {
    insertRow("tblTraining", planRow(true, overrides));
  }

  void writeInput(const std::string& name, const std::string& text) {
    std::ofstream(std::filesystem::path(file.folder()) / name) << text;
  }

  PlanTables& tables() { return file.stores.plan(); }
  std::vector<PlayerStrategy> players() { return readPlayers(tables()).players; }
  BlockRows blocks(const std::string& setting = "Demo") {
    return readBlocks(tables(), players(), setting, file.folder());
  }
  TrainingRow trainingOf(int16_t firstIndex, const std::string& setting = "Demo") {
    return readTraining(tables(), players(), setting, firstIndex, file.folder());
  }

  // The first fault as the game shows it: its title and text, or for a
  // value that cannot be converted at all "Error <number>" and the text.
  static std::pair<std::string, std::string> refusal(const std::vector<PlanFault>& faults) {
    const PlanFault* fault = firstFault(faults);
    if (!fault) return {};
    if (fault->errorNumber != 0)
      return {"Error " + std::to_string(fault->errorNumber), fault->text};
    return {fault->title, fault->text};
  }

  TestDatabase file;
  int blockIndex = 0;
};

}  // namespace quarn::testing
