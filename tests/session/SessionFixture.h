#pragma once

#include <QApplication>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>
#include <functional>

#include "record/Game.h"
#include "tests/support/ScriptedToolkit.h"
#include "tests/support/TestDatabase.h"

namespace quarn::testing {

inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "session_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

// Runs `step` on the modal window that opens next, once its loop runs.
inline void OnNextModal(std::function<void(QWidget*)> step) {
  QTimer::singleShot(0, [step] { step(QApplication::activeModalWidget()); });
}

template <class T>
T* Find(QWidget* window, const char* name) {
  T* found = window->findChild<T*>(name);
  if (found == nullptr) throw std::logic_error(std::string("no control ") + name);
  return found;
}

// A game on a fresh database laid out as the application finds it: the
// application folder holds data/quarn.mdb.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest()
      : session(*db.engine, toolkit, random), game(Services{toolkit, ticks, random, session}) {
    EnsureApplication();
    appFolder = std::filesystem::path(db.Folder()) / "app";
    std::filesystem::create_directories(appFolder);
    std::filesystem::create_directory_symlink(db.Folder(), appFolder / "data");
    toolkit.appFolder = appFolder.string();
  }

  TestDatabase db;
  ScriptedToolkit toolkit;
  FixedRandom random;
  ManualTickCounter ticks;
  Database session;
  Game game;
  std::filesystem::path appFolder;
};

}  // namespace quarn::testing
