#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/Application.h"
#include "tests/e2e/E2eSupport.h"
#include "ui/QtPrompter.h"

namespace quarn::testing {
namespace {

constexpr int kFactory = 0;
constexpr int kRetailer = 3;

void ensureApplication() {
  static int argc = 1;
  static char name[] = "e2e_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

template <class W>
W* control(const QObject& window, const QString& name) {
  W* found = window.findChild<W*>(name);
  EXPECT_NE(found, nullptr) << name.toStdString();
  return found;
}

QString textOf(const QObject& window, const QString& name) {
  const auto* label = control<QLabel>(window, name);
  return label == nullptr ? QString() : label->text();
}

// Answers the windows a new participant's login opens: the login itself
// (User ID, setting, team) and the questionnaire. Runs as the window shows.
class LoginAnswers : public QObject {
 public:
  LoginAnswers(QString subject, QString setting, QString team)
      : m_subject(std::move(subject)), m_setting(std::move(setting)), m_team(std::move(team)) {
    QApplication::instance()->installEventFilter(this);
  }
  ~LoginAnswers() override { QApplication::instance()->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) {
      return QObject::eventFilter(watched, event);
    }
    auto* window = static_cast<QWidget*>(watched);
    if (window->objectName() == "frmLogin") {
      QTimer::singleShot(0, window, [this, window] { logIn(*window); });
    } else if (window->objectName() == "frmNewUser") {
      QTimer::singleShot(0, window, [window] { answerQuestionnaire(*window); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void logIn(QWidget& login) const {
    QTest::keyClicks(control<QLineEdit>(login, "txtSubjectID"), m_subject);
    QTest::keyClicks(control<QComboBox>(login, "cboSetting"), m_setting);
    auto* team = control<QLineEdit>(login, "txtTeam");
    EXPECT_TRUE(team->isEnabled());
    QTest::keyClicks(team, m_team);
    QTest::mouseClick(control<QPushButton>(login, "cmdStart"), Qt::LeftButton);
  }
  static void answerQuestionnaire(QWidget& questionnaire) {
    QTest::mouseClick(control<QWidget>(questionnaire, "optGender_1"), Qt::LeftButton);
    QTest::keyClicks(control<QLineEdit>(questionnaire, "txtAge"), "24");
    QTest::mouseClick(control<QPushButton>(questionnaire, "cmdOK"), Qt::LeftButton);
  }

  QString m_subject;
  QString m_setting;
  QString m_team;
};

// A team setting of two on the lab server: the demo's first trial, shortened
// to a few weeks, member 1 at the Retailer, member 2 at the Factory, the
// other stages simulated; no training.
void addPairSetting(TestDatabase& db) {
  db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" = 1;"
      "UPDATE b SET Setting = 'Pair', numweeks = 4, \"Retailer\" = 'Subject1',"
      " \"Factory\" = 'Subject2', \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
      "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
}

// One member's workstation: the application as the program builds it, with
// its own database connection, game and windows, logged in through the
// login window with key presses.
struct Member {
  Member(const DemoFolder& demo, const QString& subject)
      : application(prompter, demo.app.string()) {
    prompter.answerer = [](const MessageRequest& request) {
      return request.kind == PromptKind::RegisterNewUser ? Answer::Yes : Answer::Ok;
    };
    application.splashTime = std::chrono::milliseconds(0);
    LoginAnswers answers(subject, "Pair", "Blue");
    application.start();
  }
  MainWindow& window() { return application.mainWindow(); }
  GameSession& session() { return application.session(); }

  // Types `order` into the order box and presses Enter.
  void order(const QString& order) {
    auto* box = control<QLineEdit>(window(), "txtOrder");
    QTest::keyClicks(box, order);
    QTest::keyClick(box, Qt::Key_Return);
  }

  // Runs the shipment's animation to its end at once, as its timer would.
  void finishAnimation() {
    auto* timer = control<QTimer>(window(), "tmrAnimation");
    while (session().phase() == Phase::Animating) QMetaObject::invokeMethod(timer, "timeout");
  }

  QtPrompter prompter;
  Application application;
};

// Lets the event loop run until `window` shows that it waits for the team
// (a few seconds at most).
bool waitingShown(MainWindow& window) {
  return QTest::qWaitFor([&] { return control<QLabel>(window, "lblTeamWaiting")->isVisible(); },
                         5000);
}

class TeamWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplication();
    addPairSetting(demo.db);
    demo.moveToServer();
    retailer = std::make_unique<Member>(demo, "R1");
    factory = std::make_unique<Member>(demo, "F1");
    // The member who came first sees the team complete at its next look.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return retailer->session().phase() == Phase::WeekOpen; }, 10000));
    ASSERT_EQ(factory->session().phase(), Phase::WeekOpen);
  }

  // Lets the event loop run until both windows show the week `week` open.
  void untilBothAt(const QString& week) {
    const auto atWeek = [&](Member& m) {
      m.finishAnimation();
      return m.session().phase() == Phase::WeekOpen && textOf(m.window(), "lblWeek") == week;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return atWeek(*retailer) && atWeek(*factory); }, 10000));
  }

  DemoFolder demo;
  std::unique_ptr<Member> retailer;
  std::unique_ptr<Member> factory;
};

// The member who has ordered waits for the stage still to order, named in
// the window; the order box stays closed meanwhile.
TEST_F(TeamWindows, MemberWhoOrderedWaitsForTheOtherStage) {
  retailer->order("7");

  MainWindow& window = retailer->window();
  ASSERT_TRUE(waitingShown(window));
  EXPECT_EQ(textOf(window, "lblTeamWaiting"), "Waiting for the Factory...");
  EXPECT_FALSE(control<QLineEdit>(window, "txtOrder")->isEnabled());
  EXPECT_FALSE(control<QPushButton>(window, "cmdOrder")->isEnabled());
  EXPECT_EQ(retailer->session().phase(), Phase::WaitingForTeam);

  if (const char* folder = std::getenv("QUARN_SCREENSHOT_DIR")) {
    window.grab().save(QString(folder) + "/team-waiting.png");
  }
}

// The other member's week stays open, and its window does not show the
// order the first member typed before the week is played.
TEST_F(TeamWindows, OtherMemberSeesTheWeekOpenWithoutTheFirstOrder) {
  MainWindow& window = factory->window();
  const QString retailerOrderBefore = textOf(window, QString("lblOrder_%1").arg(kRetailer));
  retailer->order("17");
  ASSERT_TRUE(waitingShown(retailer->window()));
  QTest::qWait(100);  // the factory's window has its looks at the team meanwhile

  EXPECT_EQ(factory->session().phase(), Phase::WeekOpen);
  EXPECT_TRUE(control<QLineEdit>(window, "txtOrder")->isEnabled());
  EXPECT_FALSE(control<QLabel>(window, "lblTeamWaiting")->isVisible());
  EXPECT_EQ(textOf(window, "lblWeek"), textOf(retailer->window(), "lblWeek"));
  EXPECT_EQ(textOf(window, QString("lblOrder_%1").arg(kRetailer)), retailerOrderBefore);
}

// Once the last member orders, both windows go on to the next week and each
// shows the other's order in that stage's Recent Order.
TEST_F(TeamWindows, BothWindowsGoOnOnceEveryMemberOrdered) {
  const QString firstWeek = textOf(retailer->window(), "lblWeek");
  retailer->order("17");
  ASSERT_TRUE(waitingShown(retailer->window()));
  factory->order("23");

  untilBothAt(QString(firstWeek).replace(0, 2, "02"));
  EXPECT_FALSE(control<QLabel>(retailer->window(), "lblTeamWaiting")->isVisible());
  EXPECT_TRUE(control<QLineEdit>(retailer->window(), "txtOrder")->isEnabled());
  EXPECT_EQ(textOf(factory->window(), QString("lblOrder_%1").arg(kRetailer)), "17");
  EXPECT_EQ(textOf(retailer->window(), QString("lblOrder_%1").arg(kFactory)), "23");
}

// While a second team forms (one pilot of two members here), the watch
// lists both teams: the forming one with who is here, the playing one with
// whom its open week waits for.
TEST_F(TeamWindows, WatchListsTheFormingAndThePlayingTeam) {
  retailer->order("17");
  ASSERT_TRUE(waitingShown(retailer->window()));
  const std::string pilotOut = demo.db.folder() + "/pilot.out";
  const pid_t pilot =
      startPilotOf(demo, "Pair", "G1", pilotOut, {"--team", "Green", "--skip-training"});
  const std::string watchOut = demo.db.folder() + "/watch.out";
  const std::string watch = std::string("COLUMNS=120 ") + QUARN_ADMIN_TOOL + " watch " +
                            demo.dataDir() + " Pair --once > " + watchOut + " 2>&1";
  std::string shown;
  for (int look = 0; look < 100 && shown.find("1 of 2 here (G1)") == std::string::npos; ++look) {
    QTest::qWait(50);
    EXPECT_EQ(std::system(watch.c_str()), 0);
    shown = readFile(watchOut);
  }
  ::kill(pilot, SIGKILL);
  waitFor(pilot);

  EXPECT_NE(shown.find("Waiting for your team: 1 of 2 here (G1)"), std::string::npos) << shown;
  EXPECT_NE(shown.find("waiting for F1"), std::string::npos) << shown << readFile(pilotOut);
  if (const char* folder = std::getenv("QUARN_SCREENSHOT_DIR")) {
    std::ofstream(std::string(folder) + "/team-watch.txt") << shown;
  }
}

}  // namespace
}  // namespace quarn::testing
