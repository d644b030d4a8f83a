#include "app/Application.h"

#include "ui/SplashWindow.h"

namespace quarn {

Application::Application(Prompter& prompter, const std::string& appFolder)
    : m_prompter(prompter),
      m_session(
          GameServices{prompter, m_ticks, m_random, SystemWallClock::instance(), m_db, appFolder}) {
  m_session.setView(&m_mainWindow);
  m_markTimer.setInterval(std::chrono::seconds(kMarkRefreshSeconds));
  QObject::connect(&m_markTimer, &QTimer::timeout, [this] { m_session.keepAlive(); });
}

void Application::start() {
  for (;;) {
    {
      SplashWindow splash;
      splash.show();
      m_prompter.wait(splashTime);  // events keep running, so the splash paints
    }
    m_mainWindow.show();
    // The login window is loaded once and then only shown again: a repeated
    // start-up finds it as it was left.
    if (!m_loginLoaded) {
      m_loginWindow.load();
      m_loginLoaded = true;
    }
    m_loginWindow.runModal();
    if (m_session.startGame()) {
      m_markTimer.start();
      return;
    }
  }
}

}  // namespace quarn
