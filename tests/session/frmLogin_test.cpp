#include "session/frmLogin.h"

#include <gtest/gtest.h>

#include "session/frmNewUser.h"
#include "tests/session/SessionFixture.h"

namespace quarn::testing {
namespace {

class LoginTest : public SessionTest {
 protected:
  LoginTest() {
    db.Insert("tblBlock", {{"Setting", "Demo"}, {"Index", 1}});
    db.Insert("tblBlock", {{"Setting", "Demo"}, {"Index", 2}});
    db.Insert("tblBlock", {{"Setting", "O'Brien"}, {"Index", 1}});
    login.Form_Load();
    login.show();
    QApplication::setActiveWindow(&login);
  }

  void Choose(const QString& subject, const QString& setting) {
    login.txtSubjectID->clear();
    QTest::keyClicks(login.txtSubjectID, subject);
    login.cboSetting->setEditText(setting);
  }

  void ClickStart() { QTest::mouseClick(login.cmdStart, Qt::LeftButton); }

  void AddRole(const char* subject, const char* setting, int trial) {
    db.Insert("datRole", {{"Subject", subject},
                          {"Setting", setting},
                          {"Trial", trial},
                          {"Training", trial < 1},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }

  frmLogin login{game};
};

TEST_F(LoginTest, LoadsSettingsAndTakesANonBlankIdOfAtMost21Characters) {
  EXPECT_EQ(login.windowTitle(), "Quarngame Login");
  EXPECT_EQ(login.txtDatabase->text(), "quarn.mdb");
  EXPECT_EQ(session.DatabasePath, appFolder.string() + "/data/quarn.mdb");
  ASSERT_EQ(login.cboSetting->count(), 2);
  EXPECT_EQ(login.cboSetting->itemText(0), "Demo");
  EXPECT_EQ(login.cboSetting->itemText(1), "O'Brien");

  EXPECT_FALSE(login.cmdStart->isEnabled());
  QTest::keyClicks(login.txtSubjectID, "   ");
  EXPECT_FALSE(login.cmdStart->isEnabled());
  QTest::keyClicks(login.txtSubjectID, "a");
  EXPECT_TRUE(login.cmdStart->isEnabled());
  QTest::keyClick(login.txtSubjectID, Qt::Key_Backspace);
  EXPECT_FALSE(login.cmdStart->isEnabled());
  login.txtSubjectID->clear();
  QTest::keyClicks(login.txtSubjectID, QString(25, 'x'));
  EXPECT_EQ(login.txtSubjectID->text(), QString(21, 'x'));
}

TEST_F(LoginTest, RefusesSettingsThatMatchNoItemExactly) {
  for (const char* setting : {"demo", "", "Demo "}) {
    Choose("S1", setting);
    ClickStart();
    EXPECT_EQ(toolkit.Last().prompt, "Need to choose a valid setting");
    EXPECT_TRUE(login.isVisible());
    EXPECT_EQ(game.identity.SettingName, "");
  }
  EXPECT_EQ(toolkit.shown.size(), 3u);
}

TEST_F(LoginTest, RefusesUserIdsThatCannotNameAFile) {
  for (const char* subject :
       {"a/b", "a\\b", "c:d", "x*", "why?", "say\"hi\"", "<a>", "a|b", "..", "."}) {
    toolkit.shown.clear();
    Choose(subject, "Demo");
    ClickStart();
    ASSERT_EQ(toolkit.shown.size(), 1u) << subject;
    EXPECT_EQ(toolkit.Last().title, "Login");
    EXPECT_EQ(login.focusWidget(), login.txtSubjectID);
    EXPECT_TRUE(login.isVisible());
  }
  EXPECT_NE(SubjectIdFault("tab\there"), "");
  EXPECT_EQ(SubjectIdFault("a.b"), "");
  EXPECT_EQ(SubjectIdFault("Zoë O'Neil"), "");
}

// Quotes in the User ID and the setting go into the queries safely.
TEST_F(LoginTest, KnownParticipantIsAskedToResumeAfterTheHighestTrial) {
  db.Insert("datUser", {{"Subject", "d'Arcy"}, {"Setting", "Demo"}});
  AddRole("d'Arcy", "O'Brien", -1);
  AddRole("d'Arcy", "O'Brien", 3);
  AddRole("d'Arcy", "O'Brien", 4);
  AddRole("d'Arcy", "Demo", -2);  // training rows only: trial 1
  game.CostSum = 77;

  toolkit.answers = {MsgResult::No};
  Choose("  d'Arcy ", "Demo");
  ClickStart();
  EXPECT_EQ(toolkit.Last().prompt,
            "Continue with user d'Arcy on Trial 1?  Click No to change name");
  EXPECT_EQ(toolkit.Last().title, "Resume");
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);
  EXPECT_EQ(login.txtSubjectID->selectedText(), "  d'Arcy ");

  login.cboSetting->setEditText("O'Brien");
  toolkit.answers = {MsgResult::Yes};
  ClickStart();
  EXPECT_EQ(toolkit.Last().prompt,
            "Continue with user d'Arcy on Trial 5?  Click No to change name");
  EXPECT_FALSE(login.isVisible());
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(game.identity.SubjectID + "/" + game.identity.SettingName, "d'Arcy/O'Brien");
  EXPECT_EQ(game.plan.CurrentTrial, 4);
  EXPECT_EQ(game.CostSum, 0);
}

TEST_F(LoginTest, QuitAndTitleBarCloseEndTheApplication) {
  QTest::mouseClick(login.cmdQuit, Qt::LeftButton);
  EXPECT_THROW(login.RethrowPending(), ApplicationEnd);
  EXPECT_FALSE(login.isVisible());

  login.show();
  login.close();
  EXPECT_THROW(login.RethrowPending(), ApplicationEnd);

  login.show();
  QTest::keyClick(login.txtSubjectID, Qt::Key_Escape);
  EXPECT_THROW(login.RethrowPending(), ApplicationEnd);
}

// The questionnaire, reached through the login as a participant meets it.
class RegistrationTest : public LoginTest {
 protected:
  void Register(const char* subject, std::function<void(frmNewUser&)> fill) {
    toolkit.answers = {MsgResult::Yes};
    Choose(subject, "Demo");
    ModalScript script;
    script.Then("frmNewUser", [fill](QWidget* window) { fill(*static_cast<frmNewUser*>(window)); });
    ClickStart();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(toolkit.shown.front().prompt, "User ID not found.  Register as a new user?");
  }
};

TEST_F(RegistrationTest, ChecksGenderThenAgeAndStoresTheRow) {
  game.plan.CurrentTrial = 3;
  Register("New1", [this](frmNewUser& form) {
    EXPECT_EQ(form.lblSubject->text(), "New1");

    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
    EXPECT_EQ(toolkit.Last().prompt, "Please indicate gender");
    EXPECT_EQ(form.cboClass->currentText(), "Other");
    EXPECT_EQ(form.cboMajor->currentText(), "Other");

    QTest::mouseClick(form.optGender[1], Qt::LeftButton);
    QTest::keyClicks(form.txtAge, "4x-");
    EXPECT_EQ(form.txtAge->text(), "4");
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
    EXPECT_EQ(toolkit.Last().prompt, "Please enter your age (I know you're older than 5)");
    EXPECT_TRUE(form.isVisible());

    form.txtAge->clear();
    QTest::keyClicks(form.txtAge, "057");  // the third digit is swallowed
    EXPECT_EQ(form.txtAge->text(), "05");
    QTest::keyClick(form.txtAge, Qt::Key_Home);
    // Delete, with the character X11 gives it, edits as Backspace does.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));
    QApplication::sendEvent(form.txtAge, &del);
    EXPECT_EQ(form.txtAge->text(), "5");
    QTest::keyClick(form.txtAge, Qt::Key_Return);  // Enter is OK
  });
  EXPECT_EQ(toolkit.shown.size(), 3u);
  EXPECT_FALSE(login.isVisible());
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(game.plan.CurrentTrial, 0);

  EXPECT_EQ(db.Count("datUser"), 1);
  EXPECT_EQ(db.Count("datUser",
                     "Subject='New1' AND Setting='Demo' AND Age=5 AND "
                     "Gender='Female' AND SchoolYear='Other' AND Major='Other'"),
            1);
}

TEST_F(RegistrationTest, CancelStoresNothingAndReturnsToTheUserId) {
  Register("New3", [](frmNewUser& form) {
    QTest::mouseClick(form.optGender[0], Qt::LeftButton);
    QTest::keyClicks(form.txtAge, "30");
    QTest::mouseClick(form.cmdCancel, Qt::LeftButton);
  });
  EXPECT_EQ(db.Count("datUser"), 0);
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);

  // Answering No to the registration question also keeps the window open.
  toolkit.answers = {MsgResult::No};
  ClickStart();
  EXPECT_EQ(db.Count("datUser"), 0);
  EXPECT_TRUE(login.isVisible());
}

}  // namespace
}  // namespace quarn::testing
