#include "session/frmSplash.h"

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QVBoxLayout>

#include "base/Prompter.h"

namespace quarn {

const char* QuarnVersion() {
  return QUARN_VERSION;
}

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("frmSplash");
  setWindowTitle(kAppTitle);
  setAttribute(Qt::WA_ShowWithoutActivating);

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  frame->setLineWidth(2);

  lblProductName = new QLabel(kAppTitle, frame);
  lblProductName->setObjectName("lblProductName");
  QFont big = lblProductName->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  lblProductName->setFont(big);
  lblVersion = new QLabel(QString("Version ") + QuarnVersion(), frame);
  lblVersion->setObjectName("lblVersion");
  lblPlatform = new QLabel(
      QString("For %1, with Qt %2").arg(QSysInfo::prettyProductName(), qVersion()), frame);
  lblPlatform->setObjectName("lblPlatform");
  lblCredits = new QLabel(
      "A supply-chain ordering game for laboratory studies of dynamic decision making, "
      "written by the Quarn Game developers.\n\n"
      "For research and teaching use. Results recorded with it belong to the study that "
      "collected them; participants take part under that study's consent procedure.",
      frame);
  lblCredits->setObjectName("lblCredits");
  lblCredits->setWordWrap(true);

  auto* inner = new QVBoxLayout(frame);
  inner->setContentsMargins(24, 24, 24, 24);
  inner->setSpacing(10);
  inner->addWidget(lblProductName, 0, Qt::AlignHCenter);
  inner->addWidget(lblVersion, 0, Qt::AlignHCenter);
  inner->addWidget(lblPlatform, 0, Qt::AlignHCenter);
  inner->addSpacing(12);
  inner->addWidget(lblCredits);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  setFixedWidth(460);
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

}  // namespace quarn
