#include "ui/TrialCharts.h"

#include <gtest/gtest.h>

#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QPainter>
#include <QtCharts/QBarSet>
#include <QtCharts/QBoxPlotSeries>
#include <QtCharts/QBoxSet>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>

#include "tests/support/TeamRecords.h"
#include "tests/ui/ChartsFixture.h"
#include "ui/OverviewCharts.h"

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
  // The demand first, so that a stage passing it on is drawn over it.
  EXPECT_EQ(Names(*chart), QStringList({"Customer demand", "Factory", "Distributor",
                                        "Wholesaler (participant)", "Retailer"}));
  EXPECT_EQ(Ys(chart->series()[2]), std::vector<double>({11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  EXPECT_EQ(Ys(chart->series()[0]), std::vector<double>({3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(static_cast<QLineSeries*>(chart->series()[3])->pen().color(), stageColour(kWholesaler));
}

TEST(TrialCharts, InventoryChartShowsTheBacklogBelowZero) {
  const auto chart = makeChart(TrialChart::Inventory, sampleTrial(1, 0));
  EXPECT_EQ(Ys(chart->series()[0]).back(), -5);
  const auto* units = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).first());
  EXPECT_LE(units->min(), -5);
  EXPECT_GE(units->max(), 4);
  EXPECT_EQ(units->titleText(), "Net inventory (units)");
}

TEST(TrialCharts, ParticipantChartDrawsTheOrdersOverTheDemandWithMarkers) {
  const auto chart = makeChart(TrialChart::Participant, sampleTrial(1, 0, kRetailer));
  EXPECT_EQ(chart->title(), "The participant's orders (Retailer) and the demand received");
  // Drawn last, so on top of a demand line they equal.
  EXPECT_EQ(Names(*chart), QStringList({"Demand received", "Orders placed"}));
  EXPECT_EQ(Ys(chart->series()[1]).front(), 31);
  EXPECT_EQ(Ys(chart->series()[0]).front(), 3);
  EXPECT_TRUE(static_cast<QLineSeries*>(chart->series()[1])->pointsVisible());
}

TEST(TrialCharts, TrialWithoutAParticipantHasNoParticipantChart) {
  EXPECT_EQ(
      trialCharts(sampleTrial(1, 0, kNoParticipant)),
      (std::vector<TrialChart>{TrialChart::Orders, TrialChart::Inventory, TrialChart::Costs}));
  EXPECT_EQ(trialCharts(sampleTrial(1, 0)).size(), kTrialCharts.size());
}

// Whole steps of 1, 2 or 5 times a power of ten, and room above the
// highest value: a line at the top never runs on the frame.
TEST(TrialCharts, QuantityScaleHasRoundStepsAndHeadroom) {
  struct Case {
    double low, high;
    AxisScale scale;
  };
  const std::vector<Case> cases = {
      {0, 0, {0, 1, 1}},    // nothing to show: no ticks of 0.2 written as 0
      {0, 20, {0, 25, 5}},  // 20 lies on a tick: one more step
      {0, 23, {0, 25, 5}},      {0, 24.5, {0, 30, 5}},  // too close under 25
      {-37, 12, {-40, 20, 10}}, {0, 3, {0, 4, 1}},     {0, 1840, {0, 2000, 500}},
  };
  for (const Case& c : cases) {
    const AxisScale s = quantityScale(c.low, c.high);
    EXPECT_EQ(s.low, c.scale.low) << c.low << ".." << c.high;
    EXPECT_EQ(s.high, c.scale.high) << c.low << ".." << c.high;
    EXPECT_EQ(s.step, c.scale.step) << c.low << ".." << c.high;
  }
}

TEST(TrialCharts, CumulativeCostChartAddsTheChainInBold) {
  const auto chart = makeChart(TrialChart::CumulativeCosts, sampleTrial(1, 7));
  ASSERT_EQ(chart->series().size(), kRoleCount + 1);
  // Stage r ends at 100 r + 7: the chain at 600 + 28.
  EXPECT_EQ(Ys(chart->series()[kRoleCount]).back(), 628);
  EXPECT_GT(static_cast<QLineSeries*>(chart->series()[kRoleCount])->pen().widthF(),
            static_cast<QLineSeries*>(chart->series()[0])->pen().widthF());
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

// Team Red's trial 2: P07 on the Factory, P12 on the Retailer replaced by
// Sterman from week 6; the chain as P07 recorded it.
RecordedTrial redTrial() {
  const std::vector<RecordedTrial> members = teamTrialRecords(
      teamTrialRows("Red", 2, {{"P07", kFactory}, {"P12", kRetailer, "Sterman", 6}}));
  return *playedChains(members).front();
}

std::vector<double> Xs(QAbstractSeries* series) {
  std::vector<double> xs;
  for (const QPointF& p : static_cast<QXYSeries*>(series)->points()) xs.push_back(p.x());
  return xs;
}

TEST(TrialCharts, TeamChartDrawsEachPersonAndSimulatedPlayerOverTheDemand) {
  const auto chart = makeChart(TrialChart::Team, redTrial());
  EXPECT_EQ(Names(*chart),
            QStringList({"Customer demand", "P07 (Factory, member 1)", "Sterman (Distributor)",
                         "Sterman (Wholesaler)", "P12 (Retailer, member 2)",
                         "Sterman (Retailer from week 6)"}));
  EXPECT_EQ(Ys(chart->series()[1]), std::vector<double>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // The replaced member's line ends where the simulated player's begins.
  EXPECT_EQ(Xs(chart->series()[4]), std::vector<double>({1, 2, 3, 4, 5}));
  EXPECT_EQ(Xs(chart->series()[5]), std::vector<double>({6, 7, 8, 9, 10}));
  EXPECT_EQ(Ys(chart->series()[5]).front(), 36);
  const auto* person = static_cast<QLineSeries*>(chart->series()[1]);
  const auto* simulated = static_cast<QLineSeries*>(chart->series()[2]);
  EXPECT_TRUE(person->pointsVisible());
  EXPECT_EQ(simulated->pen().style(), Qt::DotLine);
  EXPECT_EQ(simulated->pen().color(), stageColour(kDistributor));
}

TEST(TrialCharts, TeamTrialMarksEveryMembersStageAndDrawsTheTeamChartFirst) {
  const RecordedTrial red = redTrial();
  EXPECT_EQ(trialCharts(red),
            (std::vector<TrialChart>{TrialChart::Team, TrialChart::Inventory, TrialChart::Costs,
                                     TrialChart::CumulativeCosts}));
  EXPECT_EQ(Names(*makeChart(TrialChart::Inventory, red)).mid(0, 4),
            QStringList({"Factory: P07 (member 1)", "Distributor", "Wholesaler",
                         "Retailer: P12 (member 2),<br>Sterman from week 6"}));
  EXPECT_EQ(trialHeading(red),
            "Setting Lab, trial 2: team Red (P07 as Factory, P12 as Retailer), 10 weeks, delay 2");
  const auto costs = makeChart(TrialChart::Costs, red);
  const auto* bars = static_cast<QStackedBarSeries*>(costs->series().first());
  EXPECT_EQ(bars->barSets()[0]->label(), "Factory: P07 (member 1)");
}

// A team of four, two members replaced by Sterman from week 3.
RecordedTrial fourMembersTwoReplaced() {
  const std::vector<RecordedTrial> members =
      teamTrialRecords(teamTrialRows("Red", 2,
                                     {{"P07", kFactory},
                                      {"P08", kDistributor},
                                      {"P09", kWholesaler, "Sterman", 3},
                                      {"P12", kRetailer, "Sterman", 3}}));
  return *playedChains(members).front();
}

void collectTexts(QGraphicsItem* item, QStringList& texts) {
  if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) texts << text->toPlainText();
  for (QGraphicsItem* child : item->childItems()) collectTexts(child, texts);
}

// The texts of a chart laid out at the report's picture size, as drawn.
QStringList drawnTexts(QChart& chart) {
  QGraphicsScene scene;
  scene.addItem(&chart);
  chart.setGeometry(QRectF(0, 0, 800, 450));
  QStringList texts;
  collectTexts(&chart, texts);
  scene.removeItem(&chart);
  return texts;
}

TEST(TrialCharts, LegendsOfATeamTrialShowEveryNameWhole) {
  const RecordedTrial red = fourMembersTwoReplaced();
  for (const TrialChart kind : trialCharts(red)) {
    const auto chart = makeChart(kind, red);
    const QStringList texts = drawnTexts(*chart);
    EXPECT_TRUE(texts.filter(QStringLiteral("...")).isEmpty())
        << static_cast<int>(kind) << ": " << texts.join(QStringLiteral(" | ")).toStdString();
    if (chart->legend()->isVisible()) {
      EXPECT_FALSE(texts.filter(QStringLiteral("Sterman from week 3")).isEmpty() &&
                   texts.filter(QStringLiteral("Sterman (Retailer from week 3)")).isEmpty())
          << static_cast<int>(kind);
    }
  }
}

// Members who order the same amounts: every member's line stays in sight.
TEST(TrialCharts, TeamChartShowsMembersWhoOrderedTheSameAmounts) {
  const std::vector<RecordedTrial> members = teamTrialRecords(teamTrialRows(
      "Red", 2,
      {{"P07", kFactory}, {"P08", kDistributor}, {"P09", kWholesaler}, {"P12", kRetailer}}));
  RecordedTrial same = *playedChains(members).front();
  for (RecordedWeek& week : same.weeks) {
    for (RecordedStage& stage : week.stages) stage.order = 20 + week.week % 3;
  }
  const auto chart = makeChart(TrialChart::Team, same);
  chart->legend()->setVisible(false);  // its markers carry the colours too
  QImage image(800, 450, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  paintChart(*chart, painter, QRectF(0, 0, 800, 450), 800);
  painter.end();
  std::array<int, kRoleCount> pixels{};
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      for (int r = 0; r < kRoleCount; ++r) pixels[r] += image.pixelColor(x, y) == stageColour(r);
    }
  }
  for (int r = 0; r < kRoleCount; ++r) EXPECT_GT(pixels[r], 100) << roleName(r);
}

// A stage whose orders never changed has ratios of 0: its box stands above
// the bottom of the logarithmic axis, and the axis says where 0 is drawn.
TEST(TrialCharts, AmplificationChartDrawsRatiosOfZeroAboveTheAxisEnd) {
  std::array<std::optional<StageSpread>, kRoleCount> spreads;
  StageSpread zeros;
  zeros.values = {0, 0, 0};
  spreads[kFactory] = zeros;
  StageSpread swings;
  swings.values = {0.5, 1, 2};
  swings.low = 0.5;
  swings.q25 = 0.75;
  swings.median = 1;
  swings.q75 = 1.5;
  swings.high = 2;
  spreads[kRetailer] = swings;
  const auto chart = makeAmplificationChart(spreads);
  const auto* axis = static_cast<QLogValueAxis*>(chart->axes(Qt::Vertical).at(0));
  const auto* series = static_cast<QBoxPlotSeries*>(chart->series().at(0));
  const double zero = series->boxSets().at(kFactory)->at(QBoxSet::Median);
  EXPECT_GT(zero, axis->min());
  EXPECT_LT(zero, series->boxSets().at(kRetailer)->at(QBoxSet::LowerExtreme));
  EXPECT_TRUE(axis->titleText().contains("0 drawn at 0.01")) << axis->titleText().toStdString();
}

// One participant left in week 4: the mean goes on over the others.
TEST(TrialCharts, ClassMeanGoesOnPastAParticipantWhoLeftEarly) {
  RecordedTrial left = sampleTrial(1, 0);  // the Wholesaler orders 20 + week
  left.weeks.resize(4);
  const RecordedTrial stayed = sampleTrial(1, 4);
  const RecordedTrial other = sampleTrial(1, 8);
  const std::vector<double> means = meanOrders({&left, &stayed, &other});
  ASSERT_EQ(means.size(), 10u);
  EXPECT_DOUBLE_EQ(means[3], 24.0 + 4.0);  // (24 + 28 + 32) / 3
  EXPECT_DOUBLE_EQ(means[4], 25.0 + 6.0);  // (29 + 33) / 2
}

}  // namespace
}  // namespace quarn::testing
