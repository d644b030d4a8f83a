#pragma once

#include <QCoreApplication>
#include <QLineEdit>

#include "game/GameSession.h"
#include "ui/GuardedDialog.h"

namespace quarn {

// The scheduled pause (frmPause): holds the game until the moderator types
// the pause's password. It cannot be closed any other way.
class PauseWindow : public GuardedDialog {
  Q_DECLARE_TR_FUNCTIONS(PauseWindow)

 public:
  explicit PauseWindow(GameSession& session, QWidget* parent = nullptr);

  // Escape and the title bar's close button do nothing.
  void reject() override {}

 private:
  void goOn();

  GameSession& m_session;
  QLineEdit* m_passwordBox;
};

}  // namespace quarn
