#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "record/Game.h"
#include "session/SessionDialog.h"

namespace quarn {

// The login window: chooses the database file and the setting, takes the
// participant's User ID, registers a new participant or finds the trial at
// which a known one resumes, and then hides itself.
class frmLogin : public SessionDialog {
 public:
  explicit frmLogin(Game& game, QWidget* parent = nullptr);

  void Form_Load();
  void txtDatabase_LostFocus();
  void LoadSettings();
  void txtSubjectID_Change();
  void cmdStart_Click();
  void cmdQuit_Click();
  // Sets CurrentTrial (and CostSum for a known participant); returns whether
  // the participant was found in datUser. A participant found under another
  // letter case goes on under the spelling stored in datUser.
  bool LookupParticipant();

  // The text of the setting box, as the main window's caption shows it.
  std::string SettingText() const;

  QLabel* lblUserID;
  QLineEdit* txtSubjectID;
  QLabel* lblSetup;
  QLineEdit* txtDatabase;
  QLabel* lblSetting;
  QComboBox* cboSetting;
  QPushButton* cmdStart;
  QPushButton* cmdQuit;

  // Escape and the title bar's close button both mean Quit.
  void reject() override;

 private:
  bool TakeSetting();
  bool SettingNameFitsTextLines();
  bool TakeSubjectId();
  int16_t CheckChosenPlan();
  bool FindParticipant();
  void ReadResumeTrial();
  void RegisterNewParticipant();
  void ResumeKnownParticipant(int16_t trialCount);
  bool MarkPlayingHere();
  void BackToSubjectId();

  Game& game_;
};

// The longest User ID the box takes.
inline constexpr int kSubjectIdLength = 21;

// Why a User ID cannot be used, or empty when it can. The User ID names the
// participant's text file, so it must be a name the file system can hold.
std::string SubjectIdFault(const std::string& subjectId);

}  // namespace quarn
