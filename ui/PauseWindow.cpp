#include "ui/PauseWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>

#include "base/Prompter.h"
#include "ui/CaptionFit.h"
#include "ui/KeyFilter.h"

namespace quarn {

namespace {
constexpr int kTeamPauseLookMs = 50;
}  // namespace

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
  keepTitleWhole(*this);

  connect(continueButton, &QPushButton::clicked, this, [this] { guard([this] { goOn(); }); });
  // In a team setting another member's moderator may pass the pause for the
  // whole team: the window closes once the game has gone on.
  auto* teamTimer = new QTimer(this);
  teamTimer->setObjectName("tmrTeamPause");
  teamTimer->setInterval(kTeamPauseLookMs);
  connect(teamTimer, &QTimer::timeout, this, [this] {
    guard([this] {
      m_session.pollTeam(std::chrono::milliseconds(0));
      if (m_session.phase() != Phase::Paused) accept();
    });
  });
  teamTimer->start();
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
