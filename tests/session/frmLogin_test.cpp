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

  frmLogin login{game};
};

TEST_F(LoginTest, LoadsSettingsTakesANonBlankIdAndRefusesWhatCannotBeUsed) {
  EXPECT_EQ(session.DatabasePath, appFolder.string() + "/data/quarn.mdb");
  ASSERT_EQ(login.cboSetting->count(), 2);
  EXPECT_EQ(login.cboSetting->itemText(1), "O'Brien");
  EXPECT_FALSE(login.cmdStart->isEnabled());
  QTest::keyClicks(login.txtSubjectID, "   ");
  EXPECT_FALSE(login.cmdStart->isEnabled());
  QTest::keyClicks(login.txtSubjectID, QString(25, 'x'));
  EXPECT_TRUE(login.cmdStart->isEnabled());
  EXPECT_EQ(login.txtSubjectID->text(), "   " + QString(18, 'x'));

  // A setting must match an item exactly; a User ID must be able to name a file.
  const std::vector<std::pair<QString, QString>> cases = {
      {"S1", "demo"},  {"S1", ""},     {"S1", "Demo "},  {"a/b", "Demo"},   {"a\\b", "Demo"},
      {"c:d", "Demo"}, {"x*", "Demo"}, {"why?", "Demo"}, {"<a|b>", "Demo"}, {"..", "Demo"}};
  for (const auto& [subject, setting] : cases) {
    toolkit.shown.clear();
    Choose(subject, setting);
    ClickStart();
    ASSERT_EQ(toolkit.shown.size(), 1u) << subject.toStdString();
    EXPECT_EQ(toolkit.Last().prompt == "Need to choose a valid setting", subject == "S1");
    EXPECT_TRUE(login.isVisible());
  }
  EXPECT_NE(SubjectIdFault("tab\there"), "");
  EXPECT_EQ(SubjectIdFault("Zoë O'Neil.b"), "");
  QTest::mouseClick(login.cmdQuit, Qt::LeftButton);  // Quit ends the application
  EXPECT_THROW(login.RethrowPending(), ApplicationEnd);
}

// A comma in either name would shift the fields of the text file's lines.
TEST_F(LoginTest, RefusesNamesThatBreakTheTextFileLines) {
  db.Insert("tblBlock", {{"Setting", "A,B"}, {"Index", 1}});
  login.LoadSettings();
  const std::vector<std::pair<QString, QString>> cases = {{"S1", "A,B"}, {"P,1", "Demo"}};
  for (const auto& [subject, setting] : cases) {
    toolkit.shown.clear();
    login.txtSubjectID->clear();
    QTest::keyClicks(login.txtSubjectID, subject);
    login.cboSetting->lineEdit()->clear();
    QTest::keyClicks(login.cboSetting->lineEdit(), setting);
    ClickStart();
    ASSERT_EQ(toolkit.shown.size(), 1u) << subject.toStdString();
    EXPECT_NE(toolkit.Last().prompt.find("comma"), std::string::npos) << toolkit.Last().prompt;
    EXPECT_TRUE(login.isVisible());
  }
  EXPECT_EQ(db.Count("datUser"), 0);
}

// Quotes in the User ID and the setting go into the queries safely.
TEST_F(LoginTest, KnownParticipantIsAskedToResumeAfterTheHighestTrial) {
  db.Insert("datUser", {{"Subject", "d'Arcy"}, {"Setting", "Demo"}});
  // In Demo training rows only: trial 1.
  for (auto [setting, trial] :
       {std::pair{"O'Brien", -1}, {"O'Brien", 3}, {"O'Brien", 4}, {"Demo", -2}}) {
    db.Insert("datRole", {{"Subject", "d'Arcy"},
                          {"Setting", setting},
                          {"Trial", trial},
                          {"Training", trial < 1},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }
  game.CostSum = 77;

  toolkit.answers = {MsgResult::No};
  Choose("  d'Arcy ", "Demo");
  ClickStart();
  EXPECT_EQ(toolkit.Last().prompt,
            "Continue with user d'Arcy on Trial 1?  Click No to change name");
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);
  EXPECT_EQ(login.txtSubjectID->selectedText(), "  d'Arcy ");

  login.cboSetting->setEditText("O'Brien");
  toolkit.answers = {MsgResult::Yes};
  ClickStart();
  EXPECT_EQ(toolkit.Last().prompt,
            "Continue with user d'Arcy on Trial 5?  Click No to change name");
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(game.identity.SubjectID + "/" + game.identity.SettingName, "d'Arcy/O'Brien");
  EXPECT_EQ(game.plan.CurrentTrial, 4);
  EXPECT_EQ(game.CostSum, 0);
}

// The questionnaire, reached through the login as a participant meets it:
// Cancel stores nothing and returns to the User ID.
TEST_F(LoginTest, RegistrationChecksGenderThenAgeAndStoresTheRow) {
  auto Register = [this](const char* subject, std::function<void(frmNewUser&)> fill) {
    toolkit.answers = {MsgResult::Yes};
    Choose(subject, "Demo");
    ModalScript script;
    script.Then("frmNewUser", [fill](QWidget* window) { fill(*static_cast<frmNewUser*>(window)); });
    ClickStart();
    EXPECT_TRUE(script.Done());
  };
  Register("New3", [](frmNewUser& form) {
    QTest::mouseClick(form.optGender[0], Qt::LeftButton);
    QTest::keyClicks(form.txtAge, "30");
    QTest::mouseClick(form.cmdCancel, Qt::LeftButton);
  });
  EXPECT_EQ(db.Count("datUser"), 0);
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);

  toolkit.shown.clear();
  game.plan.CurrentTrial = 3;
  Register("New1", [this](frmNewUser& form) {
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
  EXPECT_EQ(toolkit.shown[0].prompt, "User ID not found.  Register as a new user?");
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(game.plan.CurrentTrial, 0);
  EXPECT_EQ(db.Count("datUser") * 10 +
                db.Count("datUser",
                         "Subject='New1' AND Setting='Demo' AND Age=5 AND "
                         "Gender='Female' AND SchoolYear='Other' AND Major='Other'"),
            11);
}

}  // namespace
}  // namespace quarn::testing
