#pragma once

#include <QDialog>
#include <QKeyEvent>
#include <QObject>
#include <exception>
#include <functional>
#include <string>

namespace quarn {

// Base of the session windows. A handler may end the application (the
// toolkit throws ApplicationEnd) or fail with an error; no exception may
// unwind through Qt's event dispatch, so Guard catches it, closes the window
// and keeps it, and RunModal raises it again once the modal loop is left.
class SessionDialog : public QDialog {
 public:
  explicit SessionDialog(QWidget* parent = nullptr) : QDialog(parent) {}

  // Shows the window modally until it is hidden; then raises what a handler
  // raised, if anything. Returns the dialog's result code.
  int RunModal();

  // The exception a handler raised since the window was last shown (a test
  // that drives a window shown without its modal loop looks here).
  std::exception_ptr Pending() const { return pending_; }
  void RethrowPending();

 protected:
  void Guard(const std::function<void()>& handler);

 private:
  std::exception_ptr pending_;
};

// A key filter in the manner of a key-press handler: `filter` gets the key's
// character code (8 Backspace, 13 Enter, the character otherwise) and returns
// true to swallow it. Keys that type no character (arrows, Delete, Tab,
// Escape) never reach it.
class KeyPressFilter : public QObject {
 public:
  KeyPressFilter(QObject* target, std::function<bool(int keyAscii, QKeyEvent* event)> filter);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool(int, QKeyEvent*)> filter_;
};

}  // namespace quarn
