#pragma once

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <memory>

#include "base/Prompter.h"
#include "db/SqlCipherConnection.h"

namespace quarn {

// Waits for a database file that another program holds, with the windows
// alive. Between the connection's tries the events run (painting, timers;
// the user's input waits for the end), while the game stands still as under
// any modal box. After a second a small modal window says that the
// application is waiting for the database, and for how long; it goes once
// the waits stop.
class DatabaseWaitNotice : public BusyWaiter {
 public:
  explicit DatabaseWaitNotice(Prompter& toolkit);
  ~DatabaseWaitNotice() override;

  void wait(std::chrono::milliseconds waitedSoFar) override;

  // The notice ("frmWaiting", its text in "lblWaiting"); made at the first
  // wait that lasts.
  QDialog* Window() const { return window_.get(); }

 private:
  void Show(std::chrono::steady_clock::duration waited);

  Prompter& toolkit_;
  std::unique_ptr<QDialog> window_;
  QLabel* label_ = nullptr;
  QTimer hideTimer_;
  std::chrono::steady_clock::time_point since_;
  std::chrono::steady_clock::time_point lastWait_;
};

}  // namespace quarn
