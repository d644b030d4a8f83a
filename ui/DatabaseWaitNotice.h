#pragma once

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <memory>

#include "base/Prompter.h"
#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

// Waits for a database file that another program holds, with the windows
// alive. Between the connection's tries the events run (painting, timers;
// the user's input waits for the end), while the game stands still as under
// any modal box. After a second a small modal window says that the
// application is waiting for the database, and for how long; it goes once
// the waits stop.
class DatabaseWaitNotice : public BusyWaiter {
 public:
  explicit DatabaseWaitNotice(Prompter& prompter);
  ~DatabaseWaitNotice() override;

  void wait(std::chrono::milliseconds waitedSoFar) override;
  void waitForServer(std::chrono::milliseconds waitedSoFar) override;
  // The application's database access tries a held file again, behind this
  // notice, until its give-up time: one try waits a second.
  std::chrono::milliseconds lockPatience() const override { return std::chrono::seconds(1); }

  // The notice ("frmWaiting", its text in "lblWaiting"); made at the first
  // wait that lasts.
  QDialog* window() const { return m_window.get(); }

 private:
  void waitFor(const char* what, std::chrono::milliseconds waitedSoFar);
  void show(const char* what, std::chrono::steady_clock::duration waited);

  Prompter& m_prompter;
  std::unique_ptr<QDialog> m_window;
  QLabel* m_label = nullptr;
  QTimer m_hideTimer;
  std::chrono::steady_clock::time_point m_since;
  std::chrono::steady_clock::time_point m_lastWait;
};

}  // namespace quarn
