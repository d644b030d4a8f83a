#include "ui/PauseWindow.h"

#include <gtest/gtest.h>

#include "tests/ui/WindowFixture.h"

namespace quarn::testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A game paused after its first trial, password "two".
class PauseWindowTest : public WindowTest {
 protected:
  PauseWindowTest() {
    addTrials("Paused", 2, 1);
    db.insert("tblPause", {{"Setting", "Paused"}, {"Trial", 1}, {"Password", "two"}});
    addParticipant("P", "Paused");
    session.openDatabase("quarn.mdb");
    session.logIn({"P", "Paused", ""});
    session.startGame();
    session.submitOrder(4);
    session.animationFinished();
    session.nextTrial();
    pause.show();
  }

  PauseWindow pause{session};
  QLineEdit* passwordBox = control<QLineEdit>(pause, "txtPassword");
};

TEST_F(PauseWindowTest, WrongPasswordIsSelectedToBeTypedOver) {
  ASSERT_EQ(session.phase(), Phase::Paused);
  QTest::keyClicks(passwordBox, "Two");
  QTest::keyClick(passwordBox, Qt::Key_Return);
  EXPECT_TRUE(pause.isVisible());
  EXPECT_EQ(passwordBox->selectedText(), "Two");
  QTest::keyClicks(passwordBox, "two");
  QTest::keyClick(passwordBox, Qt::Key_Enter);
  EXPECT_FALSE(pause.isVisible());
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
}

TEST_F(PauseWindowTest, NeitherEscapeNorClosingEndsThePause) {
  pause.close();
  QTest::keyClick(passwordBox, Qt::Key_Escape);
  EXPECT_TRUE(pause.isVisible());
  QTest::keyClicks(passwordBox, "two");
  QTest::mouseClick(control<QPushButton>(pause, "cmdContinue"), Qt::LeftButton);
  EXPECT_FALSE(pause.isVisible());
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
}

}  // namespace
}  // namespace quarn::testing
