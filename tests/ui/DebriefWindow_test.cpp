#include "ui/DebriefWindow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include "tests/ui/ChartsFixture.h"

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
    return static_cast<QLineSeries*>(chart->series().first())->at(0).y();
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
  for (const char* name : {"chartOrders", "chartInventory", "chartParticipant", "chartCosts"}) {
    QChartView* view = d.find<QChartView>(name);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->chart()->series().isEmpty()) << name;
  }
}

}  // namespace
}  // namespace quarn::testing
