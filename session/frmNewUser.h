#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "record/Game.h"
#include "session/SessionDialog.h"

namespace quarn {

// The questionnaire of a new participant: age, gender, class status and
// major, stored as one datUser row with the User ID and the setting.
class frmNewUser : public SessionDialog {
 public:
  explicit frmNewUser(Game& game, QWidget* parent = nullptr);

  void Form_Load();
  void cmdOK_Click();
  void cmdCancel_Click();

  // Set once the row is stored, just before the window closes.
  bool Registered = false;

  QLabel* Label6;
  QLabel* lblSubjectID;
  QLabel* lblSubject;
  QLabel* Label10;
  QLineEdit* txtAge;
  std::array<QRadioButton*, 2> optGender;
  QLabel* Label4;
  QComboBox* cboClass;
  QLabel* Label5;
  QComboBox* cboMajor;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 private:
  Game& game_;
};

}  // namespace quarn
