#include "ui/DatabaseWaitNotice.h"

#include <QEventLoop>
#include <QVBoxLayout>

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

DatabaseWaitNotice::DatabaseWaitNotice(Prompter& toolkit) : toolkit_(toolkit) {
  hideTimer_.setSingleShot(true);
  QObject::connect(&hideTimer_, &QTimer::timeout, [this] {
    if (window_) window_->hide();
  });
}

DatabaseWaitNotice::~DatabaseWaitNotice() = default;

void DatabaseWaitNotice::wait(std::chrono::milliseconds waitedSoFar) {
  const Clock::time_point now = Clock::now();
  if (lastWait_ == Clock::time_point{} || now - lastWait_ > kSameWait) since_ = now - waitedSoFar;
  lastWait_ = now;
  if (now - since_ >= kShowAfter) Show(now - since_);
  hideTimer_.start(std::chrono::duration_cast<std::chrono::milliseconds>(kHideAfter));

  Prompter::ModalScope waiting(toolkit_);
  QEventLoop loop;
  QTimer::singleShot(kStep, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void DatabaseWaitNotice::Show(Clock::duration waited) {
  if (!window_) {
    window_ = std::make_unique<QDialog>();
    window_->setObjectName("frmWaiting");
    window_->setWindowTitle(kAppTitle);
    window_->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window_->setWindowModality(Qt::ApplicationModal);
    label_ = new QLabel(window_.get());
    label_->setObjectName("lblWaiting");
    label_->setMinimumWidth(280);
    label_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(window_.get());
    layout->addWidget(label_);
  }
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(waited).count();
  label_->setText(QString("Waiting for the database... %1 s").arg(seconds));
  if (!window_->isVisible()) window_->show();
}

}  // namespace quarn
