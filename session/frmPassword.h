#pragma once

#include <QLineEdit>
#include <QPushButton>

#include "record/Game.h"
#include "record/TrialWindow.h"
#include "session/SessionDialog.h"

namespace quarn {

// The moderator's dialog that skips the rest of training. Shown without
// blocking the main window; closes itself when it loses the focus.
class frmPassword : public SessionDialog {
 public:
  // `window` is the main window, on which the trial sequencing goes on once
  // the password was accepted.
  frmPassword(Game& game, TrialWindow& window, QWidget* parent = nullptr);

  // Shows the dialog (again) with an empty password box.
  void ShowDialog();

  void cmdDone_Click();
  void cmdCancel_Click();

  QLineEdit* txtPassword;
  QPushButton* cmdDone;
  QPushButton* cmdCancel;

 protected:
  bool event(QEvent* event) override;

 private:
  Game& game_;
  TrialWindow& window_;
  bool answering_ = false;  // a message box of Done is up: its focus is not ours to lose
};

}  // namespace quarn
