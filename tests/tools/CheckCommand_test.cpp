#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "db/Schema.h"
#include "tests/plan/PlanFixture.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

// `check` on the folder of a plan test's database.
class CheckCommand : public PlanTest {
 protected:
  int run(const std::vector<std::string>& args) {
    out.str("");
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    const int code = admin::cmdCheck(args);
    std::cout.rdbuf(saved);
    return code;
  }
  // What the check found, after the line that names the schema version.
  std::string findings() const {
    const std::string text = out.str();
    return text.substr(text.find('\n') + 1);
  }
  std::ostringstream out;
};

// A plan that gives only the required columns (quarngame-admin columns)
// passes: the optional ones, left empty, read as their defaults.
TEST_F(CheckCommand, OptionalColumnsLeftEmptyTakeTheirDefaults) {
  insertRow("tblPlayer", {{"Name", "Lazy"}, {"IfZero", TestValue()}, {"Alpha", TestValue()}});
  addBlock({{"Factory", "Lazy"},
            {"Input", TestValue()},
            {"Predicter", TestValue()},
            {"DatabaseOutput", TestValue()},
            {"EnableProfit", TestValue()},
            {"PricePerUnit", TestValue()}});
  addTraining({{"CostLimit", TestValue()}, {"InventoryBounds", TestValue()}});
  EXPECT_EQ(run({file.folder()}), 0) << out.str();
  EXPECT_EQ(findings(), "0 faults, 0 warnings in 1 setting\n");
}

// A trial whose demand comes from a file does without the step demand.
TEST_F(CheckCommand, StepDemandMayBeEmptyWhenInputNamesAFile) {
  const std::filesystem::path app = std::filesystem::path(file.folder()) / "app";
  std::filesystem::create_directories(app / "Input");
  std::filesystem::create_directory_symlink(file.folder(), app / "data");
  std::ofstream(app / "Input" / "demand.txt") << "4,4,8,8,8,8,8,8,8,8,8,8\n";
  addBlock({{"Input", "demand.txt"},
            {"InitialDemand", TestValue()},
            {"JumpWeek", TestValue()},
            {"SecondDemand", TestValue()}});
  EXPECT_EQ(run({(app / "data").string()}), 0) << out.str();
}

// A row with an empty required column still has its other values checked:
// one pass lists every fault.
TEST_F(CheckCommand, ReportsEveryFaultOfARowInOnePass) {
  addBlock({{"MaxNoise", TestValue()}, {"Delay", 4}});
  addTraining({{"FirstOrder", TestValue()}, {"Weeks", 0}});
  EXPECT_EQ(run({file.folder()}), 1);
  const std::string found = findings();
  for (const char* fault : {"(trial 0): MaxNoise is empty (Null)", "(trial 0): Delay 4 is outside",
                            "tblTraining: FirstOrder is empty (Null)", "tblTraining: Weeks 0 is"}) {
    EXPECT_NE(found.find(fault), std::string::npos) << fault << "\n" << found;
  }
}

TEST_F(CheckCommand, AnOptionIsRefusedNotTakenForASetting) {
  addBlock();
  EXPECT_THROW(admin::cmdCheck({file.folder(), "--bogus"}), admin::UsageError);
  EXPECT_THROW(admin::cmdCheck({file.folder(), "Demo", "More"}), admin::UsageError);
}

TEST_F(CheckCommand, ReportsTheSchemaVersionFirst) {
  addBlock();
  run({file.folder()});
  const std::string first = out.str().substr(0, out.str().find('\n'));
  EXPECT_EQ(first, file.path() + ": schema version " + std::to_string(currentSchema().version));
}

// Every fault of every table, also behind a refused player name; warnings
// are listed among them and counted, but do not fail the check.
TEST_F(CheckCommand, ListsTheFaultsOfEveryTableAndFailsOnAny) {
  addBlock();
  addBlock({{"Setting", "Other"}, {"numweeks", 0}, {"JumpWeek", 1}, {"Runs", 2}});
  addBlock({{"Setting", "Other"}, {"Factory", "Nobody"}, {"Delay", 5}});
  addTraining({{"Setting", "Other"}, {"Runs", 0}});
  insertRow("tblPause", {{"Setting", "Other"}, {"Trial", 1}, {"Password", TestValue()}});
  addTraining({{"Setting", "TrainOnly"}});
  addBlock({{"Setting", "Warned"},
            {"MinOrder", 5},
            {"MaxOrder", 1},
            {"CostTransit", -1.0},
            {"Predicter", "Missing"},
            {"DisplayOption", "Nowhere"}});
  addTraining({{"Setting", "Warned"}, {"Password", ""}, {"InventoryBounds", 0}});
  insertRow("tblPause", {{"Setting", "Warned"}, {"Trial", 2}, {"Password", "p"}});
  EXPECT_EQ(run({file.folder()}), 1);
  EXPECT_EQ(
      findings(),
      "Setting Other, tblBlock row RandomGroup 0, Index 2 (trials 0 to 1): numweeks 0 is "
      "below 1\n"
      "Setting Other, tblBlock row RandomGroup 0, Index 3 (trial 2): Player strategy Nobody "
      "invalid on Trial 2\n"
      "Setting Other, tblBlock row RandomGroup 0, Index 3 (trial 2): Delay 5 is outside 1 to "
      "3\n"
      "Setting Other, tblTraining: Runs 0 is below 1\n"
      "Setting Other, tblPause row Trial 1: Password is empty (Null)\n"
      "Setting TrainOnly: tblBlock has no rows for this setting\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): MaxOrder 1 is "
      "below MinOrder 5: a Sterman player's order is then always one of the two\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): CostTransit -1 "
      "is negative: the stages earn by it\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): Predicter "
      "Missing names no tblPredicter row: the trial shows no forecast\n"
      "warning: Setting Warned, tblBlock row RandomGroup 0, Index 4 (trial 0): DisplayOption "
      "Nowhere names no tblDisplay row: the trial keeps the display of the trial before\n"
      "warning: Setting Warned, tblTraining: only CostLimit is set: training limits are "
      "checked only when both are, so none is\n"
      "warning: Setting Warned, tblTraining: Password is empty: anyone can skip the training "
      "with e and Enter\n"
      "warning: Setting Warned, tblPause row Trial 2: the pause after trial 2 never comes: "
      "the setting has trials 1 to 1, and it holds up every pause after it\n"
      "6 faults, 7 warnings in 4 settings\n");
}

// A plan of the shape labs write, which the participant ordering 9999 every
// week could once overflow: Delay 3, a demand file of values up to 16,
// players upstream that pass the demand and the backorder on, a training
// row. Nothing in it is wrong, and the check says so.
TEST_F(CheckCommand, PassesALongDelayPlanWithADemandFileAndPlayersPassingTheDemandOn) {
  insertRow("tblPlayer", {{"Name", "Passer"}, {"Demand", 1}});
  insertRow("tblPlayer", {{"Name", "Chaser"}, {"Demand", 1}, {"BackOrder", 1}});
  // The application folder holds data/ (the test's database) and Input/.
  const std::filesystem::path app = std::filesystem::path(file.folder()) / "app";
  std::filesystem::create_directories(app / "Input");
  std::filesystem::create_directory_symlink(file.folder(), app / "data");
  std::ofstream(app / "Input" / "ramp.txt")
      << "4,6,8,10,12,14,16,16,12,8\n4,4,8,16,16,16,8,8,8,8\n";
  const Columns shape = {{"Setting", "Lab"},       {"Delay", 3},
                         {"Input", "ramp.txt"},    {"numweeks", 27},
                         {"Factory", "Passer"},    {"Distributor", "Chaser"},
                         {"Wholesaler", "Passer"}, {"Retailer", "Subject"},
                         {"InitInventory", 13},    {"InitDelayAmount", 8},
                         {"MaxOrder", 60},         {"CostInventory", 1.5},
                         {"CostBackOrder", 1.0},   {"CostTransit", 1.5}};
  addBlock(shape);
  Columns factory = shape;
  factory["Factory"] = "Subject";
  factory["Retailer"] = "Chaser";
  addBlock(factory);
  Columns training = shape;
  training.erase("numweeks");
  training["Weeks"] = 10;
  addTraining(training);
  EXPECT_EQ(run({(app / "data").string(), "Lab"}), 0) << out.str();
  EXPECT_EQ(findings(), "0 faults, 0 warnings in 1 setting\n");
}

// One setting is checked alone; the player table's faults count for it too.
// Records no session leaves are listed as faults, each participant's rows
// named; what a killed session leaves is not.
TEST_F(CheckCommand, ListsRecordsThatContradictEachOther) {
  addBlock({{"Setting", "Study"}, {"Runs", 2}, {"numweeks", 3}});
  const auto addWeekRow = [&](const char* subject, int trial, int week, const char* role) {
    insertRow("datRole", {{"Subject", subject},
                          {"Setting", "Study"},
                          {"Trial", trial},
                          {"Week", week},
                          {"Role", role}});
  };
  const auto addWeek = [&](const char* subject, int trial, int week) {
    for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
      addWeekRow(subject, trial, week, role);
    }
  };
  addWeek("Killed", 1, 1);
  addWeek("Stray", 1, 1);
  addWeekRow("Stray", 1, 2, "Retailer");
  addWeek("Ahead", 1, 1);
  for (const int trial : {1, 2}) {
    insertRow("datTrial", {{"Subject", "Ahead"}, {"Setting", "Study"}, {"Trial", trial}});
  }
  EXPECT_EQ(run({file.folder(), "Study"}), 1);
  EXPECT_EQ(findings(),
            "Setting Study, records of Ahead: datTrial Trial 2: the trial is recorded as played, "
            "but no week of it or of a later trial is: the game would play it and record it "
            "under the next number\n"
            "Setting Study, records of Stray: datRole Trial 1, Week 2, Retailer: a week is "
            "recorded as four rows, one for each stage, written together\n"
            "2 faults, 0 warnings in 1 setting\n");
}

TEST_F(CheckCommand, ChecksOneSettingWithThePlayerTable) {
  insertRow("tblPlayer", {{"Name", "Com,ma"}});
  addBlock({{"Setting", "Warned"}, {"MinOrder", 5}, {"MaxOrder", 1}});
  EXPECT_EQ(run({file.folder() + "/", "Warned"}), 1);
  file.exec("DELETE FROM tblPlayer WHERE Name='Com,ma'");

  EXPECT_EQ(run({file.folder() + "/", "Warned"}), 0);
  EXPECT_EQ(out.str().substr(out.str().rfind('\n', out.str().size() - 2) + 1),
            "0 faults, 1 warning in 1 setting\n");
}

// A data folder's file plays team settings as the lab server does.
TEST_F(CheckCommand, PassesATeamSettingInADatabaseFile) {
  addBlock({{"Factory", "Subject2"}, {"Retailer", "Subject1"}});
  EXPECT_EQ(run({file.folder()}), 0);
  EXPECT_EQ(findings(), "0 faults, 0 warnings in 1 setting\n");
}

}  // namespace
}  // namespace quarn::testing
