#pragma once

// A fresh database laid out as the application finds it (the application
// folder holds data/quarn.mdb), with one simulated player "Bot", and the
// plan and participant rows a game test adds to it.

#include <filesystem>
#include <string>

#include "tests/support/PlanRows.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

class AppFolderPlan {
 public:
  AppFolderPlan() {
    std::filesystem::create_directories(appFolder);
    std::filesystem::create_directory_symlink(db.folder(), appFolder / "data");
    db.insert("tblPlayer",
              {{"Name", "Bot"}, {"Sterman", 1}, {"Alpha", 0.26}, {"Beta", 0.34}, {"Theta", 0.36}});
  }

  void addTrials(const std::string& setting, int count, int weeks, const Columns& overrides = {}) {
    for (int i = 1; i <= count; ++i) {
      Columns row = planRow(false, {{"Setting", setting}, {"Index", i}, {"numweeks", weeks}});
      for (const auto& [column, value] : overrides) row[column] = value;
      db.insert("tblBlock", row);
    }
  }
  void addTraining(const std::string& setting, Columns overrides = {}) {
    overrides["Setting"] = setting;
    db.insert("tblTraining", planRow(true, overrides));
  }
  void addParticipant(const std::string& subject, const std::string& setting) {
    db.insert("datUser", {{"Subject", subject}, {"Setting", setting}});
  }

  TestDatabase db;
  std::filesystem::path appFolder = std::filesystem::path(db.folder()) / "app";
};

}  // namespace quarn::testing
