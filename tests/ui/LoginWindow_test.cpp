#include "ui/LoginWindow.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>

#include "tests/ui/WindowFixture.h"

namespace quarn::testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class LoginWindowTest : public WindowTest {
 protected:
  LoginWindowTest() {
    addTrials("Demo", 2, 3);
    login.load();
    login.show();
    QApplication::setActiveWindow(&login);
  }

  void typeSubject(const QString& subject) {
    subjectBox->setFocus();
    subjectBox->selectAll();
    QTest::keyClicks(subjectBox, subject);
  }
  // The setting as a participant types it: the box emptied and typed anew.
  void typeSetting(const QString& setting) {
    settingBox->setFocus();
    QTest::keyClick(settingBox, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(settingBox, Qt::Key_Backspace);
    QTest::keyClicks(settingBox, setting);
  }

  // The ways typing in the setting box ends before Start.
  enum class Finish { Enter, TabThenClick, Click };
  void finishAndStart(Finish finish) {
    if (finish == Finish::Enter) {
      QTest::keyClick(settingBox, Qt::Key_Return);
      return;
    }
    if (finish == Finish::TabThenClick) QTest::keyClick(settingBox, Qt::Key_Tab);
    QTest::mouseClick(startButton, Qt::LeftButton);
  }

  LoginWindow login{session};
  QLineEdit* subjectBox = control<QLineEdit>(login, "txtSubjectID");
  QComboBox* settingBox = control<QComboBox>(login, "cboSetting");
  QPushButton* startButton = control<QPushButton>(login, "cmdStart");
};

TEST_F(LoginWindowTest, ListsTheSettingsOfTheDefaultDatabase) {
  ASSERT_EQ(settingBox->count(), 1);
  EXPECT_EQ(settingBox->itemText(0), "Demo");
  EXPECT_EQ(control<QLineEdit>(login, "txtDatabase")->text(), "quarn.mdb");
}

TEST_F(LoginWindowTest, StartWaitsForAUserIdOfNonBlanks) {
  EXPECT_FALSE(startButton->isEnabled());
  QTest::keyClicks(subjectBox, "   ");
  EXPECT_FALSE(startButton->isEnabled());
  QTest::keyClicks(subjectBox, QString(25, 'x'));
  EXPECT_TRUE(startButton->isEnabled());
  EXPECT_EQ(subjectBox->text(), "   " + QString(18, 'x'));
}

// A paste or an input method's text must not pass the User ID's limit either.
TEST_F(LoginWindowTest, UserIdKeepsItsLimitWhenPastedOrComposed) {
  const QString longId(300, 'p');
  QGuiApplication::clipboard()->setText(longId);
  subjectBox->setFocus();
  QTest::keyClick(subjectBox, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(subjectBox->text(), QString(21, 'p'));
  subjectBox->clear();
  QInputMethodEvent composed;
  composed.setCommitString(longId);
  QApplication::sendEvent(subjectBox, &composed);
  EXPECT_EQ(subjectBox->text(), QString(21, 'p'));
}

// Ctrl+A and the other editing keys are no typing: a full box takes them.
TEST_F(LoginWindowTest, CtrlASelectsInAFullUserIdBox) {
  QTest::keyClicks(subjectBox, QString(21, 'x'));
  QTest::keyClick(subjectBox, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(subjectBox->selectedText(), QString(21, 'x'));
  QTest::keyClicks(subjectBox, "P7");
  EXPECT_EQ(subjectBox->text(), "P7");
}

// The moderator sees which database the workstation uses before the start.
TEST_F(LoginWindowTest, ShowsTheDatabaseInUseUnderTheSetupFileBox) {
  EXPECT_EQ(control<QLabel>(login, "lblDatabaseInUse")->text().toStdString(),
            "In use: " + appFolder.string() + "/data/quarn.mdb");
}

// A typo in the Setup File box is said, and the box is offered for
// correction with the database in use kept; the corrected name is taken.
TEST_F(LoginWindowTest, SetupFileThatDoesNotExistGoesBackToItsBox) {
  auto* databaseBox = control<QLineEdit>(login, "txtDatabase");
  auto* inUse = control<QLabel>(login, "lblDatabaseInUse");
  const QString shownBefore = inUse->text();
  databaseBox->setFocus();
  QTest::keyClick(databaseBox, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(databaseBox, "nope.mdb");
  QTest::keyClick(databaseBox, Qt::Key_Tab);
  EXPECT_EQ(prompter.count(PromptKind::SetupFileMissing), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return login.focusWidget() == databaseBox; }, 1000));
  EXPECT_EQ(databaseBox->selectedText(), "nope.mdb");
  EXPECT_EQ(inUse->text(), shownBefore);
  EXPECT_EQ(settingBox->count(), 1);

  QTest::keyClicks(databaseBox, "quarn.mdb");
  QTest::keyClick(databaseBox, Qt::Key_Tab);
  QApplication::processEvents();
  EXPECT_EQ(prompter.count(PromptKind::SetupFileMissing), 1);
  EXPECT_NE(login.focusWidget(), databaseBox);
  EXPECT_EQ(inUse->text(), shownBefore);
}

// Qt's combo box would complete "demo" to "Demo" once typing ends.
TEST_F(LoginWindowTest, RefusesTypedSettingInOtherCase) {
  for (Finish finish : {Finish::Enter, Finish::TabThenClick, Finish::Click}) {
    SCOPED_TRACE(static_cast<int>(finish));
    prompter.shown.clear();
    typeSubject("P");
    typeSetting("demo");
    finishAndStart(finish);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown.back().prompt, "Need to choose a valid setting");
    EXPECT_EQ(settingBox->currentText(), "demo");
    EXPECT_TRUE(login.isVisible());
  }
}

TEST_F(LoginWindowTest, TypedSettingIsTakenAsTypedBesideOneInOtherCase) {
  db.insert("tblBlock", planRow(false, {{"Setting", "demo"}}));
  addParticipant("P", "demo");
  for (Finish finish : {Finish::Enter, Finish::TabThenClick, Finish::Click}) {
    SCOPED_TRACE(static_cast<int>(finish));
    GameSession fresh{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                   appFolder.string()}};
    LoginWindow window{fresh};
    window.load();
    window.show();
    QApplication::setActiveWindow(&window);
    QTest::keyClicks(control<QLineEdit>(window, "txtSubjectID"), "P");
    settingBox = control<QComboBox>(window, "cboSetting");
    startButton = control<QPushButton>(window, "cmdStart");
    typeSetting("demo");
    finishAndStart(finish);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(fresh.state().identity.setting, "demo");
    EXPECT_EQ(prompter.shown.back().kind, PromptKind::Resume);
    fresh.endSession();
  }
}

TEST_F(LoginWindowTest, RefusedUserIdIsSelectedForCorrection) {
  addParticipant("d'Arcy", "Demo");
  prompter.byKind[PromptKind::Resume] = Answer::No;
  typeSubject("  d'Arcy ");
  typeSetting("Demo");
  QTest::mouseClick(startButton, Qt::LeftButton);
  EXPECT_EQ(prompter.shown.back().kind, PromptKind::Resume);
  EXPECT_TRUE(login.isVisible());
  EXPECT_NE(login.result(), QDialog::Accepted);
  EXPECT_EQ(login.focusWidget(), subjectBox);
  EXPECT_EQ(subjectBox->selectedText(), "  d'Arcy ");
}

TEST_F(LoginWindowTest, QuitEndsTheApplication) {
  QTest::mouseClick(control<QPushButton>(login, "cmdQuit"), Qt::LeftButton);
  EXPECT_THROW(login.rethrowPending(), ApplicationEnd);
}

}  // namespace
}  // namespace quarn::testing
