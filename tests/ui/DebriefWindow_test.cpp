#include "ui/DebriefWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include "tests/ui/ChartsFixture.h"
#include "ui/Translations.h"

namespace quarn::testing {
namespace {

struct Debriefing {
  Debriefing() : window("S1", {sampleTrial(1, 0), sampleTrial(2, 100), sampleTrial(3, 200)}) {
    window.show();
  }
  template <typename T>
  T* find(const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  // The Factory's order in week 1 as the orders chart draws it: 1 + the
  // trial's offset.
  double factoryFirstOrder() {
    QChart* chart = find<QChartView>("chartOrders")->chart();
    for (QAbstractSeries* s : chart->series()) {
      if (s->name() == "Factory") return static_cast<QLineSeries*>(s)->at(0).y();
    }
    ADD_FAILURE() << "no Factory line";
    return -1;
  }
  DebriefWindow window;
};

TEST(DebriefWindow, SelectsATrialWithTheKeyboard) {
  Debriefing d;
  auto* box = d.find<QComboBox>("cboTrial");
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(d.window.shownTrial(), 1);
  EXPECT_EQ(d.factoryFirstOrder(), 101);
  EXPECT_TRUE(d.find<QLabel>("lblSummary")->text().startsWith("Setting Lab, trial 2"));
  QTest::keyClick(box, Qt::Key_End);
  EXPECT_EQ(d.factoryFirstOrder(), 201);
}

TEST(DebriefWindow, StepsThroughTrialsWithTheButtons) {
  Debriefing d;
  auto* previous = d.find<QPushButton>("cmdPrevious");
  auto* next = d.find<QPushButton>("cmdNext");
  EXPECT_FALSE(previous->isEnabled());
  QTest::mouseClick(next, Qt::LeftButton);
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(d.window.shownTrial(), 2);
  EXPECT_FALSE(next->isEnabled());
  QTest::mouseClick(next, Qt::LeftButton);  // disabled: nothing moves
  EXPECT_EQ(d.window.shownTrial(), 2);
  QTest::mouseClick(previous, Qt::LeftButton);
  EXPECT_EQ(d.window.shownTrial(), 1);
  EXPECT_EQ(d.factoryFirstOrder(), 101);
  EXPECT_EQ(d.find<QComboBox>("cboTrial")->currentIndex(), 1);
}

TEST(DebriefWindow, ShowsEveryChartOfTheTrial) {
  Debriefing d;
  for (const char* name :
       {"chartOrders", "chartInventory", "chartParticipant", "chartCumulative"}) {
    QChartView* view = d.find<QChartView>(name);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->chart()->series().isEmpty()) << name;
    EXPECT_TRUE(view->isVisible()) << name;
  }
}

TEST(DebriefWindow, HidesTheParticipantChartOfATrialWithoutOne) {
  DebriefWindow window("S1", {sampleTrial(1, 0, kNoParticipant), sampleTrial(2, 0)});
  window.show();
  auto* participant = window.findChild<QChartView*>("chartParticipant");
  auto* orders = window.findChild<QChartView*>("chartOrders");
  auto* cumulative = window.findChild<QChartView*>("chartCumulative");
  EXPECT_FALSE(participant->isVisible());
  EXPECT_TRUE(orders->isVisible());
  QApplication::processEvents();
  // The cumulative costs take the lower row whole.
  EXPECT_GT(cumulative->width(), orders->width() * 3 / 2);
  QTest::mouseClick(window.findChild<QPushButton*>("cmdNext"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(participant->isVisible());
  EXPECT_LT(cumulative->width(), orders->width() * 3 / 2);
}

TEST(DebriefWindow, StepsWithTheArrowKeysAndSwitchesFullScreen) {
  Debriefing d;
  auto* box = d.find<QComboBox>("cboTrial");
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Right);
  QTest::keyClick(box, Qt::Key_Right);
  EXPECT_EQ(d.window.shownTrial(), 2);
  QTest::keyClick(box, Qt::Key_Right);  // the last trial: nothing moves
  EXPECT_EQ(d.window.shownTrial(), 2);
  QTest::keyClick(box, Qt::Key_Left);
  EXPECT_EQ(d.window.shownTrial(), 1);
  QTest::keyClick(box, Qt::Key_F11);
  EXPECT_TRUE(d.window.windowState() & Qt::WindowFullScreen);
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_FALSE(d.window.windowState() & Qt::WindowFullScreen);
  EXPECT_TRUE(d.window.isVisible());
  QTest::keyClick(box, Qt::Key_Escape);  // not full screen: the window closes
  EXPECT_FALSE(d.window.isVisible());
}

// The moderator clicks a button or a chart, then goes on with the arrow
// keys: they still step through the trials.
TEST(DebriefWindow, KeepsItsKeysAfterAClickOnAButtonOrAChart) {
  Debriefing d;
  d.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d.window));
  d.find<QComboBox>("cboTrial")->setFocus();
  QTest::mouseClick(d.find<QPushButton>("cmdNext"), Qt::LeftButton);
  EXPECT_EQ(d.window.shownTrial(), 1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
  EXPECT_EQ(d.window.shownTrial(), 0);
  QTest::mouseClick(d.find<QChartView>("chartOrders")->viewport(), Qt::LeftButton);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  EXPECT_EQ(d.window.shownTrial(), 2);
}

// The window opens within the screen, whatever its size.
TEST(DebriefWindow, OpensWithinTheScreen) {
  Debriefing d;
  const QRect room = d.window.screen()->availableGeometry();
  EXPECT_LE(d.window.width(), std::max(room.width(), d.window.minimumSizeHint().width()));
  EXPECT_LE(d.window.height(), std::max(room.height(), d.window.minimumSizeHint().height()));
}

// At 1024 x 768, a projector's size, the text grows with the window and
// every chart title still fits its chart.
TEST(DebriefWindow, ScalesItsTextToAProjectorAndKeepsTitlesWhole) {
  Debriefing d;
  d.window.resize(1024, 768);
  EXPECT_LE(d.window.minimumSizeHint().width(), 1024);
  EXPECT_LE(d.window.minimumSizeHint().height(), 768);
  EXPECT_EQ(d.window.size(), QSize(1024, 768));
  EXPECT_EQ(DebriefWindow::fontPixels(768), 18);
  EXPECT_EQ(d.find<QLabel>("lblSummary")->font().pixelSize(), 18);
  for (const char* name :
       {"chartOrders", "chartInventory", "chartParticipant", "chartCumulative"}) {
    QChart* chart = d.find<QChartView>(name)->chart();
    // The title item keeps its margins free within the chart's.
    EXPECT_LE(QFontMetrics(chart->titleFont()).horizontalAdvance(chart->title()),
              1024 / 2 - 20 - 64)
        << name;
    EXPECT_GE(chart->titleFont().pixelSize(), 12) << name;
  }
  d.window.resize(1920, 1080);
  EXPECT_GT(d.find<QLabel>("lblSummary")->font().pixelSize(), 18);
}

// The customer demand is 2 + week; orders of 3 x week swing three times as
// wide (standard deviation), nine times in variance. The stages end with
// 1, 101, 201 and 301.
TEST(DebriefWindow, SummarySaysTheChainTotalThePlaceAndTheRatioOfDeviations) {
  RecordedTrial trial = sampleTrial(2, 1);
  for (RecordedWeek& w : trial.weeks) w.stages[kWholesaler].order = 3 * w.week;
  const QString text = debriefSummary(trial, ClassPlace{3, 30});
  EXPECT_TRUE(text.contains("Chain total: 604."));
  EXPECT_TRUE(text.contains("Place in the class: 3 of 30 (the lowest cost first)."));
  EXPECT_TRUE(
      text.contains("The participant's orders varied 3.0 times as much as the customer "
                    "demand (standard deviation)."));
  EXPECT_FALSE(debriefSummary(trial, std::nullopt).contains("Place"));
}

// The ratio is written as the participant's language writes numbers.
TEST(DebriefWindow, SummaryWritesTheRatioInTheLanguagesNumberFormat) {
  RecordedTrial trial = sampleTrial(2, 1);
  for (RecordedWeek& w : trial.weeks) w.stages[kWholesaler].order = 3 * w.week;
  for (const auto& [language, ratio] : {std::pair{"de", "3,0-mal"}, std::pair{"es", "3,0 veces"}}) {
    Translations translations;
    ASSERT_TRUE(translations.use(language));
    const QString text = debriefSummary(trial, std::nullopt);
    EXPECT_TRUE(text.contains(ratio)) << text.toStdString();
  }
}

// A class debriefed in German reads the window, the charts and the stage
// names in German, as the game spoke to them.
TEST(DebriefWindow, SpeaksTheParticipantsLanguage) {
  Translations translations;
  ASSERT_TRUE(translations.use("de"));
  Debriefing d;
  EXPECT_EQ(d.find<QPushButton>("cmdNext")->text(), "Nächste Runde");
  QChart* orders = d.find<QChartView>("chartOrders")->chart();
  EXPECT_EQ(orders->title(), "Bestellungen jeder Stufe");
  QStringList names;
  for (QAbstractSeries* s : orders->series()) names << s->name();
  EXPECT_TRUE(names.contains("Fabrik")) << names.join(", ").toStdString();
  EXPECT_TRUE(d.find<QLabel>("lblSummary")->text().startsWith("Einstellung Lab, Runde 1"));
}

}  // namespace
}  // namespace quarn::testing
