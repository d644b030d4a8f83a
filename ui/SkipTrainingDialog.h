#pragma once

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "game/GameSession.h"
#include "ui/GuardedDialog.h"

namespace quarn {

// The moderator's dialog that skips the rest of training (frmPassword).
// Shown without blocking the main window; closes itself when it loses the
// focus.
class SkipTrainingDialog : public GuardedDialog {
  Q_DECLARE_TR_FUNCTIONS(SkipTrainingDialog)

 public:
  explicit SkipTrainingDialog(GameSession& session, QWidget* parent = nullptr);

  // Shows the dialog (again) with an empty password box.
  void showDialog();
  // Empties the box and hides the dialog.
  void cancel();

 protected:
  bool event(QEvent* event) override;

 private:
  void done();
  void showCaptions();

  GameSession& m_session;
  QLabel* m_prompt;
  QLineEdit* m_passwordBox;
  QPushButton* m_doneButton;
  QPushButton* m_cancelButton;
  bool m_answering = false;  // the game asks something: the focus is not ours to lose
};

}  // namespace quarn
