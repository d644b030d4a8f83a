#include "ui/TrialCharts.h"

#include <gtest/gtest.h>

#include <QtCharts/QBarSet>
#include <QtCharts/QLineSeries>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>

#include "tests/ui/ChartsFixture.h"

namespace quarn::testing {
namespace {

std::vector<double> Ys(QAbstractSeries* series) {
  std::vector<double> ys;
  for (const QPointF& p : static_cast<QXYSeries*>(series)->points()) ys.push_back(p.y());
  return ys;
}

QStringList Names(const QChart& chart) {
  QStringList names;
  for (QAbstractSeries* s : chart.series()) names << s->name();
  return names;
}

TEST(TrialCharts, OrdersChartDrawsEveryStageAndTheCustomerDemand) {
  const auto chart = makeChart(TrialChart::Orders, sampleTrial(1, 0));
  EXPECT_EQ(Names(*chart), QStringList({"Factory", "Distributor", "Wholesaler (participant)",
                                        "Retailer", "Customer demand"}));
  EXPECT_EQ(Ys(chart->series()[1]), std::vector<double>({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  EXPECT_EQ(Ys(chart->series()[4]), std::vector<double>({3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(static_cast<QLineSeries*>(chart->series()[2])->pen().color(), stageColour(kWholesaler));
}

TEST(TrialCharts, InventoryChartShowsTheBacklogBelowZero) {
  const auto chart = makeChart(TrialChart::Inventory, sampleTrial(1, 0));
  EXPECT_EQ(Ys(chart->series()[0]).back(), -5);
  const auto* units = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
  EXPECT_LE(units->min(), -5);
  EXPECT_GE(units->max(), 4);
  EXPECT_EQ(units->titleText(), "Net inventory (units)");
}

TEST(TrialCharts, ParticipantChartSetsOrdersAgainstTheDemandReceived) {
  const auto chart = makeChart(TrialChart::Participant, sampleTrial(1, 0, kRetailer));
  EXPECT_EQ(chart->title(), "The participant's orders (Retailer) and the demand received");
  EXPECT_EQ(Names(*chart), QStringList({"Orders placed", "Demand received"}));
  EXPECT_EQ(Ys(chart->series()[0]).front(), 31);
  EXPECT_EQ(Ys(chart->series()[1]).front(), 3);
}

TEST(TrialCharts, ParticipantChartSaysSoWhenNobodyPlayed) {
  const auto chart = makeChart(TrialChart::Participant, sampleTrial(1, 0, kNoParticipant));
  EXPECT_EQ(chart->title(), "No participant in this trial");
  EXPECT_TRUE(chart->series().isEmpty());
}

TEST(TrialCharts, CostChartHasOneBarPerStageInItsColour) {
  const auto chart = makeChart(TrialChart::Costs, sampleTrial(1, 7));
  const auto* bars = static_cast<QStackedBarSeries*>(chart->series().first());
  ASSERT_EQ(bars->count(), kRoleCount);
  for (int r = 0; r < kRoleCount; ++r) {
    QBarSet* set = bars->barSets()[r];
    EXPECT_EQ(set->at(r), 100 * r + 7) << r;
    EXPECT_EQ(set->sum(), 100 * r + 7) << r;  // nothing in the other stages' bars
    EXPECT_EQ(set->color(), stageColour(r)) << r;
  }
}

TEST(TrialCharts, RendersAPictureOfTheRequestedSize) {
  const QImage image = renderChart(TrialChart::Orders, sampleTrial(1, 0), QSize(640, 360));
  EXPECT_EQ(image.size(), QSize(640, 360));
  EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
  // Something other than the background is drawn: the lines and labels.
  int drawn = 0;
  for (int y = 0; y < image.height(); y += 4) {
    for (int x = 0; x < image.width(); x += 4) drawn += image.pixelColor(x, y) != Qt::white;
  }
  EXPECT_GT(drawn, 200);
}

}  // namespace
}  // namespace quarn::testing
