#include "ui/SkipTrainingDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/CaptionFit.h"
#include "ui/KeyFilter.h"

namespace quarn {

SkipTrainingDialog::SkipTrainingDialog(GameSession& session, QWidget* parent)
    : GuardedDialog(parent), m_session(session) {
  setObjectName("frmPassword");
  setModal(false);
  // Each typed character shows as an asterisk, not the style's dot. Set on
  // the window before the box exists: under the main window's style sheet a
  // sheet of the box's own does not reach its password character.
  setStyleSheet("QLineEdit { lineedit-password-character: 42; }");

  m_prompt = new QLabel(this);
  m_prompt->setObjectName("lblPrompt");
  m_prompt->setWordWrap(true);
  m_passwordBox = new QLineEdit(this);
  m_passwordBox->setObjectName("txtPassword");
  m_passwordBox->setEchoMode(QLineEdit::Password);
  m_doneButton = new QPushButton(this);
  m_doneButton->setObjectName("cmdDone");
  m_doneButton->setAutoDefault(false);
  m_cancelButton = new QPushButton(this);
  m_cancelButton->setObjectName("cmdCancel");
  m_cancelButton->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_prompt);
  layout->addWidget(m_passwordBox);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(m_doneButton);
  buttons->addWidget(m_cancelButton);
  layout->addLayout(buttons);
  showCaptions();

  connect(m_doneButton, &QPushButton::clicked, this, [this] { done(); });
  connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
  new KeyFilter(m_passwordBox, [this](const TypedKey& key) {
    if (key.kind != TypedKey::Kind::Enter) return false;
    done();
    return true;
  });
}

// The captions in the language in use; the window is kept wide enough for
// its title.
void SkipTrainingDialog::showCaptions() {
  setWindowTitle(tr("Password to skip training"));
  m_prompt->setText(
      tr("Moderator: type the training's password to end the training and "
         "start the experiment."));
  m_doneButton->setText(tr("Done"));
  m_cancelButton->setText(tr("Cancel"));
  keepTitleWhole(*this);
  adjustSize();
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
  if (event->type() == QEvent::LanguageChange) showCaptions();
  return GuardedDialog::event(event);
}

}  // namespace quarn
