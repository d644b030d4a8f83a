#include "session/frmPassword.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "record/modRecord.h"

namespace quarn {

frmPassword::frmPassword(Game& game, TrialWindow& window, QWidget* parent)
    : SessionDialog(parent), game_(game), window_(window) {
  setObjectName("frmPassword");
  setWindowTitle("Password to skip training");
  setModal(false);
  // Each typed character shows as an asterisk, not the style's dot. Set on
  // the window before the box exists: under the main window's style sheet a
  // sheet of the box's own does not reach its password character.
  setStyleSheet("QLineEdit { lineedit-password-character: 42; }");

  txtPassword = new QLineEdit(this);
  txtPassword->setObjectName("txtPassword");
  txtPassword->setEchoMode(QLineEdit::Password);
  cmdDone = new QPushButton("Done", this);
  cmdDone->setObjectName("cmdDone");
  cmdDone->setAutoDefault(false);
  cmdCancel = new QPushButton("Cancel", this);
  cmdCancel->setObjectName("cmdCancel");
  cmdCancel->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(txtPassword);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(cmdDone);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);

  connect(cmdDone, &QPushButton::clicked, this, [this] { cmdDone_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  new KeyPressFilter(txtPassword, [this](int ascii, QKeyEvent*) {
    if (ascii != 13) return false;
    cmdDone_Click();
    return true;
  });
}

void frmPassword::ShowDialog() {
  if (!isVisible()) txtPassword->clear();
  show();
  raise();
  activateWindow();
  txtPassword->setFocus(Qt::OtherFocusReason);
}

void frmPassword::cmdCancel_Click() {
  txtPassword->clear();
  hide();
}

void frmPassword::cmdDone_Click() {
  // Training may have ended while the dialog stood open; the jump to the last
  // training trial would then move the experiment's position.
  if (!game_.training.active) {
    cmdCancel_Click();
    return;
  }
  if (txtPassword->text().toStdString() != game_.training.password) {
    answering_ = true;
    game_.services.prompter.ask("Incorrect Password", PromptStyle::Ok);
    answering_ = false;
    return;
  }
  game_.training.passed = true;
  game_.plan.currentTrial = static_cast<int16_t>(game_.plan.totalTrialCount() - 1);
  cmdCancel_Click();
  WriteTrialRecord(game_);
  NextTrial(game_, window_);
}

bool frmPassword::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate && isVisible() && !answering_) cmdCancel_Click();
  return SessionDialog::event(event);
}

}  // namespace quarn
