#include "ui/SkipTrainingDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/KeyFilter.h"

namespace quarn {

SkipTrainingDialog::SkipTrainingDialog(GameSession& session, QWidget* parent)
    : GuardedDialog(parent), m_session(session) {
  setObjectName("frmPassword");
  setWindowTitle(tr("Password to skip training"));
  setModal(false);
  // Each typed character shows as an asterisk, not the style's dot. Set on
  // the window before the box exists: under the main window's style sheet a
  // sheet of the box's own does not reach its password character.
  setStyleSheet("QLineEdit { lineedit-password-character: 42; }");

  m_passwordBox = new QLineEdit(this);
  m_passwordBox->setObjectName("txtPassword");
  m_passwordBox->setEchoMode(QLineEdit::Password);
  auto* doneButton = new QPushButton(tr("Done"), this);
  doneButton->setObjectName("cmdDone");
  doneButton->setAutoDefault(false);
  auto* cancelButton = new QPushButton(tr("Cancel"), this);
  cancelButton->setObjectName("cmdCancel");
  cancelButton->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_passwordBox);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(doneButton);
  buttons->addWidget(cancelButton);
  layout->addLayout(buttons);

  connect(doneButton, &QPushButton::clicked, this, [this] { done(); });
  connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
  new KeyFilter(m_passwordBox, [this](const TypedKey& key) {
    if (key.kind != TypedKey::Kind::Enter) return false;
    done();
    return true;
  });
}

void SkipTrainingDialog::showDialog() {
  if (!isVisible()) m_passwordBox->clear();
  show();
  raise();
  activateWindow();
  m_passwordBox->setFocus(Qt::OtherFocusReason);
}

void SkipTrainingDialog::cancel() {
  m_passwordBox->clear();
  hide();
}

void SkipTrainingDialog::done() {
  // Training may have ended while the dialog stood open.
  if (!m_session.inTraining()) {
    cancel();
    return;
  }
  // A right password closes the dialog (the game tells the main window).
  m_answering = true;
  m_session.skipTraining(m_passwordBox->text().toStdString());
  m_answering = false;
}

bool SkipTrainingDialog::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate && isVisible() && !m_answering) cancel();
  return GuardedDialog::event(event);
}

}  // namespace quarn
