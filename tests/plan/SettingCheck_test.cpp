#include "plan/SettingCheck.h"

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

class SettingCheckTest : public PlanTest {
 protected:
  std::vector<PlanFault> check(PlanHome home) {
    return checkSetting(tables(), players(), "Demo", file.folder(), home);
  }
  std::string firstComplaint(PlanHome home) {
    const std::vector<PlanFault> faults = check(home);
    const PlanFault* fault = firstFault(faults);
    return fault ? describeFault(*fault) : std::string();
  }
  void addTeamBlock() { addBlock({{"Factory", "Subject2"}, {"Retailer", "Subject1"}}); }
};

// Team play needs the lab server: a file holding a team setting refuses it.
TEST_F(SettingCheckTest, TeamSettingInAFileIsRefused) {
  const std::string complaint = "Setting Demo: Team settings need the lab server (see README)";
  addTeamBlock();
  EXPECT_EQ(firstComplaint(PlanHome::File), complaint);
  EXPECT_EQ(firstComplaint(PlanHome::LabServer), "");
}

TEST_F(SettingCheckTest, SingleParticipantSettingInAFilePasses) {
  addBlock();
  addTraining();
  EXPECT_EQ(firstComplaint(PlanHome::File), "");
}

// A training row naming members is played by the team together: it needs
// the team of the setting's trials. Naming Subject, each member trains alone.
TEST_F(SettingCheckTest, TeamTrainingRowNeedsTheTeamOfTheSettingsTrials) {
  const struct {
    Columns training;
    std::string complaint;
  } cases[] = {
      {{}, ""},
      {{{"Factory", "Subject1"}, {"Retailer", "Subject2"}}, ""},
      {{{"Factory", "Subject1"}, {"Distributor", "Subject2"}, {"Retailer", "Subject3"}},
       "Setting Demo, tblTraining: the training row is played by a team of 3, the setting's "
       "trials by a team of 2: a team trains together as it plays"},
  };
  addTeamBlock();
  for (const auto& k : cases) {
    file.exec("DELETE FROM tblTraining");
    addTraining(k.training);
    EXPECT_EQ(firstComplaint(PlanHome::LabServer), k.complaint);
  }
}

TEST_F(SettingCheckTest, TeamTrainingRowBeforeTrialsPlayedAloneIsRefused) {
  addBlock();
  addTraining({{"Factory", "Subject1"}, {"Retailer", "Subject2"}});
  EXPECT_EQ(firstComplaint(PlanHome::LabServer),
            "Setting Demo, tblTraining: the training row is played by a team of 2, the setting's "
            "trials by one participant alone (Subject): a team trains together as it plays");
}

// Every member sees the own stage's figures: an option hiding them is
// warned about for each member's stage.
TEST_F(SettingCheckTest, DisplayHidingAMembersOwnFiguresIsWarnedAbout) {
  insertRow("tblDisplay", {{"Configuration", "Blind"},
                           {"Factory", "NoStock"},
                           {"Distributor", "NoStock"},
                           {"Wholesaler", "Everything"},
                           {"Retailer", "NoStock"}});
  insertRow("tblDisplayOption", {{"Option", "NoStock"}, {"Inventory", 0}});
  addBlock({{"Factory", "Subject2"}, {"Retailer", "Subject1"}, {"DisplayOption", "Blind"}});
  std::vector<std::string> warnings;
  for (const PlanFault& f : check(PlanHome::LabServer)) {
    if (f.warning) warnings.push_back(f.text.substr(f.text.find(": ") + 2));
  }
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "team member 2 plays the Factory but its display option 'NoStock' hides "
                          "the member's own Inventory",
                          "team member 1 plays the Retailer but its display option 'NoStock' "
                          "hides the member's own Inventory"}));
}

TEST_F(SettingCheckTest, TeamSettingIsToldByItsRoleColumns) {
  addBlock();
  EXPECT_FALSE(namesTeamMembers(tables(), "Demo"));
  addTraining({{"Factory", "Subject1"}, {"Retailer", "Bot"}});
  EXPECT_TRUE(namesTeamMembers(tables(), "Demo"));
  EXPECT_FALSE(namesTeamMembers(tables(), "Other"));
}

TEST_F(SettingCheckTest, CompletionLinkMustBeAnHttpAddress) {
  addBlock();
  addTraining();
  const struct {
    const char* link;
    bool refused;
  } cases[] = {
      {"", false},
      {"https://panel.example.org/done?pid={id}", false},
      {"panel.example.org/done?pid={id}", true},
      {"javascript:alert(1)", true},
  };
  for (const auto& c : cases) {
    file.exec("DELETE FROM tblSetting");
    insertRow("tblSetting", {{"Setting", "Demo"}, {"CompletionLink", c.link}});
    const std::string complaint = firstComplaint(PlanHome::File);
    EXPECT_EQ(complaint.find("a completion link is an address") != std::string::npos, c.refused)
        << c.link << ": " << complaint;
  }
}

}  // namespace
}  // namespace quarn::testing
