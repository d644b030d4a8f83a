#include "session/frmPause.h"

#include <QVBoxLayout>

#include "base/Prompter.h"

namespace quarn {

frmPause::frmPause(PauseSchedule& pauses, QWidget* parent)
    : SessionDialog(parent), pauses_(pauses) {
  setObjectName("frmPause");
  setWindowTitle(kAppTitle);
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  lblAlert = new QLabel(
      "Please alert your moderator that you are ready for some questions.  When finished, you "
      "will be informed of the password needed to continue.",
      this);
  lblAlert->setObjectName("lblAlert");
  lblAlert->setWordWrap(true);
  lblAlert->setMinimumWidth(360);
  txtPassword = new QLineEdit(this);
  txtPassword->setObjectName("txtPassword");
  txtPassword->setAlignment(Qt::AlignCenter);
  cmdContinue = new QPushButton("Continue", this);
  cmdContinue->setObjectName("cmdContinue");
  cmdContinue->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblAlert);
  layout->addWidget(txtPassword);
  layout->addWidget(cmdContinue, 0, Qt::AlignHCenter);

  connect(cmdContinue, &QPushButton::clicked, this, [this] { cmdContinue_Click(); });
  new KeyPressFilter(txtPassword, [this](int ascii, QKeyEvent*) {
    if (ascii != 13) return false;
    cmdContinue_Click();
    return true;
  });
}

void frmPause::cmdContinue_Click() {
  if (checkPausePassword(pauses_, txtPassword->text().toStdString())) {
    accept();
    return;
  }
  txtPassword->setFocus(Qt::OtherFocusReason);
  txtPassword->selectAll();
}

}  // namespace quarn
