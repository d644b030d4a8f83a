#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QtTest/QTest>
#include <deque>
#include <filesystem>
#include <functional>

#include "record/Game.h"
#include "tests/support/FixedClocks.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "session_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

// Steps for the modal windows a scenario opens, in order: each step runs on
// the window named by it once that window is shown and its loop runs.
class ModalScript : public QObject {
 public:
  ModalScript() { QApplication::instance()->installEventFilter(this); }
  ~ModalScript() override { QApplication::instance()->removeEventFilter(this); }

  void Then(const char* windowName, std::function<void(QWidget*)> step) {
    steps_.push_back({windowName, std::move(step)});
  }
  bool Done() const { return steps_.empty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !steps_.empty() && watched->isWidgetType() &&
        watched->objectName() == steps_.front().first) {
      auto* window = static_cast<QWidget*>(watched);
      std::function<void(QWidget*)> step = std::move(steps_.front().second);
      steps_.pop_front();
      QTimer::singleShot(0, window, [window, step] { step(window); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::deque<std::pair<QString, std::function<void(QWidget*)>>> steps_;
};

// A game on a fresh database laid out as the application finds it: the
// application folder holds data/quarn.mdb.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest()
      : session(db.stores, toolkit, random), game(Services{toolkit, ticks, random, session}) {
    EnsureApplication();
    appFolder = std::filesystem::path(db.folder()) / "app";
    std::filesystem::create_directories(appFolder);
    std::filesystem::create_directory_symlink(db.folder(), appFolder / "data");
    toolkit.appFolder = appFolder.string();
  }

  TestDatabase db;
  ScriptedPrompter toolkit;
  FixedRandom random;
  ManualTickCounter ticks;
  DatabaseAccess session;
  Game game;
  std::filesystem::path appFolder;
};

}  // namespace quarn::testing
