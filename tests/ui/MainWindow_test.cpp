#include "ui/MainWindow.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>

#include "base/Numbers.h"
#include "tests/ui/WindowFixture.h"

namespace quarn::testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class MainWindowTest : public WindowTest {
 protected:
  MainWindowTest() {
    session.setView(&window);
    window.show();
  }

  void startAs(const std::string& subject, const std::string& setting) {
    addParticipant(subject, setting);
    session.openDatabase("quarn.mdb");
    ASSERT_EQ(session.logIn({subject, setting, ""}), LoginResult::LoggedIn);
    ASSERT_TRUE(session.startGame());
  }

  // Fires the animation timer as its expiry would, until the week's
  // animation is over (or `limit` ticks).
  void finishAnimation(int limit = 1000) {
    for (int tick = 0; tick < limit && timer->isActive(); ++tick) {
      QMetaObject::invokeMethod(timer, "timeout");
    }
  }
  void order(const char* digits) {
    QTest::keyClicks(orderBox, digits);
    QTest::keyClick(orderBox, Qt::Key_Return);
    finishAnimation();
  }
  QString text(const char* label) const { return control<QLabel>(window, label)->text(); }

  MainWindow window{session, prompter};
  QLineEdit* orderBox = control<QLineEdit>(window, "txtOrder");
  QPushButton* orderButton = control<QPushButton>(window, "cmdOrder");
  QTimer* timer = control<QTimer>(window, "tmrAnimation");
};

TEST_F(MainWindowTest, OrderBoxTakesOnlyDigitsAndEnablesTheButtonWhileItHoldsSome) {
  addTrials("Demo", 1, 5);
  startAs("P", "Demo");
  EXPECT_FALSE(orderButton->isEnabled());
  QTest::keyClicks(orderBox, "0");
  EXPECT_TRUE(orderButton->isEnabled());
  QTest::keyClicks(orderBox, "7a-.+ xE,012345");  // a lone 0 replaced, letters swallowed, 4 digits
  EXPECT_EQ(orderBox->text(), "7012");
  QTest::keyClick(orderBox, Qt::Key_Home);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));  // as X11
  QApplication::sendEvent(orderBox, &del);
  EXPECT_EQ(orderBox->text(), "012");
  QTest::keyClick(orderBox, Qt::Key_End);
  for (int i = 0; i < 3; ++i) QTest::keyClick(orderBox, Qt::Key_Backspace);
  EXPECT_FALSE(orderButton->isEnabled());
}

// The refused order stays in the open box, selected, so the next digits
// typed replace it; nothing is recorded until an order within the limit.
TEST_F(MainWindowTest, OrderAboveTheTrialsLimitIsRefusedAndTheBoxStaysOpen) {
  addTrials("Demo", 1, 52, {{"CostBackOrder", 1000.0}});
  startAs("P", "Demo");
  const int largest = session.state().plan.current().largestOrder;
  ASSERT_LT(largest, 9999);
  QTest::keyClicks(orderBox, "9999");
  QTest::keyClick(orderBox, Qt::Key_Return);
  ASSERT_EQ(prompter.count(PromptKind::OrderAboveLimit), 1);
  EXPECT_EQ(prompter.shown.back().prompt,
            "Orders in this trial are at most " + std::to_string(largest));
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_TRUE(orderBox->isEnabled());
  EXPECT_EQ(window.focusWidget(), orderBox);
  EXPECT_EQ(orderBox->selectedText(), "9999");
  EXPECT_EQ(db.count("datRole"), 0);
  QTest::keyClicks(orderBox, "12");
  QTest::mouseClick(orderButton, Qt::LeftButton);
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(db.count("datRole", "Role='Retailer' AND \"Order\"=12"), 1);
}

TEST_F(MainWindowTest, EnterOnAnEmptyBoxOrdersNothing) {
  addTrials("Demo", 1, 5);
  startAs("P", "Demo");
  QTest::keyClick(orderBox, Qt::Key_Return);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(db.count("datRole"), 0);
}

TEST_F(MainWindowTest, OrderStartsTheAnimationWithTheBoxClosed) {
  addTrials("Demo", 1, 5);
  startAs("P", "Demo");
  QTest::keyClicks(orderBox, "0");
  QTest::mouseClick(orderButton, Qt::LeftButton);
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(session.state().chain.participantOrder, 0);
  EXPECT_TRUE(timer->isActive());
  EXPECT_FALSE(orderBox->isEnabled() || orderButton->isEnabled());
}

TEST_F(MainWindowTest, AnimationEndShowsTheFiguresAndOpensTheNextWeek) {
  addTrials("Demo", 2, 5);
  startAs("P", "Demo");
  EXPECT_EQ(text("lblTrial"), "01 of 02");
  EXPECT_EQ(text("lblWeek"), "01 of 05");
  order("9");
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(text("lblWeek"), "02 of 05");
  const Chain& chain = session.state().chain;
  for (int r = 0; r < kRoleCount; ++r) {
    SCOPED_TRACE(r);
    const RoleState& role = chain.roles[static_cast<size_t>(r)];
    const std::string suffix = "_" + std::to_string(r);
    EXPECT_EQ(text(("lblSpent" + suffix).c_str()).toStdString(), decimal(role.totalCost));
    EXPECT_EQ(text(("lblDemand" + suffix).c_str()).toStdString(), decimal(role.demand));
    EXPECT_EQ(text(("lblOrder" + suffix).c_str()).toStdString(), decimal(role.orderSlots.back()));
  }
  EXPECT_TRUE(orderBox->isEnabled());
  EXPECT_EQ(window.focusWidget(), orderBox);
}

// A question runs its own event loop, in which the timer keeps firing.
TEST_F(MainWindowTest, SelfPlayingTrialStandsStillUnderTheExitQuestion) {
  addTrials("Auto", 1, 5, {{"Retailer", "Bot"}});
  startAs("A", "Auto");
  ASSERT_TRUE(timer->isActive());
  const int week = session.state().chain.currentWeek, rows = db.count("datRole");
  int weekUnder = 0, rowsUnder = 0;
  prompter.whileOpen = [&](const MessageRequest& box) {
    if (box.kind != PromptKind::ConfirmExit) return;
    for (int tick = 0; tick < 200; ++tick) QMetaObject::invokeMethod(timer, "timeout");
    weekUnder = session.state().chain.currentWeek;
    rowsUnder = db.count("datRole");
  };
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  EXPECT_FALSE(window.close());
  prompter.whileOpen = nullptr;
  EXPECT_EQ(weekUnder, week);
  EXPECT_EQ(rowsUnder, rows);
}

TEST_F(MainWindowTest, ExitAnsweredNoKeepsTheTypedOrder) {
  addTrials("Demo", 1, 5);
  startAs("P", "Demo");
  QTest::keyClicks(orderBox, "12");
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  EXPECT_FALSE(window.close());
  EXPECT_EQ(prompter.shown.back().prompt, "Are you sure you want to exit?");
  EXPECT_EQ(orderBox->text(), "12");
}

// A close request while a question holds the game (a message, or the wait
// for a database another program holds) is asked once the game is free,
// never dropped and never under the question.
TEST_F(MainWindowTest, CloseRequestUnderAQuestionIsAskedOnceItIsAnswered) {
  addTrials("Demo", 2, 1);
  startAs("P", "Demo");
  bool closed = true;
  prompter.whileOpen = [&](const MessageRequest& box) {
    if (box.kind == PromptKind::TrialEnded) closed = window.close();
  };
  prompter.byKind[PromptKind::ConfirmExit] = Answer::No;
  order("5");
  prompter.whileOpen = nullptr;
  EXPECT_FALSE(closed);
  EXPECT_EQ(prompter.count(PromptKind::ConfirmExit), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return prompter.count(PromptKind::ConfirmExit) == 1; }, 2000));
  EXPECT_EQ(prompter.shown.back().kind, PromptKind::ConfirmExit);
  EXPECT_TRUE(window.isVisible());
  // Nothing is left to ask it again: no event waits and the retry has stopped.
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(control<QTimer>(window, "tmrExitRetry")->isActive());
  EXPECT_EQ(prompter.count(PromptKind::ConfirmExit), 1);
}

TEST_F(MainWindowTest, NextTrialButtonStartsTheNextTrial) {
  addTrials("Demo", 2, 1);
  startAs("P", "Demo");
  order("4");
  ASSERT_EQ(session.phase(), Phase::TrialOver);
  EXPECT_EQ(orderButton->text(), "Next Trial");
  EXPECT_FALSE(orderBox->isEnabled());
  QTest::mouseClick(orderButton, Qt::LeftButton);
  EXPECT_EQ(session.phase(), Phase::WeekOpen);
  EXPECT_EQ(orderButton->text(), "Make Order");
  EXPECT_EQ(text("lblTrial"), "02 of 02");
}

TEST_F(MainWindowTest, GameOverLeavesAClosingScreen) {
  addTrials("Demo", 1, 1);
  startAs("P", "Demo");
  order("4");
  QTest::mouseClick(orderButton, Qt::LeftButton);
  EXPECT_EQ(session.phase(), Phase::GameOver);
  EXPECT_EQ(orderButton->text(), "Game Over");
  EXPECT_FALSE(orderButton->isEnabled());
  EXPECT_FALSE(control<QWidget>(window, "fraDisplay")->isVisible());
  EXPECT_TRUE(control<QWidget>(window, "fraClosing")->isVisible());
  EXPECT_EQ(text("lblClosing"), "The experiment is over.");
  EXPECT_EQ(text("lblAlertModerator"), "Thank you for taking part.\nPlease alert your moderator.");
  EXPECT_EQ(prompter.count(PromptKind::GameOver), 1);
}

TEST_F(MainWindowTest, SkipKeyTakesTheModeratorsPasswordDuringTraining) {
  addTrials("Train", 2, 4);
  db.insert("tblTraining", planRow(true, {{"Setting", "Train"}, {"Password", "Skip"}}));
  startAs("T", "Train");
  EXPECT_EQ(control<QGroupBox>(window, "fraPlayer")->title(), "Training");
  QTest::keyClick(orderBox, 'e');
  auto* dialog = window.findChild<QDialog*>("frmPassword");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->isVisible());
  auto* password = control<QLineEdit>(*dialog, "txtPassword");
  QTest::keyClicks(password, "skip");
  EXPECT_EQ(password->displayText(), "****");
  QTest::mouseClick(control<QPushButton>(*dialog, "cmdDone"), Qt::LeftButton);
  EXPECT_EQ(prompter.shown.back().prompt, "Incorrect Password");
  EXPECT_TRUE(dialog->isVisible() && session.inTraining());
  password->selectAll();
  QTest::keyClicks(password, "Skip");
  QTest::keyClick(password, Qt::Key_Return);
  EXPECT_FALSE(dialog->isVisible() || session.inTraining());
  EXPECT_EQ(control<QGroupBox>(window, "fraPlayer")->title(), "");
}

TEST_F(MainWindowTest, SelfPlayingTrialRunsAtFullPaceAndAParticipantsAtTheDesignedOne) {
  db.insert(
      "tblBlock",
      planRow(false, {{"Setting", "Mix"}, {"Index", 1}, {"Retailer", "Bot"}, {"numweeks", 2}}));
  db.insert("tblBlock", planRow(false, {{"Setting", "Mix"}, {"Index", 2}, {"numweeks", 2}}));
  startAs("A", "Mix");
  EXPECT_EQ(timer->interval(), 1);
  for (int week = 0; week < 2; ++week) finishAnimation();
  ASSERT_EQ(session.phase(), Phase::TrialOver);
  QTest::mouseClick(orderButton, Qt::LeftButton);
  EXPECT_EQ(timer->interval(), 20);
  EXPECT_TRUE(control<QWidget>(window, "fraDisplay")->isVisible() && orderBox->isEnabled());
}

// Each truck moves one slot a week: fewer ticks the more trucks share the road.
TEST_F(MainWindowTest, AnimationTakesFewerTicksForLongerDelays) {
  const int expectedTicks[] = {0, 15, 8, 5};
  for (int delay = 1; delay <= 3; ++delay) {
    db.insert("tblBlock", planRow(false, {{"Setting", "D" + std::to_string(delay)},
                                          {"Delay", delay},
                                          {"numweeks", 3}}));
  }
  for (int delay = 1; delay <= 3; ++delay) {
    SCOPED_TRACE(delay);
    GameSession game{GameServices{prompter, ticks, random, SystemWallClock::instance(), access,
                                  appFolder.string()}};
    MainWindow shown{game, prompter};
    game.setView(&shown);
    shown.show();
    const std::string setting = "D" + std::to_string(delay);
    addParticipant("P" + setting, setting);
    game.openDatabase("quarn.mdb");
    ASSERT_EQ(game.logIn({"P" + setting, setting, ""}), LoginResult::LoggedIn);
    ASSERT_TRUE(game.startGame());
    for (int k = 0; k < 12; ++k) {
      const std::string truck = "fraTruck_" + std::to_string(k);
      EXPECT_EQ(control<QWidget>(shown, truck.c_str())->isVisible(), k / 4 < delay) << truck;
    }
    auto* box = control<QLineEdit>(shown, "txtOrder");
    auto* animation = control<QTimer>(shown, "tmrAnimation");
    QTest::keyClicks(box, "5");
    QTest::keyClick(box, Qt::Key_Return);
    int ticks = 0;
    for (; ticks < 100 && animation->isActive(); ++ticks) {
      QMetaObject::invokeMethod(animation, "timeout");
    }
    EXPECT_EQ(ticks, expectedTicks[delay]);
    game.endSession();
  }
}

TEST_F(MainWindowTest, DisplayConfigurationHidesWhatItSays) {
  db.insert("tblPredicter", {{"Predicter", "Two"}, {"Extent", 2}, {"Excess", 0}});
  db.insert("tblDisplay", {{"Configuration", "Mixed"},
                           {"TrucksWR", 0},
                           {"TotalCost", 0},
                           {"Factory", "None"},
                           {"Distributor", "All"},
                           {"Wholesaler", "All"},
                           {"Retailer", "All"}});
  db.insert("tblDisplayOption", {{"Option", "All"}});
  db.insert("tblDisplayOption", {{"Option", "None"}, {"Inventory", 0}, {"Cost", 0}});
  addTrials("Demo", 1, 5, {{"DisplayOption", "Mixed"}, {"Predicter", "Two"}});
  startAs("P", "Demo");
  EXPECT_TRUE(control<QWidget>(window, "fraPredictor")->isVisible());
  EXPECT_EQ(text("lblPredict"), "8");  // week 1 shows the demand of week 3
  EXPECT_FALSE(control<QWidget>(window, "lblInventory_0")->isVisible());
  EXPECT_FALSE(control<QWidget>(window, "fraTotalCost")->isVisible());
  EXPECT_TRUE(control<QWidget>(window, "lblInventory_1")->isVisible());
  order("4");
  for (int k : {3, 7, 11}) {
    const std::string truck = "fraTruck_" + std::to_string(k);
    EXPECT_FALSE(control<QWidget>(window, truck.c_str())->isVisible()) << truck;
  }
}

// The failed trial's restart waits for the event loop; meanwhile the
// moderator's key and the window's close button still work.
TEST_F(MainWindowTest, SkipKeyWorksWhileARestartIsPending) {
  addTrials("Train", 1, 4);
  // The stock costs 6 a week: the second week breaks the limit.
  db.insert("tblTraining", planRow(true, {{"Setting", "Train"}, {"CostLimit", 7}}));
  startAs("T", "Train");
  order("4");
  order("4");
  ASSERT_EQ(session.phase(), Phase::RestartPending);
  EXPECT_FALSE(orderBox->isEnabled() || orderButton->isEnabled());
  QTest::keyClick(&window, 'e');
  auto* dialog = window.findChild<QDialog*>("frmPassword");
  ASSERT_TRUE(dialog && dialog->isVisible());
  auto* password = control<QLineEdit>(*dialog, "txtPassword");
  QTest::keyClicks(password, "skip");
  QTest::keyClick(password, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_FALSE(session.inTraining());
  EXPECT_EQ(db.count("datTrial", "Training<>0"), 1);
  EXPECT_TRUE(orderBox->isEnabled());
}

// Here with a training restart pending: the failed trial is recorded once.
TEST_F(MainWindowTest, ClosingAnsweredYesRecordsTheTrialAndEndsTheApplication) {
  addTrials("Train", 1, 4);
  // The stock costs 6 a week: the second week breaks the limit.
  db.insert("tblTraining", planRow(true, {{"Setting", "Train"}, {"CostLimit", 7}}));
  startAs("T", "Train");
  order("4");
  order("4");
  ASSERT_EQ(session.phase(), Phase::RestartPending);
  EXPECT_THROW(window.close(), ApplicationEnd);
  EXPECT_EQ(db.count("datTrial"), 1);
}

// The week clock counts down beside the participant's panel; when it runs
// out the order box closes, the clock's order plays and the participant
// reads what was ordered. A typed order stops it.
TEST_F(MainWindowTest, WeekClockCountsDownAndSaysWhatItOrdered) {
  addTrials("Demo", 1, 6);
  db.insert("tblSetting", {{"Setting", "Demo"}, {"WeekSeconds", 75}});
  startAs("P", "Demo");
  auto* clock = control<QLabel>(window, "lblWeekClock");
  auto* clockTimer = control<QTimer>(window, "tmrWeekClock");
  EXPECT_TRUE(clock->isVisible());
  EXPECT_EQ(clock->text(), "Time left: 1:15");
  ASSERT_TRUE(clockTimer->isActive());
  ticks.ticks = 70'500;
  QMetaObject::invokeMethod(clockTimer, "timeout");
  EXPECT_EQ(clock->text(), "Time left: 0:05");

  QTest::keyClicks(orderBox, "12");
  ticks.ticks = 75'000;
  QMetaObject::invokeMethod(clockTimer, "timeout");
  EXPECT_EQ(session.phase(), Phase::Animating);
  EXPECT_EQ(clock->text(), "The time for this week ran out: 0 was ordered for you.");
  EXPECT_FALSE(orderBox->isEnabled() || orderButton->isEnabled());
  EXPECT_TRUE(orderBox->text().isEmpty());
  finishAnimation();
  EXPECT_EQ(db.count("datRole", R"(Role = 'Retailer' AND User = 8 AND "Order" = 0)"), 1);

  EXPECT_EQ(clock->text(), "Time left: 1:15");
  QTest::keyClicks(orderBox, "9");
  QTest::keyClick(orderBox, Qt::Key_Return);
  EXPECT_FALSE(clock->isVisible());
  EXPECT_EQ(db.count("datRole", R"(Role = 'Retailer' AND User = 6 AND "Order" = 9)"), 1);
}

}  // namespace
}  // namespace quarn::testing
