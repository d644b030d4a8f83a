#include "session/frmLogin.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QInputMethodEvent>
#include <ctime>

#include "db/PlayingMark.h"
#include "session/frmNewUser.h"
#include "tests/session/SessionFixture.h"
#include "tests/support/PlanRows.h"

namespace quarn::testing {
namespace {

class LoginTest : public SessionTest {
 protected:
  // Demo has two trials, O'Brien five.
  LoginTest() {
    db.insert("tblPlayer", {{"Name", "Bot"}, {"Demand", 1}});
    db.insert("tblBlock", planRow(false, {{"Index", 1}}));
    db.insert("tblBlock", planRow(false, {{"Index", 2}}));
    db.insert("tblBlock", planRow(false, {{"Setting", "O'Brien"}, {"Runs", 5}}));
    login.Form_Load();
    ShowAgain();
  }

  void ShowAgain() {
    login.show();
    QApplication::setActiveWindow(&login);
  }

  void Choose(const QString& subject, const QString& setting) {
    login.txtSubjectID->clear();
    TypeInto(login.txtSubjectID, subject);
    login.cboSetting->setEditText(setting);
  }

  // Key by key, letters beyond ASCII included (QTest::keyClicks takes ASCII).
  static void TypeInto(QWidget* box, const QString& text) {
    for (QChar c : text) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(box, c.toLatin1());
      } else {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }

  // The setting as a participant types it: the box emptied and typed anew.
  void TypeSetting(const QString& setting) {
    login.cboSetting->setFocus();
    QTest::keyClick(login.cboSetting, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(login.cboSetting, Qt::Key_Backspace);
    QTest::keyClicks(login.cboSetting, setting);
  }

  // The ways typing in the setting box ends before Start.
  enum class Finish { Enter, TabThenClick, Click };
  void FinishAndStart(Finish finish) {
    if (finish == Finish::Enter) {
      QTest::keyClick(login.cboSetting, Qt::Key_Return);
      return;
    }
    if (finish == Finish::TabThenClick) QTest::keyClick(login.cboSetting, Qt::Key_Tab);
    ClickStart();
  }

  void ClickStart() { QTest::mouseClick(login.cmdStart, Qt::LeftButton); }

  // The mark of a participant playing at another workstation, refreshed by
  // a week recorded `ago` seconds before now.
  int64_t MarkElsewhere(const std::string& subject, const std::string& host, int64_t process,
                        int64_t ago) {
    const int64_t now = std::time(nullptr), since = now - ago - 60;
    db.insert("datPlaying", {{"Subject", subject},
                             {"Setting", "Demo"},
                             {"Host", host},
                             {"Process", process},
                             {"Since", since},
                             {"LastWeek", now - ago}});
    return since;
  }

  // Whether the participant's mark is this workstation's.
  bool MarkedHere(const std::string& subject) const {
    const Workstation here = thisWorkstation();
    return db.count("datPlaying", "Subject='" + subject + "' AND Host='" + here.host +
                                      "' AND Process=" + std::to_string(here.process)) == 1;
  }

  int Asked(const std::string& prompt) const {
    int n = 0;
    for (const auto& box : toolkit.shown) n += box.prompt == prompt;
    return n;
  }

  frmLogin login{game};
};

TEST_F(LoginTest, LoadsSettingsTakesANonBlankIdAndRefusesWhatCannotBeUsed) {
  EXPECT_EQ(session.location(), appFolder.string() + "/data/quarn.mdb");
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
    EXPECT_EQ(toolkit.last().prompt == "Need to choose a valid setting", subject == "S1");
    EXPECT_TRUE(login.isVisible());
  }
  EXPECT_NE(SubjectIdFault("tab\there"), "");
  EXPECT_EQ(SubjectIdFault("Zoë O'Neil.b"), "");
  QTest::mouseClick(login.cmdQuit, Qt::LeftButton);  // Quit ends the application
  EXPECT_THROW(login.RethrowPending(), ApplicationEnd);
}

// A comma in either name would shift the fields of the text file's lines.
TEST_F(LoginTest, RefusesNamesThatBreakTheTextFileLines) {
  db.insert("tblBlock", {{"Setting", "A,B"}, {"Index", 1}});
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
    EXPECT_NE(toolkit.last().prompt.find("comma"), std::string::npos) << toolkit.last().prompt;
    EXPECT_TRUE(login.isVisible());
  }
  EXPECT_EQ(db.count("datUser"), 0);
}

// Quotes in the User ID and the setting go into the queries safely.
TEST_F(LoginTest, KnownParticipantIsAskedToResumeAfterTheHighestTrial) {
  db.insert("datUser", {{"Subject", "d'Arcy"}, {"Setting", "Demo"}});
  // In Demo training rows only: trial 1.
  for (auto [setting, trial] :
       {std::pair{"O'Brien", -1}, {"O'Brien", 3}, {"O'Brien", 4}, {"Demo", -2}}) {
    db.insert("datRole", {{"Subject", "d'Arcy"},
                          {"Setting", setting},
                          {"Trial", trial},
                          {"Training", trial < 1},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }
  game.CostSum = 77;

  toolkit.answers = {Answer::No};
  Choose("  d'Arcy ", "Demo");
  ClickStart();
  EXPECT_EQ(toolkit.last().prompt,
            "Continue with user d'Arcy on Trial 1?  Click No to change name");
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);
  EXPECT_EQ(login.txtSubjectID->selectedText(), "  d'Arcy ");

  login.cboSetting->setEditText("O'Brien");
  toolkit.answers = {Answer::Yes};
  ClickStart();
  EXPECT_EQ(toolkit.last().prompt,
            "Continue with user d'Arcy on Trial 5?  Click No to change name");
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(game.identity.SubjectID + "/" + game.identity.SettingName, "d'Arcy/O'Brien");
  EXPECT_EQ(game.plan.currentTrial, 4);
  EXPECT_EQ(game.CostSum, 0);
}

// The questionnaire, reached through the login as a participant meets it:
// Cancel stores nothing and returns to the User ID.
TEST_F(LoginTest, RegistrationChecksGenderThenAgeAndStoresTheRow) {
  auto Register = [this](const char* subject, std::function<void(frmNewUser&)> fill) {
    toolkit.answers = {Answer::Yes};
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
  EXPECT_EQ(db.count("datUser"), 0);
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);

  toolkit.shown.clear();
  game.plan.currentTrial = 3;
  Register("New1", [this](frmNewUser& form) {
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
    EXPECT_EQ(toolkit.last().prompt, "Please indicate gender");
    EXPECT_EQ(form.cboClass->currentText(), "Other");
    EXPECT_EQ(form.cboMajor->currentText(), "Other");

    QTest::mouseClick(form.optGender[1], Qt::LeftButton);
    QTest::keyClicks(form.txtAge, "4x-");
    EXPECT_EQ(form.txtAge->text(), "4");
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
    EXPECT_EQ(toolkit.last().prompt, "Please enter your age (I know you're older than 5)");
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
  EXPECT_EQ(game.plan.currentTrial, 0);
  EXPECT_EQ(db.count("datUser") * 10 +
                db.count("datUser",
                         "Subject='New1' AND Setting='Demo' AND Age=5 AND "
                         "Gender='Female' AND SchoolYear='Other' AND Major='Other'"),
            11);
}

// Qt's combo box would complete "demo" to the first item that matches apart
// from letter case once typing ends; the setting is taken exactly as typed.
TEST_F(LoginTest, TypedSettingIsTakenAsTypedBesideOneInOtherCase) {
  db.insert("tblBlock", planRow(false, {{"Setting", "demo"}}));
  db.insert("datUser", {{"Subject", "P"}, {"Setting", "demo"}});
  login.txtDatabase_LostFocus();
  for (Finish finish : {Finish::Enter, Finish::TabThenClick, Finish::Click}) {
    SCOPED_TRACE(static_cast<int>(finish));
    game.identity.SettingName.clear();
    toolkit.answers = {Answer::Yes};
    ShowAgain();
    login.txtSubjectID->clear();
    QTest::keyClicks(login.txtSubjectID, "P");
    TypeSetting("demo");
    FinishAndStart(finish);
    EXPECT_EQ(login.result(), QDialog::Accepted);
    EXPECT_EQ(game.identity.SettingName, "demo");
    EXPECT_EQ(toolkit.last().title, "Resume");
  }
}

TEST_F(LoginTest, RefusesTypedSettingInOtherCase) {
  for (Finish finish : {Finish::Enter, Finish::TabThenClick, Finish::Click}) {
    SCOPED_TRACE(static_cast<int>(finish));
    toolkit.shown.clear();
    ShowAgain();
    login.txtSubjectID->clear();
    QTest::keyClicks(login.txtSubjectID, "P");
    TypeSetting("demo");
    FinishAndStart(finish);
    ASSERT_EQ(toolkit.shown.size(), 1u);
    EXPECT_EQ(toolkit.last().prompt, "Need to choose a valid setting");
    EXPECT_EQ(login.cboSetting->currentText(), "demo");
    EXPECT_TRUE(login.isVisible());
  }
}

// The key filter lets no 22nd character in; a paste or an input method's
// text must not either (the User ID names the text file and fills the
// questionnaire's width).
TEST_F(LoginTest, UserIdKeepsItsLimitWhenPastedOrComposed) {
  const QString longId(300, 'p');
  QGuiApplication::clipboard()->setText(longId);
  login.txtSubjectID->setFocus();
  QTest::keyClick(login.txtSubjectID, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(login.txtSubjectID->text(), QString(21, 'p'));

  login.txtSubjectID->clear();
  QInputMethodEvent composed;
  composed.setCommitString(longId);
  QApplication::sendEvent(login.txtSubjectID, &composed);
  EXPECT_EQ(login.txtSubjectID->text(), QString(21, 'p'));
}

// A returning participant typed in another letter case is the one stored,
// not a new one; the session goes on under the stored spelling. Letters
// beyond ASCII fold too.
TEST_F(LoginTest, UserIdInOtherLetterCaseFindsTheStoredParticipant) {
  db.insert("datUser", {{"Subject", "Zoë"}, {"Setting", "Demo"}});
  db.insert("datUser", {{"Subject", "p1"}, {"Setting", "Demo"}});
  db.insert(
      "datRole",
      {{"Subject", "Zoë"}, {"Setting", "Demo"}, {"Trial", 1}, {"Week", 1}, {"Role", "Retailer"}});
  const struct {
    const char* typed;
    std::string stored;
    int trial;
  } cases[] = {{"ZOË", "Zoë", 2}, {"zoë", "Zoë", 2}, {"P1", "p1", 1}, {"p1", "p1", 1}};
  toolkit.whileOpen = [](const ScriptedPrompter::Shown& box) {
    if (box.title == "Login") throw std::logic_error("not found: " + box.prompt);
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.typed);
    toolkit.answers = {Answer::Yes};
    ShowAgain();
    Choose(k.typed, "Demo");
    ClickStart();
    EXPECT_EQ(toolkit.last().prompt, "Continue with user " + k.stored + " on Trial " +
                                         std::to_string(k.trial) + "?  Click No to change name");
    EXPECT_EQ(game.identity.SubjectID, k.stored);
    EXPECT_EQ(login.result(), QDialog::Accepted);
  }
  EXPECT_EQ(db.count("datUser"), 2);
}

// The plan of the chosen setting is checked at Start, before the participant
// is looked up or registered: a refused plan leaves nothing behind.
TEST_F(LoginTest, RefusedPlanWritesNothing) {
  db.insert("tblBlock", planRow(false, {{"Setting", "Broken"}, {"Delay", 7}}));
  login.txtDatabase_LostFocus();
  toolkit.answers = {Answer::Yes};
  ModalScript script;
  script.Then("frmNewUser", [](QWidget* window) {
    auto& form = *static_cast<frmNewUser*>(window);
    QTest::mouseClick(form.optGender[0], Qt::LeftButton);
    QTest::keyClicks(form.txtAge, "30");
    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
  });
  Choose("New", "Broken");
  ClickStart();
  EXPECT_THROW(login.RethrowPending(), ApplicationEnd);
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_NE(toolkit.last().prompt.find("Delay 7"), std::string::npos) << toolkit.last().prompt;
  EXPECT_EQ(db.count("datUser"), 0);
}

// Nothing is left to play: said at once, with the User ID as stored, and the
// login waits for another one. Nothing is written, no training shown.
TEST_F(LoginTest, ParticipantWhoPlayedEveryTrialIsToldAtLogin) {
  db.insert("datUser", {{"Subject", "P1"}, {"Setting", "Demo"}});
  db.insert(
      "datRole",
      {{"Subject", "P1"}, {"Setting", "Demo"}, {"Trial", 2}, {"Week", 3}, {"Role", "Factory"}});
  Choose("p1", "Demo");
  ClickStart();
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.last().prompt, "P1 has completed all 2 trials of setting Demo");
  EXPECT_TRUE(login.isVisible());
  EXPECT_NE(login.result(), QDialog::Accepted);
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);
  EXPECT_EQ(db.count("datUser"), 1);
}

// Another workstation plays the participant: the login says where and since
// when, and No leaves its mark and the login as they were.
TEST_F(LoginTest, IdPlayingAtAnotherWorkstationIsRefusedNamingIt) {
  db.insert("datUser", {{"Subject", "P1"}, {"Setting", "Demo"}});
  const int64_t since = MarkElsewhere("P1", "lab-7", 4711, 30);
  toolkit.answers = {Answer::No};
  Choose("p1", "Demo");
  ClickStart();
  ASSERT_EQ(toolkit.shown.size(), 1u);
  EXPECT_EQ(toolkit.last().prompt, "P1 is playing at workstation lab-7 (process 4711) since " +
                                       localTimeText(since) +
                                       ".\r\nTake P1 over on this workstation?  Answer Yes only "
                                       "if that session has ended.");
  EXPECT_EQ(toolkit.last().title, "Login");
  EXPECT_EQ(toolkit.last().style, PromptStyle::YesNoWarning);
  EXPECT_TRUE(login.isVisible());
  EXPECT_EQ(login.focusWidget(), login.txtSubjectID);
  EXPECT_EQ(db.count("datPlaying"), 1);
  EXPECT_EQ(db.count("datPlaying", "Host='lab-7' AND Process=4711"), 1);
}

TEST_F(LoginTest, ModeratorTakesTheIdOverKnowingly) {
  db.insert("datUser", {{"Subject", "P1"}, {"Setting", "Demo"}});
  MarkElsewhere("P1", "lab-7", 4711, 30);
  toolkit.answers = {Answer::Yes, Answer::Yes};
  Choose("P1", "Demo");
  ClickStart();
  EXPECT_EQ(toolkit.last().title, "Resume");
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(db.count("datPlaying"), 1);
  EXPECT_TRUE(MarkedHere("P1"));
}

// A mark without a week for a quarter of an hour, or left on this computer
// by a process that has ended, is taken without a question.
TEST_F(LoginTest, StaleOrEndedMarkDoesNotCount) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const struct {
    std::string subject, host;
    int64_t process, ago;
  } cases[] = {{"P1", "lab-7", 4711, kMarkStaleAfterSeconds + 1},
               {"P2", thisWorkstation().host, ended, 30}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.subject);
    db.insert("datUser", {{"Subject", k.subject}, {"Setting", "Demo"}});
    MarkElsewhere(k.subject, k.host, k.process, k.ago);
    toolkit.shown.clear();
    toolkit.answers = {Answer::Yes};
    ShowAgain();
    Choose(QString::fromStdString(k.subject), "Demo");
    ClickStart();
    ASSERT_EQ(toolkit.shown.size(), 1u);
    EXPECT_EQ(toolkit.last().title, "Resume");
    EXPECT_TRUE(MarkedHere(k.subject));
  }
}

// A file from before the marks gets their table at the first login.
TEST_F(LoginTest, OlderFileWithoutTheMarksGetsThem) {
  db.exec("DROP TABLE datPlaying;");
  db.insert("datUser", {{"Subject", "P1"}, {"Setting", "Demo"}});
  toolkit.answers = {Answer::Yes};
  Choose("P1", "Demo");
  ClickStart();
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_TRUE(MarkedHere("P1"));
}

}  // namespace
}  // namespace quarn::testing
