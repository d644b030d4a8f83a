#include "ui/DatabaseWaitNotice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QVBoxLayout>

#include "ui/CaptionFit.h"

namespace quarn {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Events run this long between two tries of the connection.
constexpr auto kStep = 20ms;
// A wait shorter than this goes by without a notice.
constexpr auto kShowAfter = 1s;
// The notice goes this long after the last try; a retry after a back-off
// within this time continues the same wait (and its count of seconds).
constexpr auto kHideAfter = 300ms;
constexpr auto kSameWait = 2s;

}  // namespace

DatabaseWaitNotice::DatabaseWaitNotice(Prompter& prompter) : m_prompter(prompter) {
  m_hideTimer.setSingleShot(true);
  QObject::connect(&m_hideTimer, &QTimer::timeout, [this] {
    if (m_window) m_window->hide();
  });
}

DatabaseWaitNotice::~DatabaseWaitNotice() = default;

void DatabaseWaitNotice::wait(std::chrono::milliseconds waitedSoFar) {
  waitFor(QT_TRANSLATE_NOOP("DatabaseWaitNotice", "the database"), waitedSoFar);
}

void DatabaseWaitNotice::waitForServer(std::chrono::milliseconds waitedSoFar) {
  waitFor(QT_TRANSLATE_NOOP("DatabaseWaitNotice", "the lab server"), waitedSoFar);
}

void DatabaseWaitNotice::waitFor(const char* what, std::chrono::milliseconds waitedSoFar) {
  const Clock::time_point now = Clock::now();
  if (m_lastWait == Clock::time_point{} || now - m_lastWait > kSameWait)
    m_since = now - waitedSoFar;
  m_lastWait = now;
  if (now - m_since >= kShowAfter) show(what, now - m_since);
  m_hideTimer.start(std::chrono::duration_cast<std::chrono::milliseconds>(kHideAfter));

  Prompter::ModalScope waiting(m_prompter);
  QEventLoop loop;
  QTimer::singleShot(kStep, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void DatabaseWaitNotice::show(const char* what, Clock::duration waited) {
  if (!m_window) {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName("frmWaiting");
    m_window->setWindowTitle(kAppTitle);
    m_window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowStaysOnTopHint);
    // Not modal: a modal window would make Qt drop the main window's close
    // request; the game stands still under the wait all the same, and the
    // request is asked once the wait is over.
    m_window->setWindowModality(Qt::NonModal);
    m_label = new QLabel(m_window.get());
    m_label->setObjectName("lblWaiting");
    m_label->setMinimumWidth(280);
    m_label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->addWidget(m_label);
    keepTitleWhole(*m_window);
  }
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(waited).count();
  m_label->setText(QCoreApplication::translate("DatabaseWaitNotice", "Waiting for %1... %2 s")
                       .arg(QCoreApplication::translate("DatabaseWaitNotice", what))
                       .arg(seconds));
  if (!m_window->isVisible()) m_window->show();
}

}  // namespace quarn
