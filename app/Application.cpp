#include "app/Application.h"

#include <QCoreApplication>

#include "base/Text.h"
#include "db/DemoExperiment.h"
#include "ui/SplashWindow.h"

namespace quarn {

Application::Application(Prompter& prompter, const std::string& appFolder)
    : m_prompter(prompter),
      m_appFolder(appFolder),
      m_session(
          GameServices{prompter, m_ticks, m_random, SystemWallClock::instance(), m_db, appFolder}) {
  m_session.setView(&m_mainWindow);
  m_markTimer.setInterval(std::chrono::seconds(kMarkRefreshSeconds));
  QObject::connect(&m_markTimer, &QTimer::timeout, [this] { m_session.keepAlive(); });
  m_mainWindow.onLanguageChosen = [this](const std::string& language) {
    m_translations.useSettingLanguage(language);
  };
  m_loginWindow.showFolder(appFolder);
}

void Application::offerDemo() {
  const std::string question =
      QCoreApplication::translate("Application",
                                  "The folder %1 holds no experiment database yet.\r\n"
                                  "Make the demo experiment there?")
          .arg(QString::fromStdString(m_appFolder))
          .toStdString();
  if (m_prompter.ask(question, PromptStyle::YesNoQuestion) != Answer::Yes) return;
  makeDemoFile(m_appFolder + "/data");
  writeDemandFile(m_appFolder + "/Input");
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
    // The start of the game may already hold the participant: in training
    // messages, or in a pause owed since before a restart, which lasts an
    // interview. The mark is refreshed meanwhile.
    m_markTimer.start();
    if (m_session.startGame()) return;
    m_markTimer.stop();
  }
}

}  // namespace quarn
