#include "ui/SplashWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSysInfo>
#include <QVBoxLayout>

#include "base/Prompter.h"
#include "base/Version.h"

namespace quarn {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("frmSplash");
  setWindowTitle(kAppTitle);
  setAttribute(Qt::WA_ShowWithoutActivating);

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  frame->setLineWidth(2);

  auto* productName = new QLabel(kAppTitle, frame);
  productName->setObjectName("lblProductName");
  QFont big = productName->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  productName->setFont(big);
  auto* version = new QLabel(tr("Version %1").arg(quarnVersion()), frame);
  version->setObjectName("lblVersion");
  auto* platform =
      new QLabel(tr("For %1, with Qt %2").arg(QSysInfo::prettyProductName(), qVersion()), frame);
  platform->setObjectName("lblPlatform");
  auto* credits = new QLabel(
      tr("A supply-chain ordering game for laboratory studies of dynamic decision making, "
         "written by the Quarn Game developers.\n\n"
         "For research and teaching use. Results recorded with it belong to the study that "
         "collected them; participants take part under that study's consent procedure."),
      frame);
  credits->setObjectName("lblCredits");
  credits->setWordWrap(true);

  auto* inner = new QVBoxLayout(frame);
  inner->setContentsMargins(24, 24, 24, 24);
  inner->setSpacing(10);
  inner->addWidget(productName, 0, Qt::AlignHCenter);
  inner->addWidget(version, 0, Qt::AlignHCenter);
  inner->addWidget(platform, 0, Qt::AlignHCenter);
  inner->addSpacing(12);
  inner->addWidget(credits);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  // The credits wrap within the width; the height is what they take in
  // the language in use.
  ensurePolished();
  frame->ensurePolished();
  credits->ensurePolished();
  setFixedWidth(460);
  layout()->activate();
  setFixedHeight(heightForWidth(460));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

}  // namespace quarn
