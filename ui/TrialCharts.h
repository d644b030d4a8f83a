#pragma once

// The charts of one played trial, for the debriefing window and the report:
// the orders of every stage against the customer demand, the inventories
// with the backlog below zero, the participant's orders against the demand
// the participant received, and the trial's costs by stage.

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QtCharts/QChart>
#include <array>
#include <memory>
#include <vector>

#include "analysis/RecordedTrial.h"

class QPainter;

namespace quarn {

enum class TrialChart { Orders, Inventory, Participant, Costs, CumulativeCosts, Team };
inline constexpr std::array<TrialChart, 4> kTrialCharts{TrialChart::Orders, TrialChart::Inventory,
                                                        TrialChart::Participant, TrialChart::Costs};

// The charts of a team trial: the team's orders, each line a person or a
// simulated player, first; the orders by stage would only repeat them.
inline constexpr std::array<TrialChart, 4> kTeamTrialCharts{
    TrialChart::Team, TrialChart::Inventory, TrialChart::Costs, TrialChart::CumulativeCosts};

// The charts of kTrialCharts a trial has: a trial without a participant has
// no participant chart. A team trial has kTeamTrialCharts.
std::vector<TrialChart> trialCharts(const RecordedTrial& trial);

// A short name for files and object names: "orders", "inventory",
// "participant", "costs", "cumulative", "team".
QString chartKey(TrialChart kind);

// A quantity axis from `low` to `high` (data values) on whole, round steps
// with room above the highest value, so that a line at the top stays clear
// of the frame: the range and the step between ticks.
struct AxisScale {
  double low = 0.0;
  double high = 0.0;
  double step = 1.0;
};
AxisScale quantityScale(double low, double high);

// The stage's colour in every chart (readable for colour-blind viewers).
QColor stageColour(int role);

// "Setting Demo, trial 2: participant as Wholesaler, 20 weeks, delay 2";
// of a team trial "Setting Demo, trial 2: team Red (P07 as Factory, P12 as
// Retailer), 20 weeks, delay 2".
QString trialHeading(const RecordedTrial& trial);

// The chart's title, as it stands above the chart.
QString chartTitle(TrialChart kind, const RecordedTrial& trial);

std::unique_ptr<QChart> makeChart(TrialChart kind, const RecordedTrial& trial);

// Draws `chart` into `target` of `painter` (a picture, a PDF page), laid
// out `width` logical pixels wide and scaled to fit, so that a small target
// keeps its labels whole.
void paintChart(QChart& chart, QPainter& painter, const QRectF& target, double width);

// The chart as a picture of `size` pixels on white.
QImage renderChart(TrialChart kind, const RecordedTrial& trial, QSize size);

}  // namespace quarn
