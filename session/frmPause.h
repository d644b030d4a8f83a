#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "plan/PauseSchedule.h"
#include "session/SessionDialog.h"

namespace quarn {

// The scheduled pause: holds the game until the moderator types the pause's
// password. It cannot be closed any other way.
class frmPause : public SessionDialog {
 public:
  explicit frmPause(PauseSchedule& pauses, QWidget* parent = nullptr);

  void cmdContinue_Click();

  QLabel* lblAlert;
  QLineEdit* txtPassword;
  QPushButton* cmdContinue;

  // Escape and the title bar's close button do nothing.
  void reject() override {}

 private:
  PauseSchedule& pauses_;
};

}  // namespace quarn
