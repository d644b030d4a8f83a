#include "session/frmPause.h"

#include <gtest/gtest.h>

#include "tests/session/SessionFixture.h"

namespace quarn::testing {
namespace {

TEST(PauseTest, HoldsUntilEachPauseGetsItsOwnPasswordWithEnterAsContinue) {
  EnsureApplication();
  PauseState pauses;
  pauses.PauseList = {{2, "alpha"}, {4, "Beta"}};
  pauses.PauseCount = 2;

  frmPause first(pauses);
  ModalScript script;
  script.Then("frmPause", [&first](QWidget*) {
    first.close();  // neither the title bar nor Escape ends a pause
    QTest::keyClick(first.txtPassword, Qt::Key_Escape);
    EXPECT_TRUE(first.isVisible());

    // The later pause's password, and the right one in another case, are
    // refused: the text is selected, so the next attempt replaces it.
    for (const char* wrong : {"Beta", "Alpha"}) {
      QTest::keyClicks(first.txtPassword, wrong);
      QTest::mouseClick(first.cmdContinue, Qt::LeftButton);
      EXPECT_TRUE(first.isVisible());
      EXPECT_EQ(first.txtPassword->selectedText(), wrong);
    }
    QTest::keyClicks(first.txtPassword, "alpha");
    QTest::keyClick(first.txtPassword, Qt::Key_Return);
  });
  EXPECT_EQ(first.RunModal(), QDialog::Accepted);
  EXPECT_EQ(pauses.NextPause, 1);

  frmPause second(pauses);
  script.Then("frmPause", [&second](QWidget*) {
    QTest::keyClicks(second.txtPassword, "alpha");
    QTest::keyClick(second.txtPassword, Qt::Key_Enter);
    EXPECT_TRUE(second.isVisible());
    QTest::keyClicks(second.txtPassword, "Beta");
    QTest::keyClick(second.txtPassword, Qt::Key_Enter);
  });
  EXPECT_EQ(second.RunModal(), QDialog::Accepted);
  EXPECT_EQ(pauses.NextPause, 2);
}

}  // namespace
}  // namespace quarn::testing
