#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtTest/QTest>
#include <cstdlib>
#include <functional>

#include "analysis/RecordedResults.h"
#include "analysis/StudyOverview.h"
#include "app/Application.h"
#include "base/Languages.h"
#include "base/Version.h"
#include "tests/e2e/CaptionChecks.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/e2e/WindowScript.h"
#include "tests/support/FixedRandom.h"
#include "ui/DatabaseWaitNotice.h"
#include "ui/DebriefWindow.h"
#include "ui/QtPrompter.h"
#include "ui/SplashWindow.h"

namespace quarn::testing {
namespace {

// The participant's ID in every tour.
constexpr const char* kSubject = "Q7";

// What a look at a window reports.
using Look = std::function<void(QWidget& window, const QString& moment)>;

// The demo setting played through the real windows in `language`, the way a
// lab meets it: the application starts in English and the setting's row in
// tblSetting switches the language at the login; the experiment lives on
// the lab server, so that the login names the server. Every window and
// message box a participant (or the moderator at the participant's
// workstation) meets is handed to `look` while it is on the screen at its
// own size: the splash, the login (before and after the switch), the
// questionnaire and its message, the main window in training, at each
// trial's start and end and at the end of the game, the skip-training
// dialog and its message, the pause, every message of the game, the exit
// question, the database wait notice and the debriefing. The trials are cut
// to a few weeks.
class ParticipantTour {
 public:
  explicit ParticipantTour(const std::string& language) {
    ensureApplication();
    if (language != "en")
      m_demo.db.insert("tblSetting", {{"Setting", "Demo"}, {"Language", language}});
    // The demand steps up in the second week: the debriefing has a ratio of
    // the participant's orders' deviation to the demand's to tell.
    m_demo.db.exec(
        "UPDATE tblBlock SET numweeks = 4, JumpWeek = 2; UPDATE tblTraining SET Weeks = 2;");
    m_demo.moveToServer();
    m_prompter.answerer = [this](const MessageRequest& request) { return answer(request); };
  }

  // Who looks at the windows.
  void onLook(Look look) { m_look = std::move(look); }

  // The session's own texts, the same in every language.
  QStringList data() const {
    const std::string connection = m_demo.server->connection();
    QStringList texts = {kSubject,
                         "Demo",
                         "Simulated",
                         QString::fromStdString(m_demo.app.string()),
                         kMainCaption,
                         kAppTitle,
                         quarnVersion(),
                         qVersion(),
                         QSysInfo::prettyProductName(),
                         "quarn.mdb"};
    // The server's address, port and database as the connection names them.
    for (const char* keyword : {"host", "hostaddr", "port", "dbname", "user"}) {
      const QRegularExpressionMatch value =
          QRegularExpression(QString("\\b%1=([^ ]+)").arg(keyword))
              .match(QString::fromStdString(connection));
      if (value.hasMatch()) texts << value.captured(1).remove('\'');
    }
    return texts;
  }

  void run() {
    Application application(m_prompter, m_demo.app.string());
    application.splashTime = std::chrono::milliseconds(200);
    MainWindow& window = application.mainWindow();
    ModalScript script;
    script.then("frmSplash", [this](QWidget* splash) { look(*splash, "splash"); });
    script.then("frmLogin", [this](QWidget* login) { logIn(*login); });
    script.then("frmNewUser", [this](QWidget* questionnaire) { fillIn(*questionnaire); });
    script.then("frmPause", [this](QWidget* pause) {
      look(*pause, "pause");
      auto* password = control<QLineEdit>(*pause, "txtPassword");
      QTest::keyClicks(password, "continue");
      QTest::keyClick(password, Qt::Key_Return);
    });
    application.start();
    look(window, "main window, training");
    tryTheModeratorsKeys(window);
    play(application);
    look(window, "main window, game over");
    window.close();  // the exit question, answered No
    EXPECT_TRUE(script.done());

    SplashWindow splash;
    splash.show();
    look(splash, "splash");
    lookAtWaitNotices();
    lookAtDebriefing();
    application.session().endSession();
  }

 private:
  void look(QWidget& window, const QString& moment) {
    QCoreApplication::processEvents();
    m_look(window, moment);
  }

  // The box the prompter would show, shown and looked at; the answers go
  // the way the tour goes on.
  Answer answer(const MessageRequest& request) {
    std::unique_ptr<QMessageBox> box = makeMessageBox(request);
    box->show();
    look(*box, QString("message %1").arg(static_cast<int>(request.kind)));
    box->hide();
    switch (request.kind) {
      case PromptKind::RegisterNewUser:
        // No at first: the login stays, now in the setting's language.
        return ++m_registerQuestions == 1 ? Answer::No : Answer::Yes;
      case PromptKind::ConfirmExit:
        return Answer::No;
      default:
        return request.style == PromptStyle::Ok || request.style == PromptStyle::OkWarning
                   ? Answer::Ok
                   : Answer::No;
    }
  }

  void logIn(QWidget& login) {
    look(login, "login");
    QTest::keyClicks(control<QLineEdit>(login, "txtSubjectID"), kSubject);
    QTest::keyClicks(control<QComboBox>(login, "cboSetting"), "Demo");
    auto* start = control<QPushButton>(login, "cmdStart");
    QTest::mouseClick(start, Qt::LeftButton);
    look(login, "login in the setting's language");
    QTest::mouseClick(start, Qt::LeftButton);
  }

  void fillIn(QWidget& questionnaire) {
    look(questionnaire, "questionnaire");
    auto* ok = control<QPushButton>(questionnaire, "cmdOK");
    QTest::mouseClick(ok, Qt::LeftButton);  // no gender: a message
    QTest::mouseClick(control<QWidget>(questionnaire, "optGender_1"), Qt::LeftButton);
    QTest::keyClicks(control<QLineEdit>(questionnaire, "txtAge"), "24");
    QTest::mouseClick(ok, Qt::LeftButton);
  }

  // The skip-training dialog, with a wrong password.
  void tryTheModeratorsKeys(MainWindow& window) {
    auto* orderBox = control<QLineEdit>(window, "txtOrder");
    QTest::keyClick(orderBox, Qt::Key_E, Qt::NoModifier);
    auto* skip = control<QWidget>(window, "frmPassword");
    ASSERT_TRUE(skip->isVisible());
    look(*skip, "skip training");
    auto* password = control<QLineEdit>(*skip, "txtPassword");
    QTest::keyClicks(password, "wrong");
    QTest::keyClick(password, Qt::Key_Return);
    QTest::mouseClick(control<QPushButton>(*skip, "cmdCancel"), Qt::LeftButton);
  }

  // Every trial to its end, ordering the demand each week; the window is
  // looked at when a trial starts and when it ends.
  void play(Application& application) {
    MainWindow& window = application.mainWindow();
    GameSession& session = application.session();
    auto* orderBox = control<QLineEdit>(window, "txtOrder");
    auto* orderButton = control<QPushButton>(window, "cmdOrder");
    auto* timer = control<QTimer>(window, "tmrAnimation");
    for (int step = 0; step < 100000 && session.phase() != Phase::GameOver; ++step) {
      switch (session.phase()) {
        case Phase::WeekOpen: {
          if (session.state().chain.currentWeek == 1) look(window, "main window, trial start");
          const int16_t role = session.state().plan.current().participantRole;
          QTest::keyClicks(orderBox,
                           control<QLabel>(window, QString("lblDemand_%1").arg(role))->text());
          QTest::keyClick(orderBox, Qt::Key_Return);
          break;
        }
        case Phase::Animating:
          QMetaObject::invokeMethod(timer, "timeout");
          break;
        case Phase::TrialOver:
          look(window, "main window, trial end");
          QTest::mouseClick(orderButton, Qt::LeftButton);
          break;
        default:
          QCoreApplication::processEvents();
      }
    }
    ASSERT_EQ(session.phase(), Phase::GameOver);
  }

  void lookAtWaitNotices() {
    DatabaseWaitNotice notice(m_prompter);
    notice.wait(std::chrono::seconds(2));
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "frmWaiting" && w->isVisible()) look(*w, "waiting for the database");
    }
    notice.waitForServer(std::chrono::seconds(12));
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "frmWaiting" && w->isVisible()) look(*w, "waiting for the server");
    }
  }

  // The debriefing of the participant's trials, at the size of a projector.
  void lookAtDebriefing() {
    FixedRandom random;
    DatabaseAccess access(m_demo.played().stores(), m_prompter, random);
    std::vector<RecordedTrial> trials = recordedTrials(access, "Demo", kSubject);
    const std::vector<LeagueTable> tables = leagueTables(trials);
    std::vector<std::optional<ClassPlace>> places;
    for (const RecordedTrial& t : trials) places.push_back(classPlace(tables, t));
    DebriefWindow debriefing(kSubject, std::move(trials), std::move(places));
    debriefing.resize(1024, 768);
    debriefing.show();
    look(debriefing, "debriefing");
  }

  Look m_look;
  DemoFolder m_demo;
  QtPrompter m_prompter;
  int m_registerQuestions = 0;
};

// The texts of the debriefing's charts (drawn in a scene, not widgets).
QStringList chartTexts(QWidget& window) {
  QStringList texts;
  for (QChartView* view : window.findChildren<QChartView*>()) {
    if (!view->isVisibleTo(&window) || !view->chart()) continue;
    QChart* chart = view->chart();
    texts << chart->title();
    for (QAbstractAxis* axis : chart->axes()) texts << axis->titleText();
    if (chart->legend()->isVisible()) {
      for (QAbstractSeries* series : chart->series()) texts << series->name();
    }
  }
  texts.removeAll(QString());
  return texts;
}

// The window as the participant sees it: a dialog standing over the
// window it belongs to is drawn over that window.
QPixmap seen(QWidget& window) {
  QWidget* under = window.parentWidget() ? window.parentWidget()->window() : nullptr;
  if (!under || !under->isVisible()) return window.grab();
  QPixmap picture = under->grab();
  QPainter painter(&picture);
  painter.drawPixmap(window.frameGeometry().topLeft() - under->geometry().topLeft(), window.grab());
  return picture;
}

// Saves what is looked at as PNG files in QUARN_SCREENSHOT_DIR, when set.
void saveScreenshot(QWidget& window, const std::string& language, const QString& moment) {
  const char* folder = std::getenv("QUARN_SCREENSHOT_DIR");
  if (!folder) return;
  static int count = 0;
  QString name = moment;
  name.replace(QRegularExpression("[^A-Za-z0-9]+"), "-");
  seen(window).save(QString("%1/%2-%3-%4.png")
                        .arg(folder, QString::fromStdString(language))
                        .arg(++count, 3, 10, QChar('0'))
                        .arg(name));
}

class ParticipantTexts : public ::testing::TestWithParam<std::string> {};

// Every caption of every window and message of a session fits its place in
// the window's own size: measured with the metrics of the widget's font.
TEST_P(ParticipantTexts, EveryCaptionFitsItsPlace) {
  QStringList faults;
  ParticipantTour tour(GetParam());
  tour.onLook([&](QWidget& window, const QString& moment) {
    saveScreenshot(window, GetParam(), moment);
    for (const QString& fault : captionFaults(window)) {
      if (!faults.contains(fault)) faults << fault;
    }
  });
  tour.run();
  EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
}

// Every text a participant reads in a session is the language's: an entry of
// its translation file (filled in with the language's texts, numbers in its
// own format, and data), never an English source that bypassed it.
TEST_P(ParticipantTexts, EveryTextIsTheParticipantsLanguage) {
  if (GetParam() == "en") GTEST_SKIP() << "English is the texts as written";
  QStringList faults;
  std::unique_ptr<TranslationCheck> check;
  ParticipantTour tour(GetParam());
  tour.onLook([&](QWidget& window, const QString& moment) {
    // The application starts in English; the setting switches the language.
    if (!check && (moment == "splash" || moment == "login")) return;
    if (!check) {
      check = std::make_unique<TranslationCheck>(QString(QUARN_TRANSLATIONS_DIR "/quarngame_%1.ts")
                                                     .arg(QString::fromStdString(GetParam())),
                                                 tour.data());
    }
    for (const QString& text : shownTexts(window) + chartTexts(window)) {
      const QString fault = check->fault(text);
      const QString named = widgetPath(window, window) + ": " + fault;
      if (!fault.isEmpty() && !faults.contains(named)) faults << named;
    }
  });
  tour.run();
  EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
}

// English and every language the build has a translation file for.
INSTANTIATE_TEST_SUITE_P(Languages, ParticipantTexts, ::testing::ValuesIn(translatedLanguages()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace quarn::testing
