#include "ui/GuardedDialog.h"

namespace quarn {

int GuardedDialog::runModal() {
  m_pending = nullptr;
  const int result = exec();
  rethrowPending();
  return result;
}

void GuardedDialog::rethrowPending() {
  if (!m_pending) return;
  std::exception_ptr pending = m_pending;
  m_pending = nullptr;
  std::rethrow_exception(pending);
}

void GuardedDialog::guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    m_pending = std::current_exception();
    QDialog::done(QDialog::Rejected);
  }
}

}  // namespace quarn
