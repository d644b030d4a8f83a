#include "session/frmPause.h"

#include <gtest/gtest.h>

#include "tests/session/SessionFixture.h"

namespace quarn::testing {
namespace {

class PauseTest : public ::testing::Test {
 protected:
  PauseTest() {
    EnsureApplication();
    pauses.PauseList = {{2, "alpha"}, {4, "Beta"}};
    pauses.PauseCount = 2;
  }
  PauseState pauses;
};

TEST_F(PauseTest, ShowsTheAlertAndCannotBeClosedWithoutThePassword) {
  frmPause window(pauses);
  window.show();
  EXPECT_EQ(window.lblAlert->text(),
            "Please alert your moderator that you are ready for some questions.  When finished, "
            "you will be informed of the password needed to continue.");
  EXPECT_EQ(window.cmdContinue->text(), "Continue");
  EXPECT_EQ(window.txtPassword->echoMode(), QLineEdit::Normal);
  EXPECT_TRUE(window.txtPassword->alignment() & Qt::AlignHCenter);

  window.close();
  QTest::keyClick(window.txtPassword, Qt::Key_Escape);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(pauses.NextPause, 0);
}

TEST_F(PauseTest, PasswordsEndThePausesInOrderWithEnterAsContinue) {
  {
    frmPause window(pauses);
    OnNextModal([&window](QWidget*) {
      // The second pause's password, and the right one in another case,
      // are refused: the text is selected for the next attempt.
      for (const char* wrong : {"Beta", "Alpha"}) {
        QTest::keyClicks(window.txtPassword, wrong);
        QTest::mouseClick(window.cmdContinue, Qt::LeftButton);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.txtPassword->selectedText(), wrong);
      }
      QTest::keyClicks(window.txtPassword, "alpha");  // replaces the selection
      QTest::keyClick(window.txtPassword, Qt::Key_Return);
    });
    EXPECT_EQ(window.RunModal(), QDialog::Accepted);
    EXPECT_EQ(pauses.NextPause, 1);
  }
  {
    frmPause window(pauses);
    OnNextModal([&window](QWidget*) {
      QTest::keyClicks(window.txtPassword, "alpha");
      QTest::keyClick(window.txtPassword, Qt::Key_Enter);
      EXPECT_TRUE(window.isVisible());
      QTest::keyClicks(window.txtPassword, "Beta");
      QTest::keyClick(window.txtPassword, Qt::Key_Enter);
    });
    EXPECT_EQ(window.RunModal(), QDialog::Accepted);
    EXPECT_EQ(pauses.NextPause, 2);
  }
}

}  // namespace
}  // namespace quarn::testing
