#include "app/Startup.h"

#include <gtest/gtest.h>

#include "db/PlayingMark.h"
#include "tests/session/SessionFixture.h"
#include "tests/support/PlanRows.h"

namespace quarn::testing {
namespace {

// A whole application on a test database: the real start-up, main window and
// session windows, with the message boxes answered by the scripted toolkit.
class StartupTest : public SessionTest {
 protected:
  StartupTest() {
    db.insert("tblPlayer",
              {{"Name", "Bot"}, {"Sterman", 1}, {"Alpha", 0.26}, {"Beta", 0.34}, {"Theta", 0.36}});
  }

  // The other roles are played by the Sterman heuristic.
  void AddTrials(const std::string& setting, int count, int weeks) {
    for (int i = 1; i <= count; ++i) {
      db.insert("tblBlock",
                planRow(false, {{"Setting", setting}, {"Index", i}, {"numweeks", weeks}}));
    }
  }
  void AddTraining(const std::string& setting, int runs, const std::string& password) {
    db.insert("tblTraining",
              planRow(true, {{"Setting", setting}, {"Runs", runs}, {"Password", password}}));
  }

  // The login step of a known participant: User ID and setting, then Start
  // (the resume question is answered Yes by the queue).
  void LoginAs(const char* subject, const char* setting) {
    script.Then("frmLogin", [subject, setting](QWidget* window) {
      auto& login = *static_cast<frmLogin*>(window);
      login.txtSubjectID->selectAll();
      QTest::keyClicks(login.txtSubjectID, subject);
      login.cboSetting->setEditText(setting);
      QTest::mouseClick(login.cmdStart, Qt::LeftButton);
    });
  }

  void Order(const char* digits) {
    QTest::keyClicks(startup.form.txtOrder, digits);
    QTest::mouseClick(startup.form.cmdOrder, Qt::LeftButton);
    for (int tick = 0; tick < 1000 && startup.form.tmrAnimation->isActive(); ++tick) {
      startup.form.tmrAnimation_Timer();
    }
    ASSERT_FALSE(startup.form.tmrAnimation->isActive());
  }

  // One tick of the animation timer, as its firing delivers it (a stopped
  // timer does not fire).
  void FireAnimationTimer() {
    if (startup.form.tmrAnimation->isActive()) {
      QMetaObject::invokeMethod(startup.form.tmrAnimation, "timeout");
    }
  }

  int Shown(const std::string& prompt) const {
    int n = 0;
    for (const auto& box : toolkit.shown) n += box.prompt == prompt;
    return n;
  }

  ModalScript script;
  Startup startup{game};
};

// A participant with no trial left in a setting with training is told so at
// login, before any training is shown; the login then takes another choice
// and the main window's caption names it.
TEST_F(StartupTest, ParticipantWithNoTrialLeftIsRefusedBeforeTraining) {
  AddTrials("Short", 2, 5);
  AddTraining("Short", 2, "pw");
  AddTrials("Demo", 1, 5);
  db.insert("datUser", {{"Subject", "Done"}, {"Setting", "Short"}});
  db.insert(
      "datRole",
      {{"Subject", "Done"}, {"Setting", "Short"}, {"Trial", 2}, {"Week", 5}, {"Role", "Retailer"}});
  toolkit.answers = {Answer::Ok, Answer::Yes};  // the refusal, the resume elsewhere
  script.Then("frmLogin", [](QWidget* window) {
    auto& login = *static_cast<frmLogin*>(window);
    for (const char* setting : {"Short", "Demo"}) {
      login.txtSubjectID->selectAll();
      QTest::keyClicks(login.txtSubjectID, "Done");
      login.cboSetting->setEditText(setting);
      QTest::mouseClick(login.cmdStart, Qt::LeftButton);
    }
  });
  startup.Form_Load();

  EXPECT_TRUE(script.Done());
  EXPECT_TRUE(startup.form.isVisible() && !startup.login.isVisible());
  EXPECT_EQ(Shown("Done has completed all 2 trials of setting Short"), 1);
  EXPECT_EQ(Shown("First, we will have some training trials..."), 0);
  EXPECT_EQ(startup.form.windowTitle(), "Korvi Lab: Quarn Game - Setting: Demo");
  EXPECT_EQ(game.plan.currentTrial + game.chain.currentWeek, 1);
  EXPECT_FALSE(game.training.active);
  toolkit.answers = {Answer::Yes};  // exit in week one: nothing recorded
  EXPECT_THROW(startup.form.close(), ApplicationEnd);
  EXPECT_EQ(db.count("datTrial"), 0);
}

// Then the exit question: No keeps everything, the typed order too; Yes
// after three orders records the trial with its three weeks' costs.
TEST_F(StartupTest, SkipPasswordRecordsTheTrainingTrialAndExitRecordsPlayedWeeks) {
  AddTrials("Train", 2, 4);
  AddTraining("Train", 3, "Skip");
  db.insert("datUser", {{"Subject", "T1"}, {"Setting", "Train"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("T1", "Train");
  startup.Form_Load();
  EXPECT_EQ(Shown("First, we will have some training trials..."), 1);
  ASSERT_TRUE(game.training.active);
  EXPECT_EQ(startup.form.fraPlayer->title(), "Training");

  Order("5");
  QTest::keyClick(startup.form.txtOrder, 'e');
  frmPassword& password = startup.password;
  ASSERT_TRUE(password.isVisible());
  QTest::keyClicks(password.txtPassword, "skip");
  EXPECT_EQ(password.txtPassword->displayText(), "****");
  QTest::mouseClick(password.cmdDone, Qt::LeftButton);
  EXPECT_EQ(toolkit.last().prompt, "Incorrect Password");
  EXPECT_TRUE(password.isVisible() && game.training.active);
  EXPECT_EQ(db.count("datTrial"), 0);
  password.txtPassword->clear();
  QTest::keyClicks(password.txtPassword, "Skip");
  QTest::keyClick(password.txtPassword, Qt::Key_Return);
  EXPECT_FALSE(password.isVisible() || game.training.active);
  EXPECT_EQ(Shown("The experiment will now begin"), 1);
  EXPECT_EQ(game.plan.currentTrial + game.chain.currentWeek, 1);
  EXPECT_EQ(startup.form.fraPlayer->title(), "");
  EXPECT_EQ(db.count("datTrial", "Trial=-1 AND Training<>0 AND Weeks=6"), 1);

  toolkit.answers = {Answer::No};
  QTest::keyClicks(startup.form.txtOrder, "12");
  EXPECT_FALSE(startup.form.close());
  EXPECT_EQ(toolkit.last().prompt, "Are you sure you want to exit?");
  EXPECT_EQ(startup.form.txtOrder->text(), "12");
  startup.form.txtOrder->clear();
  for (const char* order : {"6", "9", "0"}) Order(order);
  toolkit.answers = {Answer::Yes};
  EXPECT_THROW(startup.form.close(), ApplicationEnd);
  EXPECT_EQ(db.count("datTrial"), 2);
  const std::string retailer = "FROM datRole WHERE Role='Retailer' AND Trial=1";
  EXPECT_EQ(db.count("datTrial", "Trial=1 AND EndCost=(SELECT sum(WeeklyCost) " + retailer +
                                     ") AND (SELECT count(*) " + retailer + ")=3"),
            1);
}

// Closing the window while the last week's trucks move: the exit question
// holds the game, so the trial does not end underneath it, and Yes records
// the trial once, as far as it was played.
TEST_F(StartupTest, ClosingDuringTheLastWeeksAnimationRecordsTheTrialOnce) {
  AddTrials("Two", 2, 2);
  db.insert("datUser", {{"Subject", "C"}, {"Setting", "Two"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("C", "Two");
  startup.Form_Load();
  Order("4");
  QTest::keyClicks(startup.form.txtOrder, "4");
  QTest::mouseClick(startup.form.cmdOrder, Qt::LeftButton);
  ASSERT_TRUE(startup.form.tmrAnimation->isActive());

  toolkit.whileOpen = [this](const ScriptedPrompter::Shown& box) {
    if (box.prompt != "Are you sure you want to exit?") return;
    for (int tick = 0; tick < 50; ++tick) FireAnimationTimer();
  };
  toolkit.answers = {Answer::Yes};
  EXPECT_THROW(startup.form.close(), ApplicationEnd);
  EXPECT_EQ(toolkit.last().prompt, "Are you sure you want to exit?");
  EXPECT_EQ(db.count("datTrial"), 1);
  EXPECT_EQ(db.count("datTrial", "Trial=1"), 1);
}

// A trial without a participant plays itself week after week; under the
// exit question it stands still, and after No it plays on.
TEST_F(StartupTest, SelfPlayingTrialStandsStillUnderTheExitQuestion) {
  db.insert("tblBlock",
            planRow(false, {{"Setting", "Auto"}, {"Retailer", "Bot"}, {"numweeks", 5}}));
  db.insert("datUser", {{"Subject", "A"}, {"Setting", "Auto"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("A", "Auto");
  startup.Form_Load();
  ASSERT_TRUE(startup.form.tmrAnimation->isActive());
  const int week = game.chain.currentWeek, rows = db.count("datRole");

  int weekUnder = 0, rowsUnder = 0;
  toolkit.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.prompt != "Are you sure you want to exit?") return;
    for (int tick = 0; tick < 200; ++tick) FireAnimationTimer();
    weekUnder = game.chain.currentWeek;
    rowsUnder = db.count("datRole");
  };
  toolkit.answers = {Answer::No};
  EXPECT_FALSE(startup.form.close());
  toolkit.whileOpen = nullptr;
  EXPECT_EQ(weekUnder, week);
  EXPECT_EQ(rowsUnder, rows);

  for (int tick = 0; tick < 1000 && startup.form.cmdOrder->text() != "Next Trial"; ++tick) {
    FireAnimationTimer();
  }
  EXPECT_EQ(game.chain.currentWeek, 6);
  EXPECT_EQ(db.count("datRole"), 20);
}

// A returning participant typed in another letter case plays on under the
// User ID stored in datUser: the label, the rows and the text file.
TEST_F(StartupTest, SessionGoesOnUnderTheStoredSpelling) {
  AddTrials("Demo", 2, 3);
  db.insert("datUser", {{"Subject", "Kim"}, {"Setting", "Demo"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("KIM", "Demo");
  startup.Form_Load();
  EXPECT_EQ(startup.form.lblSubject->text(), "Kim");
  Order("4");
  EXPECT_EQ(db.count("datRole", "Subject='Kim'"), 4);
  EXPECT_EQ(db.count("datUser"), 1);
  EXPECT_TRUE(std::filesystem::exists(appFolder / "data" / "Kim.txt"));
  EXPECT_FALSE(std::filesystem::exists(appFolder / "data" / "KIM.txt"));
}

// The login marks the participant as playing here, every recorded week
// refreshes the mark, and a normal end clears it.
TEST_F(StartupTest, EveryWeekRefreshesTheMarkAndTheEndClearsIt) {
  AddTrials("Demo", 2, 3);
  db.insert("datUser", {{"Subject", "M"}, {"Setting", "Demo"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("M", "Demo");
  startup.Form_Load();
  const Workstation here = thisWorkstation();
  EXPECT_EQ(db.count("datPlaying", "Subject='M' AND Setting='Demo' AND Host='" + here.host +
                                       "' AND Process=" + std::to_string(here.process)),
            1);
  db.exec("UPDATE datPlaying SET LastWeek=0;");
  Order("4");
  EXPECT_EQ(db.count("datPlaying", "LastWeek >= strftime('%s', 'now') - 60"), 1);
  toolkit.answers = {Answer::Yes};
  EXPECT_THROW(startup.form.close(), ApplicationEnd);
  EXPECT_EQ(db.count("datPlaying"), 0);
}

// When another workstation took the participant over, this session ends at
// its next week, which is recorded nowhere.
TEST_F(StartupTest, SessionTakenOverElsewhereEndsAtItsNextWeek) {
  AddTrials("Demo", 2, 3);
  db.insert("datUser", {{"Subject", "M"}, {"Setting", "Demo"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("M", "Demo");
  startup.Form_Load();
  Order("4");
  db.exec("UPDATE datPlaying SET Host='lab-9', Process=77, Since=0;");
  QTest::keyClicks(startup.form.txtOrder, "4");
  int code = 0;
  try {
    QTest::keyClick(startup.form.txtOrder, Qt::Key_Return);
  } catch (const ApplicationEnd& end) {
    code = end.code();
  }
  EXPECT_EQ(code, 1);
  EXPECT_EQ(toolkit.last().prompt,
            "M has been taken over by workstation lab-9 (process 77) at " + localTimeText(0) +
                ".\r\nThis session ends here; trial 1, week 2 was not recorded.");
  EXPECT_EQ(db.count("datRole"), 4);
  EXPECT_EQ(db.count("datPlaying", "Host='lab-9'"), 1);
}

TEST_F(StartupTest, PausesAfterTrialsTwoAndFourWantTheirPasswordsInOrder) {
  AddTrials("Paused", 5, 1);
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 2}, {"Password", "two"}});
  db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 4}, {"Password", "Four"}});
  db.insert("tblPause", {{"Setting", "Other"}, {"Trial", 1}, {"Password", "x"}});
  db.insert("datUser", {{"Subject", "P"}, {"Setting", "Paused"}});
  toolkit.answers = {Answer::Yes};
  LoginAs("P", "Paused");
  startup.Form_Load();

  int pausesShown = 0;
  auto pause = [&pausesShown](std::vector<const char*> attempts, Qt::Key enter) {
    return [&pausesShown, attempts, enter](QWidget* window) {
      ++pausesShown;
      window->close();  // neither the title bar nor Escape ends a pause
      auto* box = window->findChild<QLineEdit*>("txtPassword");
      QTest::keyClick(box, Qt::Key_Escape);
      for (size_t i = 0; i < attempts.size(); ++i) {
        QTest::keyClicks(box, attempts[i]);  // a refused attempt is selected and replaced
        QTest::keyClick(box, enter);
        EXPECT_EQ(window->isVisible(), i + 1 < attempts.size()) << attempts[i];
      }
    };
  };
  script.Then("frmPause", pause({"Four", "Two", "two"}, Qt::Key_Return));
  script.Then("frmPause", pause({"two", "Four"}, Qt::Key_Enter));

  const int expectedPauses[] = {0, 1, 1, 2, 2};
  for (int trial = 0; trial < 5; ++trial) {
    ASSERT_EQ(game.plan.currentTrial, trial);
    Order("4");
    ASSERT_EQ(startup.form.cmdOrder->text(), "Next Trial");
    QTest::mouseClick(startup.form.cmdOrder, Qt::LeftButton);
    EXPECT_EQ(pausesShown, expectedPauses[trial]) << "after trial " << trial + 1;
  }
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(game.pauses.nextPause, 2);
  EXPECT_EQ(startup.form.cmdOrder->text(), "Game Over");
}

}  // namespace
}  // namespace quarn::testing
