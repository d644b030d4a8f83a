#pragma once

#include <QTimer>
#include <chrono>
#include <string>

#include "base/Clock.h"
#include "base/Prompter.h"
#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/OpenDatabase.h"
#include "game/GameSession.h"
#include "ui/DatabaseWaitNotice.h"
#include "ui/LoginWindow.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"

namespace quarn {

// One application: the database engine and its stores, the DatabaseAccess
// service over them, the game and its windows, wired together.
class Application {
 public:
  // `appFolder` holds data/ (the database, the text files) and Input/.
  Application(Prompter& prompter, const std::string& appFolder);

  // Makes the demo experiment in the folder's data/ and Input/ when the
  // moderator agrees; for a new folder without a database.
  void offerDemo();

  // The start-up: the splash, the main window, the login, then the game.
  // When the participant has no trial left, the splash and the login come
  // again.
  void start();

  // How long the splash window stays up.
  std::chrono::milliseconds splashTime{1500};

  GameSession& session() { return m_session; }
  // The participants' language: English until useStartLanguage() is called.
  Translations& translations() { return m_translations; }
  MainWindow& mainWindow() { return m_mainWindow; }
  LoginWindow& loginWindow() { return m_loginWindow; }

 private:
  Prompter& m_prompter;
  std::string m_appFolder;
  // Declared before the windows, so that it outlives them.
  Translations m_translations;
  SteadyTickCounter m_ticks;
  StandardUniformRandom m_random;
  DatabaseWaitNotice m_waitNotice{m_prompter};
  ChosenStores m_stores{&m_waitNotice};
  DatabaseAccess m_db{m_stores, m_prompter, m_random, &m_waitNotice};
  GameSession m_session;
  MainWindow m_mainWindow{m_session, m_prompter};
  LoginWindow m_loginWindow{m_session, &m_mainWindow};
  // Refreshes the workstation's mark while the game runs, so that the live
  // view tells a participant who thinks from a workstation that is gone.
  QTimer m_markTimer;
  bool m_loginLoaded = false;
};

}  // namespace quarn
