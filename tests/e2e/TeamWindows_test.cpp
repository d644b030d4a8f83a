#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/Application.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/e2e/WindowScript.h"
#include "ui/QtPrompter.h"

namespace quarn::testing {
namespace {

constexpr int kFactory = 0;
constexpr int kRetailer = 3;

QString textOf(const QObject& window, const QString& name) {
  const auto* label = control<QLabel>(window, name);
  return label == nullptr ? QString() : label->text();
}

// Runs `step` on every window named `name` once it is shown and its own
// event loop runs, for as long as this object lives.
class WhenShown : public QObject {
 public:
  WhenShown(QString name, std::function<void(QWidget&)> step)
      : m_name(std::move(name)), m_step(std::move(step)) {
    QApplication::instance()->installEventFilter(this);
  }
  ~WhenShown() override { QApplication::instance()->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType() &&
        watched->objectName() == m_name) {
      auto* window = static_cast<QWidget*>(watched);
      QTimer::singleShot(0, window, [step = m_step, window] { step(*window); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QString m_name;
  std::function<void(QWidget&)> m_step;
};

// The login window's answers: `subject` joins team Blue of `setting`.
void logIn(QWidget& login, const QString& subject, const QString& setting) {
  QTest::keyClicks(control<QLineEdit>(login, "txtSubjectID"), subject);
  QTest::keyClicks(control<QComboBox>(login, "cboSetting"), setting);
  auto* team = control<QLineEdit>(login, "txtTeam");
  EXPECT_TRUE(team->isEnabled());
  QTest::keyClicks(team, "Blue");
  QTest::mouseClick(control<QPushButton>(login, "cmdStart"), Qt::LeftButton);
}

void answerQuestionnaire(QWidget& questionnaire) {
  QTest::mouseClick(control<QWidget>(questionnaire, "optGender_1"), Qt::LeftButton);
  QTest::keyClicks(control<QLineEdit>(questionnaire, "txtAge"), "24");
  QTest::mouseClick(control<QPushButton>(questionnaire, "cmdOK"), Qt::LeftButton);
}

constexpr char kPausePassword[] = "go on";

// Types `password` into a pause window and presses Enter.
void typePassword(QWidget& pause, const QString& password) {
  auto* box = control<QLineEdit>(pause, "txtPassword");
  QTest::keyClicks(box, password);
  QTest::keyClick(box, Qt::Key_Return);
}

// A team setting of two on the lab server: the demo's first two trials,
// shortened to a few weeks, member 1 at the Retailer, member 2 at the
// Factory, the other stages simulated; a pause after the first trial; no
// training.
void addPairSetting(TestDatabase& db, const std::string& setting) {
  db.exec(
      "CREATE TEMP TABLE b AS SELECT * FROM tblBlock WHERE Setting = 'Demo' AND \"Index\" <= 2;"
      "UPDATE b SET Setting = '" +
      setting +
      "', numweeks = 3, \"Retailer\" = 'Subject1',"
      " \"Factory\" = 'Subject2', \"Distributor\" = 'Sterman', \"Wholesaler\" = 'Sterman';"
      "INSERT INTO tblBlock SELECT * FROM b; DROP TABLE b;");
  db.exec("INSERT INTO tblPause (Setting, Trial, Password) VALUES ('" + setting + "', 1, '" +
          kPausePassword + "')");
}

// The demo's skip-training password.
constexpr char kTrainingPassword[] = "skip";

// The pair setting with the demo's training, which the team plays together
// on the stages of its trials, six weeks a training trial.
void addPairTrainingSetting(TestDatabase& db, const std::string& setting) {
  addPairSetting(db, setting);
  copyDemoTraining(db, setting);
  trainTogether(db, setting, {"Retailer", "Factory"}, 6);
}

// One member's workstation: the application as the program builds it, with
// its own database connection, game and windows, logged in through the
// login window with key presses.
struct Member {
  Member(const DemoFolder& demo, const QString& subject, const QString& setting)
      : application(prompter, demo.app.string()) {
    prompter.answerer = [this](const MessageRequest& request) {
      return moderatorAnswer(asked, request);
    };
    application.splashTime = std::chrono::milliseconds(0);
    WhenShown login("frmLogin",
                    [subject, setting](QWidget& window) { logIn(window, subject, setting); });
    WhenShown questionnaire("frmNewUser", answerQuestionnaire);
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

  // The moderator's skip-training keys: `e` in the order box, then the
  // password in the dialog it opens, then Enter.
  void skipTraining(const QString& password) {
    QTest::keyClicks(control<QLineEdit>(window(), "txtOrder"), "e");
    auto* dialog = control<QDialog>(window(), "frmPassword");
    ASSERT_TRUE(dialog->isVisible());
    typePassword(*dialog, password);
  }

  // Whether a message box of this workstation asked `prompt`.
  bool wasAsked(const std::string& prompt) const {
    return std::any_of(asked.begin(), asked.end(),
                       [&](const MessageRequest& request) { return request.prompt == prompt; });
  }

  // Clicks the button that reads Next Trial once a trial is over.
  void pressNextTrial() {
    QTest::mouseClick(control<QPushButton>(window(), "cmdOrder"), Qt::LeftButton);
  }

  // Runs the shipment's animation to its end at once, as its timer would.
  void finishAnimation() {
    auto* timer = control<QTimer>(window(), "tmrAnimation");
    while (session().phase() == Phase::Animating) QMetaObject::invokeMethod(timer, "timeout");
  }

  QtPrompter prompter;
  std::vector<MessageRequest> asked;  // every box answered, in order
  Application application;
};

// Everything the display shows: each named control's place and whether it
// is shown, and each label's text (the figures, the counters, the trucks'
// loads).
std::map<QString, QString> shownDisplay(const MainWindow& window) {
  std::map<QString, QString> shown;
  const auto* display = control<QWidget>(window, "fraDisplay");
  for (const QWidget* widget : display->findChildren<QWidget*>()) {
    if (widget->objectName().isEmpty()) continue;
    const QRect at = widget->geometry();
    QString seen = QString("%1,%2 %3x%4 %5")
                       .arg(at.x())
                       .arg(at.y())
                       .arg(at.width())
                       .arg(at.height())
                       .arg(widget->isVisibleTo(display) ? "shown" : "hidden");
    if (const auto* label = qobject_cast<const QLabel*>(widget)) seen += " " + label->text();
    shown[widget->objectName()] = seen;
  }
  return shown;
}

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
    addPairSetting(demo.db, "Pair");
    demo.moveToServer();
    formTeam("Pair");
  }

  // Member 1 logs in to `setting`, then member 2; the team's first week
  // opens at both.
  void formTeam(const QString& setting) {
    retailer = std::make_unique<Member>(demo, "R1", setting);
    factory = std::make_unique<Member>(demo, "F1", setting);
    // The member who came first sees the team complete at its next look.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return retailer->session().phase() == Phase::WeekOpen; }, 10000));
    ASSERT_EQ(factory->session().phase(), Phase::WeekOpen);
  }

  // Member 1 orders first and waits for the team; member 2's order then
  // completes the week.
  void bothOrder(const QString& retailerOrder, const QString& factoryOrder) {
    retailer->order(retailerOrder);
    ASSERT_TRUE(waitingShown(retailer->window()));
    factory->order(factoryOrder);
  }

  // Lets the event loop run until both windows, their animations run to the
  // end, show what `shown` looks for.
  void untilBoth(const std::function<bool(Member&)>& shown) {
    const auto settled = [&](Member& m) {
      m.finishAnimation();
      return shown(m);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return settled(*retailer) && settled(*factory); }, 10000));
  }

  // Lets the event loop run until both windows show the week `week` open.
  void untilBothAt(const QString& week) {
    untilBoth([&](Member& m) {
      return m.session().phase() == Phase::WeekOpen && textOf(m.window(), "lblWeek") == week;
    });
  }

  // Both members order every week of the open trial until it is over.
  void playTrialToItsEnd() {
    const auto weekDone = [](Member& m) {
      return m.session().phase() == Phase::WeekOpen || m.session().phase() == Phase::TrialOver;
    };
    for (int week = 0; week < 10 && !HasFailure() && retailer->session().phase() == Phase::WeekOpen;
         ++week) {
      bothOrder("8", "9");
      untilBoth(weekDone);
    }
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
  // The factory's window looks at the team now, as its timer would, and the
  // game does not move on.
  QCoreApplication::processEvents();
  EXPECT_FALSE(factory->session().pollTeam(std::chrono::milliseconds(0)));
  QCoreApplication::processEvents();

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
  bothOrder("17", "23");

  untilBothAt(QString(firstWeek).replace(0, 2, "02"));
  EXPECT_FALSE(control<QLabel>(retailer->window(), "lblTeamWaiting")->isVisible());
  EXPECT_TRUE(control<QLineEdit>(retailer->window(), "txtOrder")->isEnabled());
  EXPECT_EQ(textOf(factory->window(), QString("lblOrder_%1").arg(kRetailer)), "17");
  EXPECT_EQ(textOf(retailer->window(), QString("lblOrder_%1").arg(kFactory)), "23");
}

// The pause after a trial holds the whole team: the password typed at one
// member's pause window passes it for both, the other member's pause window
// closes by itself, and both games go on with the next trial.
TEST_F(TeamWindows, PausePassedAtOneWindowClosesTheOtherMembersPauseWindow) {
  playTrialToItsEnd();
  ASSERT_EQ(retailer->session().phase(), Phase::TrialOver);
  ASSERT_EQ(factory->session().phase(), Phase::TrialOver);

  // Each pause window runs its own modal loop, the factory's inside the
  // retailer's: the steps run from those loops as the windows show.
  bool bothPaused = false;
  bool factoryHeldAfterPassword = false;
  WhenShown pauses("frmPause", [&](QWidget& pause) {
    if (pause.parentWidget() == &retailer->window()) {
      factory->pressNextTrial();
      if (pause.isVisible()) {
        ADD_FAILURE() << "the retailer's pause is still open";
        typePassword(pause, kPausePassword);
      }
      return;
    }
    auto* retailerPause = control<QDialog>(retailer->window(), "frmPause");
    bothPaused = retailerPause->isVisible() && pause.isVisible();
    typePassword(*retailerPause, kPausePassword);
    factoryHeldAfterPassword = factory->session().phase() == Phase::Paused;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pause.isVisible(); }, 5000));
    if (pause.isVisible()) typePassword(pause, kPausePassword);  // lets its loop end all the same
  });
  retailer->pressNextTrial();

  EXPECT_TRUE(bothPaused);
  EXPECT_TRUE(factoryHeldAfterPassword);
  untilBoth([](Member& m) {
    return m.session().phase() == Phase::WeekOpen && textOf(m.window(), "lblTrial") == "02 of 02" &&
           textOf(m.window(), "lblWeek") == "01 of 03";
  });
  EXPECT_TRUE(control<QLineEdit>(factory->window(), "txtOrder")->isEnabled());
  EXPECT_TRUE(control<QLineEdit>(retailer->window(), "txtOrder")->isEnabled());
}

// A member whose workstation starts again in the middle of a trial (here
// the window goes and a new one takes the participant over) sees what a
// window that never stopped shows: every figure, the counters, and the
// trucks where the weeks played have driven them, with their loads.
TEST_F(TeamWindows, MemberBackAfterARestartSeesWhatAWindowThatNeverStoppedShows) {
  bothOrder("17", "23");
  untilBothAt("02 of 03");
  bothOrder("5", "31");
  untilBothAt("03 of 03");
  const std::map<QString, QString> neverStopped = shownDisplay(factory->window());

  factory.reset();
  factory = std::make_unique<Member>(demo, "F1", "Pair");
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return factory->session().phase() == Phase::WeekOpen; }, 10000));
  EXPECT_TRUE(factory->wasAsked("Continue with user F1 on Trial 1?  Click No to change name"));
  const std::map<QString, QString> resumed = shownDisplay(factory->window());
  for (const auto& [name, shown] : neverStopped) {
    EXPECT_EQ(resumed.at(name).toStdString(), shown.toStdString()) << name.toStdString();
  }
}

// A member who left and whom the moderator replaced comes back: the window
// says that a simulated player plays the member's stage now and that the
// member waits for the moderator, and takes no order.
TEST_F(TeamWindows, ReplacedMemberWhoComesBackReadsThatTheProgramPlaysItsStage) {
  retailer->order("7");
  ASSERT_TRUE(waitingShown(retailer->window()));
  factory->session().endSession();
  factory.reset();
  const std::string replaceOut = demo.db.folder() + "/replace.out";
  const std::string replace = std::string(QUARN_ADMIN_TOOL) + " replace " + demo.dataDir() +
                              " Pair Blue 2 Sterman > " + replaceOut + " 2>&1";
  ASSERT_EQ(std::system(replace.c_str()), 0) << readFile(replaceOut);
  EXPECT_NE(readFile(replaceOut).find("from trial 1, week 1"), std::string::npos);

  factory = std::make_unique<Member>(demo, "F1", "Pair");
  MainWindow& window = factory->window();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        factory->finishAnimation();
        return control<QLabel>(window, "lblTeamWaiting")->isVisible();
      },
      10000));
  EXPECT_EQ(textOf(window, "lblTeamWaiting"),
            "A simulated player now plays your stage, the Factory, to the end of this trial.  "
            "Please wait for your moderator.");
  EXPECT_FALSE(control<QLineEdit>(window, "txtOrder")->isEnabled());
  EXPECT_FALSE(control<QPushButton>(window, "cmdOrder")->isEnabled());
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

// A team that forms by arrival: no member is there before the test's first.
class TeamFormingWindows : public TeamWindows {
 protected:
  void SetUp() override {
    ensureApplication();
    addPairSetting(demo.db, "Pair");
    demo.moveToServer();
  }
};

// Until the team is complete, the first member's window shows the trial's
// chain as it starts and who is here, its order box closed; the second
// member's login opens the first week at both.
TEST_F(TeamFormingWindows, WindowShowsTheChainAndWhoIsHereWhileTheTeamForms) {
  retailer = std::make_unique<Member>(demo, "R1", "Pair");
  MainWindow& window = retailer->window();
  ASSERT_TRUE(waitingShown(window));
  EXPECT_EQ(textOf(window, "lblTeamWaiting"), "Waiting for your team: 1 of 2 here (R1)");
  EXPECT_TRUE(control<QWidget>(window, "fraDisplay")->isVisible());
  EXPECT_EQ(textOf(window, "lblTrial"), "01 of 02");
  EXPECT_EQ(textOf(window, "lblWeek"), "01 of 03");
  const QString inventory = textOf(window, QString("lblInventory_%1").arg(kRetailer));
  EXPECT_FALSE(inventory.isEmpty());
  EXPECT_FALSE(control<QLineEdit>(window, "txtOrder")->isEnabled());
  EXPECT_FALSE(control<QPushButton>(window, "cmdOrder")->isEnabled());

  factory = std::make_unique<Member>(demo, "F1", "Pair");
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return retailer->session().phase() == Phase::WeekOpen; }, 10000));
  EXPECT_FALSE(control<QLabel>(window, "lblTeamWaiting")->isVisible());
  EXPECT_TRUE(control<QLineEdit>(window, "txtOrder")->isEnabled());
  // The chain shown while the team formed is the one the team plays.
  EXPECT_EQ(textOf(factory->window(), QString("lblInventory_%1").arg(kRetailer)), inventory);
}

// The same team in a setting whose training the team plays together.
class TeamTrainingWindows : public TeamWindows {
 protected:
  void SetUp() override {
    ensureApplication();
    addPairTrainingSetting(demo.db, "PairTrains");
    demo.moveToServer();
    formTeam("PairTrains");
  }
};

// The training password typed at one member's window ends training for the
// whole team: the other member, who typed nothing while its training week
// stood open, goes on to the experiment by itself.
TEST_F(TeamTrainingWindows, PasswordAtOneWindowEndsTrainingAtTheOtherWhoseWeekIsOpen) {
  for (Member* member : {retailer.get(), factory.get()}) {
    EXPECT_TRUE(member->wasAsked("First, we will have some training trials..."));
    EXPECT_TRUE(
        member->wasAsked("Keep your Inventory/Backorders below 30\nand your Cost below 150"));
    EXPECT_EQ(control<QGroupBox>(member->window(), "fraPlayer")->title().toStdString(), "Training");
    EXPECT_EQ(textOf(member->window(), "lblWeek"), "01 of 06");
    EXPECT_TRUE(control<QLineEdit>(member->window(), "txtOrder")->isEnabled());
  }

  factory->skipTraining(kTrainingPassword);

  untilBoth([](Member& m) {
    return m.session().phase() == Phase::WeekOpen && !m.session().inTraining() &&
           textOf(m.window(), "lblTrial") == "01 of 02" &&
           textOf(m.window(), "lblWeek") == "01 of 03";
  });
  EXPECT_TRUE(retailer->wasAsked("The experiment will now begin"));
  EXPECT_FALSE(control<QDialog>(factory->window(), "frmPassword")->isVisible());
  for (Member* member : {retailer.get(), factory.get()}) {
    EXPECT_EQ(control<QGroupBox>(member->window(), "fraPlayer")->title().toStdString(), "");
    EXPECT_TRUE(control<QLineEdit>(member->window(), "txtOrder")->isEnabled());
  }
}

}  // namespace
}  // namespace quarn::testing
