#include "ui/PauseWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Prompter.h"
#include "ui/KeyFilter.h"

namespace quarn {

PauseWindow::PauseWindow(GameSession& session, QWidget* parent)
    : GuardedDialog(parent), m_session(session) {
  setObjectName("frmPause");
  setWindowTitle(kAppTitle);
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto* alert = new QLabel(
      tr("Please alert your moderator that you are ready for some questions.  When finished, you "
         "will be informed of the password needed to continue."),
      this);
  alert->setObjectName("lblAlert");
  alert->setWordWrap(true);
  alert->setMinimumWidth(360);
  m_passwordBox = new QLineEdit(this);
  m_passwordBox->setObjectName("txtPassword");
  m_passwordBox->setAlignment(Qt::AlignCenter);
  auto* continueButton = new QPushButton(tr("Continue"), this);
  continueButton->setObjectName("cmdContinue");
  continueButton->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(alert);
  layout->addWidget(m_passwordBox);
  layout->addWidget(continueButton, 0, Qt::AlignHCenter);

  connect(continueButton, &QPushButton::clicked, this, [this] { guard([this] { goOn(); }); });
  new KeyFilter(m_passwordBox, [this](const TypedKey& key) {
    if (key.kind != TypedKey::Kind::Enter) return false;
    guard([this] { goOn(); });
    return true;
  });
}

// The right password passes the pause, and the game goes on with the next
// trial; a wrong one is selected, to be typed over.
void PauseWindow::goOn() {
  if (m_session.answerPause(m_passwordBox->text().toStdString())) {
    accept();
    return;
  }
  m_passwordBox->setFocus(Qt::OtherFocusReason);
  m_passwordBox->selectAll();
}

}  // namespace quarn
