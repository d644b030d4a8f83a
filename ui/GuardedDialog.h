#pragma once

#include <QDialog>
#include <exception>
#include <functional>

namespace quarn {

// Base of the dialogs. A handler may end the application (the Prompter
// throws ApplicationEnd) or fail with an error; no exception may unwind
// through Qt's event dispatch, so guard() catches it and closes the dialog,
// and runModal() raises it again once the modal loop is left.
class GuardedDialog : public QDialog {
 public:
  explicit GuardedDialog(QWidget* parent = nullptr) : QDialog(parent) {}

  // Shows the dialog modally until it is hidden; then raises what a handler
  // raised, if anything. Returns the dialog's result code.
  int runModal();

  // Raises what a handler raised since the dialog was last shown (a test
  // that drives a dialog shown without its modal loop looks here).
  void rethrowPending();

 protected:
  void guard(const std::function<void()>& handler);

 private:
  std::exception_ptr m_pending;
};

}  // namespace quarn
