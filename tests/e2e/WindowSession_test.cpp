#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "app/Application.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/e2e/WindowScript.h"
#include "ui/QtPrompter.h"

namespace quarn::testing {
namespace {

// Plays the session's trials through the main window with key presses and
// clicks, each week ordering the demand the window shows for the stage,
// until `done` (or the game is over).
void playUntil(Application& application, const std::function<bool()>& done) {
  MainWindow& window = application.mainWindow();
  GameSession& session = application.session();
  auto* orderBox = control<QLineEdit>(window, "txtOrder");
  auto* orderButton = control<QPushButton>(window, "cmdOrder");
  auto* timer = control<QTimer>(window, "tmrAnimation");
  for (int step = 0; step < 100000 && session.phase() != Phase::GameOver && !done(); ++step) {
    switch (session.phase()) {
      case Phase::WeekOpen: {
        const int16_t role = session.state().plan.current().participantRole;
        const QString demand = control<QLabel>(window, QString("lblDemand_%1").arg(role))->text();
        QTest::keyClicks(orderBox, demand);
        QTest::keyClick(orderBox, Qt::Key_Return);
        break;
      }
      case Phase::Animating:
        QMetaObject::invokeMethod(timer, "timeout");
        break;
      case Phase::TrialOver:
        QTest::mouseClick(orderButton, Qt::LeftButton);
        break;
      default:
        QCoreApplication::processEvents();
    }
  }
}

void playToTheEnd(Application& application) {
  playUntil(application, [] { return false; });
}

// Logs `subject` in to the demo setting through the login window.
void logInToDemo(QWidget* login, const QString& subject) {
  QTest::keyClicks(control<QLineEdit>(*login, "txtSubjectID"), subject);
  QTest::keyClicks(control<QComboBox>(*login, "cboSetting"), "Demo");
  QTest::mouseClick(control<QPushButton>(*login, "cmdStart"), Qt::LeftButton);
}

void answerQuestionnaire(QWidget* questionnaire) {
  QTest::mouseClick(control<QWidget>(*questionnaire, "optGender_0"), Qt::LeftButton);
  QTest::keyClicks(control<QLineEdit>(*questionnaire, "txtAge"), "30");
  QTest::mouseClick(control<QPushButton>(*questionnaire, "cmdOK"), Qt::LeftButton);
}

// A new participant plays the demo setting through the real windows, with
// key presses and mouse clicks only, from the login to the closing screen:
// the questionnaire, the training trials, the pause after trial 2 and its
// password, every experiment trial. The moderator answers every message box.
TEST(WindowSession, DemoFromLoginToTheClosingScreen) {
  ensureApplication();
  DemoFolder demo;
  QtPrompter prompter;
  std::vector<PromptKind> asked;
  prompter.answerer = [&asked](const MessageRequest& request) {
    asked.push_back(request.kind);
    return request.kind == PromptKind::RegisterNewUser ? Answer::Yes : Answer::Ok;
  };
  Application application(prompter, demo.app.string());
  application.splashTime = std::chrono::milliseconds(0);

  ModalScript script;
  script.then("frmLogin", [](QWidget* login) {
    QTest::keyClicks(control<QLineEdit>(*login, "txtSubjectID"), "W1");
    QTest::keyClicks(control<QComboBox>(*login, "cboSetting"), "Demo");
    QTest::mouseClick(control<QPushButton>(*login, "cmdStart"), Qt::LeftButton);
  });
  script.then("frmNewUser", [](QWidget* questionnaire) {
    QTest::mouseClick(control<QWidget>(*questionnaire, "optGender_0"), Qt::LeftButton);
    QTest::keyClicks(control<QLineEdit>(*questionnaire, "txtAge"), "30");
    QTest::mouseClick(control<QPushButton>(*questionnaire, "cmdOK"), Qt::LeftButton);
  });
  script.then("frmPause", [](QWidget* pause) {
    auto* password = control<QLineEdit>(*pause, "txtPassword");
    QTest::keyClicks(password, "continue");
    QTest::keyClick(password, Qt::Key_Return);
  });
  application.start();

  playToTheEnd(application);
  MainWindow& window = application.mainWindow();
  GameSession& session = application.session();
  auto* orderButton = control<QPushButton>(window, "cmdOrder");
  ASSERT_EQ(session.phase(), Phase::GameOver);
  EXPECT_TRUE(script.done());
  EXPECT_TRUE(control<QWidget>(window, "fraClosing")->isVisible());
  EXPECT_EQ(orderButton->text(), "Game Over");
  EXPECT_EQ(std::count(asked.begin(), asked.end(), PromptKind::TrialEnded), 6);
  EXPECT_EQ(asked.back(), PromptKind::GameOver);

  const TestDatabase& db = demo.db;
  EXPECT_EQ(db.count("datUser", "Subject='W1' AND Gender='Male' AND Age=30"), 1);
  EXPECT_EQ(db.count("datTrial", "Subject='W1' AND Training<>0"), 2);
  EXPECT_EQ(db.count("datTrial", "Subject='W1' AND Trial BETWEEN 1 AND 4"), 4);
  EXPECT_EQ(db.count("datRole", "Trial>0"), 4 * 4 * 20);
  const std::string text = readFile(demo.textFile("W1"));
  EXPECT_EQ(static_cast<int>(std::count(text.begin(), text.end(), '\n')), db.count("datRole") / 4);
  session.endSession();
  EXPECT_EQ(db.count("datPlaying"), 0);
}

// The moderator types the name of a settings file into the login's Setup
// File box: the setting list is then the server's.
TEST(WindowSession, SetupFileBoxNamingASettingsFileListsTheServersSettings) {
  ensureApplication();
  DemoFolder demo;
  ServerDatabase server;
  server.insert("tblBlock", {{"Setting", "OnServer"}, {"Runs", 1}});
  std::ofstream(demo.dataDir() + "/lab.conf") << "# the lab server\n"
                                              << server.connection() << "\n";
  QtPrompter prompter;
  prompter.answerer = [](const MessageRequest&) { return Answer::Ok; };
  Application application(prompter, demo.app.string());
  LoginWindow& login = application.loginWindow();
  login.load();
  login.show();
  QApplication::setActiveWindow(&login);
  auto* settingBox = control<QComboBox>(login, "cboSetting");
  ASSERT_EQ(settingBox->count(), 2) << "the demo file's Demo and Simulated";

  auto* databaseBox = control<QLineEdit>(login, "txtDatabase");
  databaseBox->setFocus();
  QTest::keyClick(databaseBox, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(databaseBox, "lab.conf");
  QTest::keyClick(databaseBox, Qt::Key_Tab);
  ASSERT_EQ(settingBox->count(), 1);
  EXPECT_EQ(settingBox->itemText(0), "OnServer");
}

// A setting whose tblSetting row names German: from the login on, the
// questionnaire, the main window, its messages and the closing screen speak
// German, while every record (the questionnaire's answers, the role names,
// the text file) stays in English.
TEST(WindowSession, GermanSettingSpeaksGermanAndRecordsInEnglish) {
  ensureApplication();
  DemoFolder demo;
  demo.db.insert("tblSetting", {{"Setting", "Demo"}, {"Language", "de"}});
  QtPrompter prompter;
  std::vector<MessageRequest> asked;
  prompter.answerer = [&asked](const MessageRequest& request) {
    asked.push_back(request);
    return request.kind == PromptKind::RegisterNewUser ? Answer::Yes : Answer::Ok;
  };
  Application application(prompter, demo.app.string());
  application.splashTime = std::chrono::milliseconds(0);
  MainWindow& window = application.mainWindow();
  QString questionnaireTitle;
  QString firstTrialCaption;

  ModalScript script;
  script.then("frmLogin", [](QWidget* login) {
    EXPECT_EQ(control<QPushButton>(*login, "cmdStart")->text(), "Start");  // English until then
    QTest::keyClicks(control<QLineEdit>(*login, "txtSubjectID"), "G1");
    QTest::keyClicks(control<QComboBox>(*login, "cboSetting"), "Demo");
    QTest::mouseClick(control<QPushButton>(*login, "cmdStart"), Qt::LeftButton);
  });
  script.then("frmNewUser", [&](QWidget* questionnaire) {
    questionnaireTitle = questionnaire->windowTitle();
    auto* male = control<QAbstractButton>(*questionnaire, "optGender_0");
    EXPECT_EQ(male->text(), "M\u00e4nnlich");
    QTest::mouseClick(male, Qt::LeftButton);
    QTest::keyClicks(control<QLineEdit>(*questionnaire, "txtAge"), "30");
    QTest::keyClicks(control<QComboBox>(*questionnaire, "cboMajor"), "Informatik");
    QTest::mouseClick(control<QPushButton>(*questionnaire, "cmdOK"), Qt::LeftButton);
  });
  script.then("frmPause", [](QWidget* pause) {
    EXPECT_EQ(control<QPushButton>(*pause, "cmdContinue")->text(), "Weiter");
    auto* password = control<QLineEdit>(*pause, "txtPassword");
    QTest::keyClicks(password, "continue");
    QTest::keyClick(password, Qt::Key_Return);
  });
  application.start();
  firstTrialCaption = control<QPushButton>(window, "cmdOrder")->text();
  EXPECT_EQ(control<QLabel>(window, "lblRole_3")->text(), "Einzelh\u00e4ndler");
  EXPECT_EQ(control<QLabel>(window, "tagDemand_0")->text(), "Nachfrage");
  EXPECT_EQ(control<QLabel>(window, "lblWeek")->text(), "01 von 10");
  playToTheEnd(application);

  ASSERT_EQ(application.session().phase(), Phase::GameOver);
  EXPECT_TRUE(script.done());
  EXPECT_EQ(questionnaireTitle, "Fragebogen f\u00fcr neue Teilnehmer");
  EXPECT_EQ(firstTrialCaption, "Bestellen");
  EXPECT_EQ(control<QPushButton>(window, "cmdOrder")->text(), "Spielende");
  EXPECT_EQ(control<QLabel>(window, "lblClosing")->text(), "Das Experiment ist beendet.");
  const auto trialEnd = std::find_if(asked.begin(), asked.end(), [](const MessageRequest& r) {
    return r.kind == PromptKind::TrialEnded;
  });
  ASSERT_NE(trialEnd, asked.end());
  EXPECT_EQ(trialEnd->title, "Ende der Runde");
  EXPECT_EQ(trialEnd->prompt.rfind("Ihre Gesamtkosten als ", 0), 0u) << trialEnd->prompt;
  EXPECT_EQ(asked.back().title, "Alle 4 Runden gespielt");

  const TestDatabase& db = demo.db;
  EXPECT_EQ(db.count("datUser", "Subject='G1' AND Gender='Male' AND Major='Computer Science'"), 1);
  EXPECT_EQ(db.count("datRole", "Role NOT IN ('Factory','Distributor','Wholesaler','Retailer')"),
            0);
  EXPECT_EQ(db.count("datRole", "Trial>0"), 4 * 4 * 20);
  const std::string text = readFile(demo.textFile("G1"));
  EXPECT_EQ(text.find("\xc3"), std::string::npos);  // no German letter in the text file
  application.session().endSession();
}

// The first message over a trial (the training limits here) shows the
// trial's own week counter behind it, not the one the window was made with.
TEST(WindowSession, FirstMessageOverATrialShowsItsWeekCounter) {
  ensureApplication();
  DemoFolder demo;
  QtPrompter prompter;
  std::vector<MessageRequest> asked;
  Application application(prompter, demo.app.string());
  QString behindLimits;
  prompter.answerer = [&](const MessageRequest& request) {
    if (request.kind == PromptKind::TrainingConstraints) {
      auto* week = control<QLabel>(application.mainWindow(), "lblWeek");
      behindLimits = week->isVisible() ? week->text() : "(hidden)";
    }
    return moderatorAnswer(asked, request);
  };
  application.splashTime = std::chrono::milliseconds(0);
  ModalScript script;
  script.then("frmLogin", [](QWidget* login) { logInToDemo(login, "C1"); });
  script.then("frmNewUser", answerQuestionnaire);
  application.start();
  EXPECT_EQ(behindLimits.toStdString(), "01 of 10");
  application.session().endSession();
}

// A participant whose workstation starts again in the pause after trial 2
// sits in the pause again once training is over (a setting with training
// always begins with it): trial 3 waits for the pause's password.
TEST(WindowSession, ParticipantBackInAPauseSitsInItUntilItsPassword) {
  ensureApplication();
  DemoFolder demo;
  demo.db.exec("UPDATE tblBlock SET numweeks = 3 WHERE Setting = 'Demo'");
  demo.db.exec("UPDATE tblTraining SET Weeks = 2 WHERE Setting = 'Demo'");
  QtPrompter prompter;
  std::vector<MessageRequest> asked;
  prompter.answerer = [&asked](const MessageRequest& request) {
    return moderatorAnswer(asked, request);
  };
  {
    Application first(prompter, demo.app.string());
    first.splashTime = std::chrono::milliseconds(0);
    ModalScript script;
    script.then("frmLogin", [](QWidget* login) { logInToDemo(login, "P2"); });
    script.then("frmNewUser", answerQuestionnaire);
    first.start();
    const GameSession& session = first.session();
    playUntil(first, [&] {
      return session.phase() == Phase::TrialOver && !session.inTraining() &&
             session.state().plan.currentTrial == 1;
    });
    ASSERT_EQ(session.phase(), Phase::TrialOver);
  }  // the workstation stops with trial 2 over: the pause was next

  Application second(prompter, demo.app.string());
  second.splashTime = std::chrono::milliseconds(0);
  const GameSession& session = second.session();
  bool heldInPause = false;
  bool wrongPasswordRefused = false;
  ModalScript script;
  script.then("frmLogin", [](QWidget* login) { logInToDemo(login, "P2"); });
  script.then("frmPause", [&](QWidget* pause) {
    heldInPause = session.phase() == Phase::Paused && demo.db.count("datRole", "Trial=3") == 0;
    auto* password = control<QLineEdit>(*pause, "txtPassword");
    QTest::keyClicks(password, "Continue");
    QTest::keyClick(password, Qt::Key_Return);
    wrongPasswordRefused = pause->isVisible() && session.phase() == Phase::Paused;
    QTest::keyClick(password, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(password, "continue");
    QTest::keyClick(password, Qt::Key_Return);
  });
  second.start();
  playUntil(second, [&] { return !session.inTraining() && session.phase() == Phase::WeekOpen; });
  EXPECT_TRUE(script.done()) << "no pause window";
  EXPECT_TRUE(heldInPause);
  EXPECT_TRUE(wrongPasswordRefused);
  EXPECT_EQ(control<QLabel>(second.mainWindow(), "lblTrial")->text(), "03 of 04");
  second.session().endSession();
}

}  // namespace
}  // namespace quarn::testing
