#include "session/SessionDialog.h"

#include <QKeySequence>

namespace quarn {

int SessionDialog::RunModal() {
  pending_ = nullptr;
  int result = exec();
  RethrowPending();
  return result;
}

void SessionDialog::RethrowPending() {
  if (pending_) {
    std::exception_ptr pending = pending_;
    pending_ = nullptr;
    std::rethrow_exception(pending);
  }
}

void SessionDialog::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    pending_ = std::current_exception();
    QDialog::done(QDialog::Rejected);
  }
}

KeyPressFilter::KeyPressFilter(QObject* target,
                               std::function<bool(int keyAscii, QKeyEvent* event)> filter)
    : QObject(target), filter_(std::move(filter)) {
  target->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  int ascii = 0;
  switch (key->key()) {
    case Qt::Key_Backspace:
      ascii = 8;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      ascii = 13;
      break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Delete:  // X11 gives it the character 127, yet it types nothing
      return false;
    default:
      if (!key->text().isEmpty()) {
        ascii = key->text().at(0).unicode();
      } else if (key->matches(QKeySequence::Paste)) {
        ascii = 22;  // Ctrl+V types a control character, and a filter may refuse it
      }
  }
  if (ascii == 0) return false;
  return filter_(ascii, key);
}

}  // namespace quarn
