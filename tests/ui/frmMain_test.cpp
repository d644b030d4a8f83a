#include <gtest/gtest.h>

#include "base/Numbers.h"
#include "db/SqlCipherConnection.h"
#include "record/modRecord.h"
#include "session/ExitConfirmation.h"
#include "session/frmPassword.h"
#include "tests/ui/UiFixture.h"
#include "ui/modDisplay.h"

namespace quarn {
namespace {

using testing::kDistributor;
using testing::kRetailer;
using testing::kWholesaler;
using testing::steadyTrial;
using testing::UiGame;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

std::string Num(int64_t value) {
  return decimal(value);
}

TEST(OrderBox, TakesOnlyDigitsAndEnablesTheButtonWhileItHoldsSome) {
  UiGame g;
  g.SetTrials({steadyTrial(5, kRetailer, 2)});
  g.form.StartTrial();
  QLineEdit* box = g.form.txtOrder;
  EXPECT_FALSE(g.form.cmdOrder->isEnabled());
  QTest::keyClicks(box, "0");
  EXPECT_TRUE(g.form.cmdOrder->isEnabled());
  QTest::keyClicks(box, "7a-.+ xE,012345");  // a lone 0 replaced, letters swallowed, 4 digits
  EXPECT_EQ(box->text(), "7012");
  QTest::keyClick(box, Qt::Key_Home);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));  // as X11
  QApplication::sendEvent(box, &del);
  EXPECT_EQ(box->text(), "012") << "Delete edits as usual";
  box->clear();
  EXPECT_FALSE(g.form.cmdOrder->isEnabled());
  box->insert("4x");  // the path a paste takes
  EXPECT_EQ(box->text(), "");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(g.game.chain.currentWeek, 1) << "Enter on an empty box does nothing";

  QTest::keyClicks(box, "0");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(g.game.chain.currentWeek, 2);
  EXPECT_EQ(g.game.chain.participantOrder, 0) << "a lone 0 is an order of 0";
  EXPECT_FALSE(box->isEnabled() || g.form.cmdOrder->isEnabled());
  EXPECT_TRUE(g.form.tmrAnimation->isActive());
}

// Every figure of every role against the chain, week after week, in a trial
// that runs into backorders; and the decision time of each week.
TEST(WeekDisplay, ShowsTheChainAsItStandsAfterEachWeek) {
  UiGame g;
  TrialPlan trial = steadyTrial(6, kWholesaler, 2);
  trial.initialInventory = 2;
  trial.transitCostRate = 0.5;
  g.SetTrials({trial});
  g.ticks.ticks = 1000;
  g.form.StartTrial();
  EXPECT_EQ(Top(g.form.fraPlayer), 240 + 2640 * kWholesaler);
  EXPECT_EQ(g.Text(g.form.lblTrial), "01 of 01");
  EXPECT_EQ(Counter(100, 120), "100 of 120");

  bool sawBackorder = false;
  for (int week = 1; week <= 6; ++week) {
    EXPECT_EQ(g.Text(g.form.lblWeek), twoDigits(week) + " of 06");
    for (int r = 0; r < kRoleCount; ++r) {
      const RoleState& role = g.Role(r);
      SCOPED_TRACE("week " + Num(week) + " role " + Num(r));
      EXPECT_EQ(g.Text(g.form.lblOrder[r]), Num(role.orderSlots.back()));
      EXPECT_EQ(g.Text(g.form.lblBackOrder[r]), Num(role.inventory < 0 ? -role.inventory : 0));
      EXPECT_EQ(g.Text(g.form.lblInventory[r]), Num(role.inventory < 0 ? 0 : role.inventory));
      EXPECT_EQ(g.Text(g.form.lblSatisfied[r]), Num(role.satisfied));
      EXPECT_EQ(g.Text(g.form.lblDemand[r]), Num(role.demand));
      EXPECT_EQ(g.Text(g.form.lblSpent[r]), Num(role.totalCost));
      sawBackorder = sawBackorder || role.inventory < 0;
    }
    EXPECT_EQ(g.Text(g.form.lblTotalCost), shortestDecimal(g.game.plan.trials[0].totalCost));
    EXPECT_EQ(g.game.times.WeekStartTime, g.ticks.ticks);

    g.ticks.ticks += 2500;
    QTest::keyClicks(g.form.txtOrder, week == 3 ? "9" : "0");
    QTest::mouseClick(g.form.cmdOrder, Qt::LeftButton);
    EXPECT_EQ(g.game.times.OrderPressTime, g.game.times.WeekStartTime + 2500);
    g.Animate();
  }
  EXPECT_TRUE(sawBackorder);
}

class Animation : public ::testing::TestWithParam<int> {};

// Tick counts, the slot grid, and which trucks are relabelled on delivery.
TEST_P(Animation, DrivesEveryTruckOneSlotAndSnapsItOntoTheGrid) {
  const int16_t delay = static_cast<int16_t>(GetParam());
  const int expectedTicks[] = {0, 15, 8, 5};
  const int margin[] = {0, 2872, 1072, 472};
  const double slot = 7200.0 / delay;
  // Each truck ends one slot further on; the one that delivered starts again.

  UiGame g;
  g.SetTrials({steadyTrial(3, kRetailer, delay)});
  g.form.StartTrial();
  EXPECT_EQ(AnimationTickCount(g.form), expectedTicks[delay]);
  for (int k = 0; k < 12; ++k) {
    g.form.lblTruck[k]->setText("?");
    EXPECT_EQ(Visible(g.form.fraTruck[k]), k / 4 < delay) << "truck " << k;
  }

  EXPECT_EQ(g.Order("5"), expectedTicks[delay]);
  EXPECT_FALSE(g.form.tmrAnimation->isActive());
  for (int j = 0; j < delay; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      const int k = r + 4 * j;
      SCOPED_TRACE("truck " + Num(k));
      EXPECT_EQ(Left(g.form.fraTruck[k]), margin[delay] + ((j + 1) % delay) * slot);
      const bool delivered = j == delay - 1;
      EXPECT_EQ(g.Text(g.form.lblTruck[k]), delivered ? Num(g.Role(r).delaySlots.back()) : "?");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Delays, Animation, ::testing::Values(1, 2, 3));

// The forecast panel follows the predicter; an unknown configuration or
// predicter hides it and leaves the rest as it was.
TEST(DisplayConfiguration, HidesWhatTheConfigurationSaysAndKeepsItHidden) {
  UiGame g;
  g.db.insert("tblPredicter", {{"Predicter", "Two"}, {"Extent", 2}, {"Excess", 0}});
  g.db.insert("tblDisplay", {{"Configuration", "Mixed"},
                             {"TrucksWR", 0},
                             {"TotalCost", 0},
                             {"Factory", "None"},
                             {"Distributor", "All"},
                             {"Wholesaler", "All"},
                             {"Retailer", "All"}});
  g.db.insert("tblDisplayOption", {{"Option", "All"}});
  g.db.insert("tblDisplayOption", {{"Option", "None"}, {"Inventory", 0}, {"Cost", 0}});
  TrialPlan mixed = steadyTrial(5, kDistributor, 2), unknown = mixed;
  mixed.displayOption = "Mixed";
  mixed.jumpWeek = 3;
  mixed.predicter = "Two";
  unknown.displayOption = unknown.predicter = "Nowhere";
  g.SetTrials({mixed, unknown});
  g.form.StartTrial();

  auto& f = g.form;
  EXPECT_TRUE(Visible(f.fraPredictor));
  EXPECT_EQ(g.Text(f.lblPredict), "8") << "week 1 shows the demand of week 3";
  EXPECT_FALSE(Visible(f.lblInventory[0]) || Visible(f.tagCost[0]) || Visible(f.fraTotalCost));
  EXPECT_TRUE(Visible(f.fraRole[0]) && Visible(f.lblInventory[1]));

  // The Retailer's trucks stay hidden and unmoved, week after week.
  const double left3 = Left(f.fraTruck[3]), left7 = Left(f.fraTruck[7]);
  f.lblTruck[3]->setText("?");
  f.lblTruck[2]->setText("?");
  for (int week = 0; week < 3; ++week) g.Order("4");
  EXPECT_FALSE(Visible(f.fraTruck[3]) || Visible(f.fraTruck[7]) || Visible(f.fraTruck[11]));
  EXPECT_EQ(Left(f.fraTruck[3]), left3);
  EXPECT_EQ(Left(f.fraTruck[7]), left7);
  EXPECT_EQ(g.Text(f.lblTruck[3]), "?");
  EXPECT_NE(g.Text(f.lblTruck[2]), "?") << "a shown row's truck delivers and is relabelled";

  // A configuration that is not found leaves everything as it was.
  g.game.plan.currentTrial = 1;
  g.form.StartTrial();
  EXPECT_FALSE(Visible(f.lblInventory[0]) || Visible(f.fraTruck[3]) || Visible(f.fraTotalCost) ||
               Visible(f.fraPredictor));
}

// Training: the Retailer's stock stays at 12 and its cost grows by 12 a week
// while it orders 4; ordering 5 makes the stock grow.
struct TrainingGame : UiGame {
  TrainingGame(int32_t costLimit, int32_t bound) {
    TrialPlan training = steadyTrial(6, kRetailer, 1);
    training.inventoryCostRate = 1;
    training.recordToDatabase = true;
    SetTrials({steadyTrial(6, kRetailer, 1)});
    game.plan.trainingTrials = {training};
    game.plan.currentTrial = 1;
    // A new participant (ResumeTrial -1): the experiment starts at trial 1.
    game.training = {.active = true,
                     .costLimit = costLimit,
                     .inventoryBound = bound,
                     .password = "",
                     .resumeTrial = -1,
                     .recordedTrial = -1,
                     .passed = true};
    toolkit.onBox = [this](const std::string& prompt) {
      if (prompt.rfind("Training failed", 0) != 0) return;
      recordsAtFailure = db.count("datTrial");
      stockAtFailure = Role(kRetailer).inventory;
    };
  }
  int Failures() const {
    int n = 0;
    for (const auto& box : toolkit.shown) n += box.prompt.rfind("Training failed", 0) == 0;
    return n;
  }
  int recordsAtFailure = -1, stockAtFailure = 0;
};

// A cost equal to the limit passes, one unit more restarts the trial after
// the message; ordering 5 takes the stock past the bound, and when the cost
// breaks in the same week, the cost is named.
TEST(Training, BreakingALimitRestartsTheTrialAndCostIsNamedFirst) {
  TrainingGame g(24, 12);
  g.form.StartTrial();
  EXPECT_EQ(g.toolkit.last().prompt,
            "Keep your Inventory/Backorders below 12\r\nand your Cost below 24");
  g.Order("4");
  g.Order("4");
  EXPECT_EQ(g.Role(kRetailer).totalCost, 24);
  EXPECT_EQ(g.Failures(), 0);
  g.Order("4");
  ASSERT_EQ(g.Failures(), 1);
  const auto& shown = g.toolkit.shown;
  EXPECT_EQ(shown[shown.size() - 2].prompt,
            "Training failed.  Cost ran above 24.  Restarting Trial");
  EXPECT_EQ(shown.back().title, "Training Constraints") << "the restarted run reminds again";
  EXPECT_EQ(g.recordsAtFailure, 0) << "the record follows the message";
  EXPECT_EQ(g.db.count("datTrial", "Trial=-1 AND Training<>0"), 1);
  EXPECT_EQ(std::vector<int>({g.game.plan.currentTrial, g.game.training.recordedTrial,
                              g.game.chain.currentWeek, g.Role(kRetailer).totalCost}),
            std::vector<int>({1, -2, 1, 0}));
  EXPECT_TRUE(g.form.txtOrder->isEnabled());
  EXPECT_EQ(g.Text(g.form.lblTrial), "-02 of 01");

  // Ordering 5, the stock passes 12 in week 3; the cost breaks then too.
  TrainingGame s(100000, 12);
  s.form.StartTrial();
  for (int week = 1; week < 3; ++week) s.Order("5");
  ASSERT_EQ(s.Failures(), 0);
  s.game.training.costLimit = s.Role(kRetailer).totalCost;
  s.Order("5");
  ASSERT_EQ(s.Failures(), 1);
  EXPECT_GT(s.stockAtFailure, 12);
  EXPECT_EQ(
      s.toolkit.shown[s.toolkit.shown.size() - 2].prompt,
      "Training failed.  Cost ran above " + Num(s.game.training.costLimit) + ".  Restarting Trial");
}

// A training trial whose stock starts above its bound fails before any
// order, at every start. Each restart comes from the event loop: thousands
// of them take no more stack than the first (nested, a few dozen would).
TEST(Training, RestartsOfATrialThatFailsAtOnceNeverNest) {
  TrainingGame g(100, 5);
  g.game.plan.trialAt(1).recordToDatabase = false;
  int failures = 0;
  uintptr_t lowest = UINTPTR_MAX, highest = 0;
  g.toolkit.onBox = [&](const std::string& prompt) {
    if (prompt.rfind("Training failed", 0) != 0) return;
    ++failures;
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    lowest = std::min(lowest, here);
    highest = std::max(highest, here);
    if (highest - lowest > 64 * 1024) throw std::runtime_error("restarts nest");
  };
  ASSERT_NO_THROW(g.form.StartTrial());
  EXPECT_EQ(failures, 1);
  while (failures < 2000) QCoreApplication::processEvents();
  EXPECT_LT(highest - lowest, 4096u);
  EXPECT_EQ(g.game.training.recordedTrial, -2000);
}

// While such a trial restarts, the moderator can still skip training
// between two restarts, with the key the order box takes otherwise.
TEST(Training, SkipKeyWorksBetweenRestarts) {
  TrainingGame g(100, 5);
  frmPassword password(g.game, g.form, &g.form);
  g.form.hooks.ShowPassword = [&password] { password.ShowDialog(); };
  g.form.StartTrial();
  g.Animate();
  ASSERT_EQ(g.Failures(), 2);
  EXPECT_FALSE(g.form.txtOrder->isEnabled() || g.form.cmdOrder->isEnabled());

  QTest::keyClick(g.form.txtOrder, 'e');
  ASSERT_TRUE(password.isVisible());
  QTest::keyClick(password.txtPassword, Qt::Key_Return);  // the training password is empty
  g.Animate();
  EXPECT_EQ(g.Failures(), 2);
  EXPECT_FALSE(g.game.training.active);
  EXPECT_EQ(g.game.plan.currentTrial, 0);
  EXPECT_EQ(g.toolkit.last().prompt, "The experiment will now begin");
  EXPECT_EQ(g.db.count("datTrial", "Training=1"), 2) << "each failed run recorded once";
  EXPECT_TRUE(g.form.txtOrder->isEnabled());
}

// Likewise the window can be closed between two restarts; Yes ends the game
// with the failed run recorded once.
TEST(Training, WindowClosesBetweenRestarts) {
  TrainingGame g(100, 5);
  g.form.hooks.ConfirmExit = [&g] {
    return ConfirmExit(g.game, [&g] { return g.form.cmdOrder->text().toStdString(); });
  };
  g.form.StartTrial();
  g.toolkit.answers = {Answer::Yes};
  EXPECT_THROW(g.form.close(), ApplicationEnd);
  EXPECT_EQ(g.toolkit.last().prompt, "Are you sure you want to exit?");
  EXPECT_EQ(g.Failures(), 1);
  EXPECT_EQ(g.db.count("datTrial"), 1);
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
  int paints = 0;
};

// Another program holds the file's lock while a week is written: the window
// keeps painting and, after a second, says that it waits for the database
// and for how long, while the game stands still as under any modal box. The
// week is stored once the lock goes.
TEST(DatabaseWait, LockedFileKeepsTheWindowPaintedAndSaysItWaits) {
  UiGame g;
  TrialPlan trial = steadyTrial(3, kRetailer, 1);
  trial.recordToDatabase = true;
  g.SetTrials({trial});
  g.form.StartTrial();
  SqlCipherConnection holder(g.db.path(), OpenMode::ReadWrite);
  holder.executeScript("BEGIN IMMEDIATE;");

  PaintCounter counter(&g.form);
  std::string notice;
  bool held = true, gameStoodStill = true;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    gameStoodStill = gameStoodStill && g.toolkit.modalOpen();
    g.form.update();  // as a window uncovered meanwhile asks
    const QDialog* window = g.waitNotice.Window();
    if (held && window && window->isVisible()) {
      notice = window->findChild<QLabel*>("lblWaiting")->text().toStdString();
      holder.executeScript("COMMIT;");
      held = false;
    }
  });
  probe.start(50);
  QTest::keyClicks(g.form.txtOrder, "4");
  QTest::mouseClick(g.form.cmdOrder, Qt::LeftButton);
  probe.stop();

  EXPECT_FALSE(held);
  EXPECT_EQ(notice, "Waiting for the database... 1 s");
  EXPECT_GT(counter.paints, 5);
  EXPECT_TRUE(gameStoodStill);
  EXPECT_EQ(g.db.count("datRole"), 4);
  EXPECT_TRUE(g.toolkit.shown.empty());
}

// A trial without a participant plays itself at full pace and names the
// chain's cost; the next trial, with a participant, runs at the designed pace
// and ends recording the trial before it names the participant's cost.
TEST(EndTrial, SelfPlayThenParticipantTrialRecordBeforeTheMessage) {
  UiGame g;
  TrialPlan simulated = steadyTrial(4, kNoParticipant, 3), played = steadyTrial(3, kRetailer, 2);
  simulated.secondDemand = 7;
  simulated.jumpWeek = 2;
  played.recordToDatabase = true;
  g.SetTrials({simulated, played});
  g.form.StartTrial();
  EXPECT_EQ(g.form.tmrAnimation->interval(), 1);
  g.Animate();
  EXPECT_EQ(g.game.chain.currentWeek, 5);
  int64_t sum = 0;
  for (int r = 0; r < kRoleCount; ++r) sum += g.Role(r).totalCost;
  EXPECT_GT(sum, 0);
  EXPECT_EQ(g.toolkit.last().prompt, "End total cost for all roles is " + Num(sum) +
                                         "\r\nPress the Next Trial button to continue");
  EXPECT_EQ(g.form.cmdOrder->text(), "Next Trial");

  int recordsAtBox = -1;
  g.toolkit.onBox = [&](const std::string&) { recordsAtBox = g.db.count("datTrial"); };
  QTest::mouseClick(g.form.cmdOrder, Qt::LeftButton);
  EXPECT_EQ(g.game.plan.currentTrial, 1);
  EXPECT_EQ(g.Text(g.form.lblTrial), "02 of 02");
  EXPECT_EQ(g.form.cmdOrder->text(), "Make Order");
  EXPECT_TRUE(Visible(g.form.fraDisplay) && g.form.txtOrder->isEnabled());
  EXPECT_EQ(g.form.tmrAnimation->interval(), 20) << "a participant sees the designed pace";
  EXPECT_EQ(Top(g.form.fraPlayer), 240 + 2640 * kRetailer);
  for (int week = 0; week < 3; ++week) g.Order("4");

  const std::string cost = Num(g.Role(kRetailer).totalCost);
  EXPECT_EQ(g.toolkit.last().prompt, "End cost playing as Retailer: " + cost +
                                         "\r\nPress the Next Trial button to continue");
  EXPECT_EQ(g.toolkit.last().title, "End Trial");
  EXPECT_EQ(recordsAtBox, 1);
  EXPECT_TRUE(g.form.cmdOrder->isEnabled() && !g.form.txtOrder->isEnabled());
  EXPECT_EQ(g.form.cmdOrder->text(), "Next Trial");
  EXPECT_EQ(g.form.txtOrder->text(), "");
  EXPECT_EQ(g.Text(g.form.lblWeek), "03 of 03") << "the week caption keeps the last week";
}

// After the game-over message the participant is not left before an empty
// window: a closing screen says the experiment is over and asks them to
// alert the moderator, above the button that now reads "Game Over".
TEST(GameOver, LeavesAClosingScreenUntilTheWindowIsClosed) {
  UiGame g;
  g.SetTrials({steadyTrial(1, kRetailer, 1)});
  g.form.StartTrial();
  g.Order("4");
  QTest::mouseClick(g.form.cmdOrder, Qt::LeftButton);
  EXPECT_EQ(g.toolkit.last().title, "All 1 Trial(s) Completed");

  EXPECT_FALSE(Visible(g.form.fraDisplay));
  ASSERT_TRUE(g.form.fraClosing && g.form.fraClosing->isVisible());
  EXPECT_EQ(g.Text(g.form.lblClosing), "The experiment is over.");
  EXPECT_EQ(g.Text(g.form.lblAlertModerator),
            "Thank you for taking part.\nPlease alert your moderator.");
  EXPECT_TRUE(g.form.cmdOrder->isVisible());
  EXPECT_FALSE(g.form.cmdOrder->isEnabled());
  EXPECT_EQ(g.form.cmdOrder->text(), "Game Over");
}

}  // namespace
}  // namespace quarn
