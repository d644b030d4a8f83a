#include "ui/TrialCharts.h"

#include <QCoreApplication>
#include <QGraphicsScene>
#include <QPainter>
#include <QPen>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSet>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

namespace quarn {

namespace {

// A text of the charts in the language in use (English when no translation
// is installed, as for the report).
QString chartText(const char* source) {
  return QCoreApplication::translate("TrialCharts", source);
}

QString stageName(int role) {
  return QCoreApplication::translate("Roles", roleName(role).c_str());
}

// A team member as the charts name it: "P07 (member 1)".
QString memberName(const TeamSeat& seat) {
  return chartText(QT_TRANSLATE_NOOP("TrialCharts", "%1 (member %2)"))
      .arg(QString::fromStdString(seat.subject))
      .arg(seat.member);
}

// Who played a stage that no member played.
QString simulatedName(const RecordedTrial& trial, int role) {
  const std::string& player = trial.players[static_cast<size_t>(role)];
  return player.empty() ? chartText(QT_TRANSLATE_NOOP("TrialCharts", "Simulated"))
                        : QString::fromStdString(player);
}

// The stage's name in a legend, marked when the participant played it; in a
// team trial "Factory: P07 (member 1)", and the simulated player that
// replaced the member from a week on, on a line of its own (a legend's
// labels are HTML) so that a legend keeps the name whole.
QString stageLabel(const RecordedTrial& trial, int role) {
  if (isTeamTrial(trial)) {
    const TeamSeat* seat = seatOf(trial, role);
    if (!seat) return stageName(role);
    QString label = stageName(role) + QStringLiteral(": ") + memberName(*seat);
    if (!seat->player.empty()) {
      label += chartText(QT_TRANSLATE_NOOP("TrialCharts", ",<br>%1 from week %2"))
                   .arg(QString::fromStdString(seat->player))
                   .arg(seat->fromWeek);
    }
    return label;
  }
  return role == trial.participantRole
             ? stageName(role) + chartText(QT_TRANSLATE_NOOP("TrialCharts", " (participant)"))
             : stageName(role);
}

QLineSeries* lineSeries(const QString& name, const QColor& colour,
                        Qt::PenStyle style = Qt::SolidLine) {
  auto* series = new QLineSeries;
  series->setName(name);
  QPen pen(colour);
  pen.setWidthF(2.0);
  pen.setStyle(style);
  series->setPen(pen);
  return series;
}

// A line of one figure of a stage over the recorded weeks.
template <typename Figure>
QLineSeries* stageSeries(const RecordedTrial& trial, int role, const QString& name,
                         const QColor& colour, Figure figure, Qt::PenStyle style = Qt::SolidLine) {
  QLineSeries* series = lineSeries(name, colour, style);
  for (const RecordedWeek& week : trial.weeks) {
    series->append(week.week, figure(week.stages[static_cast<size_t>(role)]));
  }
  return series;
}

// The same over the weeks from `first` up to but not including `end`.
template <typename Figure>
QLineSeries* stageSeriesOfWeeks(const RecordedTrial& trial, int role, const QString& name,
                                const QColor& colour, Figure figure, Qt::PenStyle style, int first,
                                int end) {
  QLineSeries* series = lineSeries(name, colour, style);
  for (const RecordedWeek& week : trial.weeks) {
    if (week.week >= first && week.week < end) {
      series->append(week.week, figure(week.stages[static_cast<size_t>(role)]));
    }
  }
  return series;
}

QLineSeries* customerDemandSeries(const RecordedTrial& trial) {
  return stageSeries(
      trial, roleIndex(Role::Retailer),
      chartText(QT_TRANSLATE_NOOP("TrialCharts", "Customer demand")), Qt::black,
      [](const RecordedStage& s) { return s.demand; }, Qt::DashLine);
}

std::unique_ptr<QChart> newChart(const QString& title) {
  auto chart = std::make_unique<QChart>();
  chart->setTitle(title);
  QFont font = chart->titleFont();
  font.setPointSizeF(font.pointSizeF() * 1.2);
  font.setBold(true);
  chart->setTitleFont(font);
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->setBackgroundRoundness(0);
  chart->setMargins(QMargins(6, 6, 6, 6));
  return chart;
}

// A team trial's stage names carry the members and their stand-ins: in one
// row below the chart they would be cut short, one a line at the right
// they keep whole.
void placeStageLegend(QChart& chart, const RecordedTrial& trial) {
  if (isTeamTrial(trial)) chart.legend()->setAlignment(Qt::AlignRight);
}

void setQuantityScale(QValueAxis& axis, double low, double high) {
  const AxisScale scale = quantityScale(low, high);
  axis.setRange(scale.low, scale.high);
  axis.setTickType(QValueAxis::TicksDynamic);
  axis.setTickAnchor(0);
  axis.setTickInterval(scale.step);
}

// Week axis below, quantity axis at the left with `label`; the quantity
// axis always shows zero, so that stock and backlog read at a glance.
void addWeekAxes(QChart& chart, const RecordedTrial& trial, const QString& label) {
  auto* weeks = new QValueAxis;
  weeks->setTitleText(chartText(QT_TRANSLATE_NOOP("TrialCharts", "Week")));
  weeks->setLabelFormat(QStringLiteral("%d"));
  const int last = trial.weeks.empty() ? 1 : std::max<int>(trial.weeks.back().week, 2);
  weeks->setRange(1, last);
  weeks->setTickType(QValueAxis::TicksDynamic);
  weeks->setTickAnchor(0);
  weeks->setTickInterval(last > 40 ? 10 : last > 12 ? 2 : 1);
  auto* units = new QValueAxis;
  units->setTitleText(label);
  units->setLabelFormat(QStringLiteral("%d"));
  double low = 0.0, high = 0.0;
  for (QAbstractSeries* s : chart.series()) {
    for (const QPointF& p : static_cast<QXYSeries*>(s)->points()) {
      low = std::min(low, p.y());
      high = std::max(high, p.y());
    }
  }
  setQuantityScale(*units, low, high);
  chart.addAxis(weeks, Qt::AlignBottom);
  chart.addAxis(units, Qt::AlignLeft);
  for (QAbstractSeries* s : chart.series()) {
    s->attachAxis(weeks);
    s->attachAxis(units);
  }
}

std::unique_ptr<QChart> ordersChart(const RecordedTrial& trial) {
  auto chart = newChart(chartTitle(TrialChart::Orders, trial));
  // The demand first: a stage that passes it on is drawn over it.
  chart->addSeries(customerDemandSeries(trial));
  for (int r = 0; r < kRoleCount; ++r) {
    chart->addSeries(stageSeries(trial, r, stageLabel(trial, r), stageColour(r),
                                 [](const RecordedStage& s) { return s.order; }));
  }
  addWeekAxes(*chart, trial, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Units ordered")));
  return chart;
}

// The members on the stages after `role`.
int membersAfter(const RecordedTrial& trial, int role) {
  int count = 0;
  for (int r = role + 1; r < kRoleCount; ++r) count += seatOf(trial, r) != nullptr;
  return count;
}

// The team's orders as the classic picture of a team: one line a person,
// bold with a marker each week, one a simulated player, dotted, each in its
// stage's colour, over the customer demand. A replaced member's line ends
// where the simulated player's begins.
std::unique_ptr<QChart> teamChart(const RecordedTrial& trial) {
  auto chart = newChart(chartTitle(TrialChart::Team, trial));
  chart->addSeries(customerDemandSeries(trial));
  const auto order = [](const RecordedStage& s) { return s.order; };
  constexpr int kAllWeeks = 1 << 16;
  for (int r = 0; r < kRoleCount; ++r) {
    const TeamSeat* seat = seatOf(trial, r);
    if (!seat) {
      chart->addSeries(stageSeriesOfWeeks(trial, r,
                                          chartText(QT_TRANSLATE_NOOP("TrialCharts", "%1 (%2)"))
                                              .arg(simulatedName(trial, r), stageName(r)),
                                          stageColour(r), order, Qt::DotLine, 1, kAllWeeks));
      continue;
    }
    const int replacedFrom = seat->player.empty() ? kAllWeeks : seat->fromWeek;
    QLineSeries* person =
        stageSeriesOfWeeks(trial, r,
                           chartText(QT_TRANSLATE_NOOP("TrialCharts", "%1 (%2, member %3)"))
                               .arg(QString::fromStdString(seat->subject), stageName(r))
                               .arg(seat->member),
                           stageColour(r), order, Qt::SolidLine, 1, replacedFrom);
    // Each later member's line is thinner, with smaller markers: where
    // members ordered the same, the earlier ones show round it.
    const double laterMembers = static_cast<double>(membersAfter(trial, r));
    QPen pen = person->pen();
    pen.setWidthF(3.0 + laterMembers);
    person->setPen(pen);
    person->setPointsVisible(true);
    person->setMarkerSize(5.0 + 2.5 * laterMembers);
    chart->addSeries(person);
    if (!seat->player.empty()) {
      chart->addSeries(
          stageSeriesOfWeeks(trial, r,
                             chartText(QT_TRANSLATE_NOOP("TrialCharts", "%1 (%2 from week %3)"))
                                 .arg(QString::fromStdString(seat->player), stageName(r))
                                 .arg(seat->fromWeek),
                             stageColour(r), order, Qt::DotLine, replacedFrom, kAllWeeks));
    }
  }
  addWeekAxes(*chart, trial, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Units ordered")));
  // Up to seven names: in one row below they would be cut short.
  chart->legend()->setAlignment(Qt::AlignRight);
  return chart;
}

std::unique_ptr<QChart> inventoryChart(const RecordedTrial& trial) {
  auto chart = newChart(chartTitle(TrialChart::Inventory, trial));
  for (int r = 0; r < kRoleCount; ++r) {
    chart->addSeries(stageSeries(trial, r, stageLabel(trial, r), stageColour(r),
                                 [](const RecordedStage& s) { return s.inventory; }));
  }
  QLineSeries* zero =
      lineSeries(chartText(QT_TRANSLATE_NOOP("TrialCharts", "Zero")), Qt::gray, Qt::DotLine);
  if (!trial.weeks.empty()) {
    zero->append(trial.weeks.front().week, 0);
    zero->append(trial.weeks.back().week, 0);
  }
  chart->addSeries(zero);
  addWeekAxes(*chart, trial, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Net inventory (units)")));
  // The zero line needs no legend entry.
  chart->legend()->markers(zero).first()->setVisible(false);
  placeStageLegend(*chart, trial);
  return chart;
}

std::unique_ptr<QChart> participantChart(const RecordedTrial& trial) {
  const int role = trial.participantRole;
  if (role == kNoParticipant) {
    auto chart = newChart(chartTitle(TrialChart::Participant, trial));
    addWeekAxes(*chart, trial, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Units")));
    return chart;
  }
  auto chart = newChart(chartTitle(TrialChart::Participant, trial));
  // The demand first and the orders over it with a marker on every week, so
  // that orders equal to the demand stay in sight.
  chart->addSeries(stageSeries(
      trial, role, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Demand received")), Qt::black,
      [](const RecordedStage& s) { return s.demand; }, Qt::DashLine));
  QLineSeries* orders =
      stageSeries(trial, role, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Orders placed")),
                  stageColour(role), [](const RecordedStage& s) { return s.order; });
  orders->setPointsVisible(true);
  orders->setMarkerSize(6.0);
  chart->addSeries(orders);
  addWeekAxes(*chart, trial, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Units")));
  return chart;
}

// One bar per stage in the stage's colour: a stacked series whose sets hold
// one stage each.
std::unique_ptr<QChart> costChart(const RecordedTrial& trial) {
  auto chart = newChart(chartTitle(TrialChart::Costs, trial));
  auto* series = new QStackedBarSeries;
  QStringList categories;
  double high = 0.0;
  for (int r = 0; r < kRoleCount; ++r) {
    const int32_t cost =
        trial.weeks.empty() ? 0 : trial.weeks.back().stages[static_cast<size_t>(r)].totalCost;
    const TeamSeat* seat = seatOf(trial, r);
    categories << (seat ? QStringLiteral("%1<br>(%2) %3")
                              .arg(stageName(r), QString::fromStdString(seat->subject))
                              .arg(cost)
                        : QStringLiteral("%1 %2").arg(stageName(r)).arg(cost));
    auto* set = new QBarSet(stageLabel(trial, r));
    set->setColor(stageColour(r));
    set->setBorderColor(stageColour(r));
    for (int i = 0; i < kRoleCount; ++i) *set << (i == r ? cost : 0);
    series->append(set);
    high = std::max<double>(high, cost);
  }
  series->setBarWidth(0.6);
  chart->addSeries(series);
  auto* stages = new QBarCategoryAxis;
  stages->append(categories);
  auto* costs = new QValueAxis;
  costs->setTitleText(chartText(QT_TRANSLATE_NOOP("TrialCharts", "Total cost")));
  costs->setLabelFormat(QStringLiteral("%d"));
  setQuantityScale(*costs, 0, high);
  chart->addAxis(stages, Qt::AlignBottom);
  chart->addAxis(costs, Qt::AlignLeft);
  series->attachAxis(stages);
  series->attachAxis(costs);
  chart->legend()->setVisible(false);
  return chart;
}

// Each stage's cost so far, week by week, and the chain's in bold black.
std::unique_ptr<QChart> cumulativeCostChart(const RecordedTrial& trial) {
  auto chart = newChart(chartTitle(TrialChart::CumulativeCosts, trial));
  for (int r = 0; r < kRoleCount; ++r) {
    chart->addSeries(stageSeries(trial, r, stageLabel(trial, r), stageColour(r),
                                 [](const RecordedStage& s) { return s.totalCost; }));
  }
  QLineSeries* chain = lineSeries(chartText(QT_TRANSLATE_NOOP("TrialCharts", "Chain")), Qt::black);
  QPen pen = chain->pen();
  pen.setWidthF(3.5);
  chain->setPen(pen);
  for (const RecordedWeek& week : trial.weeks) {
    int64_t sum = 0;
    for (const RecordedStage& stage : week.stages) sum += stage.totalCost;
    chain->append(week.week, static_cast<double>(sum));
  }
  chart->addSeries(chain);
  addWeekAxes(*chart, trial, chartText(QT_TRANSLATE_NOOP("TrialCharts", "Cost so far")));
  placeStageLegend(*chart, trial);
  return chart;
}

}  // namespace

std::vector<TrialChart> trialCharts(const RecordedTrial& trial) {
  if (isTeamTrial(trial)) return {kTeamTrialCharts.begin(), kTeamTrialCharts.end()};
  std::vector<TrialChart> kinds;
  for (const TrialChart kind : kTrialCharts) {
    if (kind != TrialChart::Participant || hasParticipant(trial.participantRole)) {
      kinds.push_back(kind);
    }
  }
  return kinds;
}

AxisScale quantityScale(double low, double high) {
  // About five steps of 1, 2 or 5 times a power of ten, never below 1: the
  // figures are whole units.
  const double span = std::max(high - low, 1.0);
  const double raw = span / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= raw) break;
  }
  step = std::max(step, 1.0);
  AxisScale scale;
  scale.step = step;
  scale.low = std::floor(low / step) * step;
  // A step of room above the highest value when it lies on (or just under)
  // a tick.
  scale.high = std::ceil(high / step) * step;
  if (scale.high - high < 0.05 * (scale.high - scale.low) || scale.high <= scale.low) {
    scale.high += step;
  }
  return scale;
}

QString chartKey(TrialChart kind) {
  switch (kind) {
    case TrialChart::Orders:
      return QStringLiteral("orders");
    case TrialChart::Inventory:
      return QStringLiteral("inventory");
    case TrialChart::Participant:
      return QStringLiteral("participant");
    case TrialChart::CumulativeCosts:
      return QStringLiteral("cumulative");
    case TrialChart::Team:
      return QStringLiteral("team");
    case TrialChart::Costs:
      break;
  }
  return QStringLiteral("costs");
}

QColor stageColour(int role) {
  static const std::array<QColor, kRoleCount> colours{
      QColor(0x00, 0x72, 0xB2), QColor(0xE6, 0x9F, 0x00), QColor(0x00, 0x9E, 0x73),
      QColor(0xCC, 0x79, 0xA7)};
  return colours[static_cast<size_t>(std::clamp(role, 0, kRoleCount - 1))];
}

namespace {

// "team Red (P07 as Factory, P12 as Retailer)".
QString teamText(const RecordedTrial& trial) {
  QStringList members;
  for (const TeamSeat& seat : trial.seats) {
    if (!hasParticipant(seat.role)) continue;
    members << chartText(QT_TRANSLATE_NOOP("TrialCharts", "%1 as %2"))
                   .arg(QString::fromStdString(seat.subject), stageName(seat.role));
  }
  return chartText(QT_TRANSLATE_NOOP("TrialCharts", "team %1 (%2)"))
      .arg(QString::fromStdString(trial.team), members.join(QStringLiteral(", ")));
}

}  // namespace

QString trialHeading(const RecordedTrial& trial) {
  const QString who = isTeamTrial(trial) ? teamText(trial)
                      : trial.participantRole == kNoParticipant
                          ? chartText(QT_TRANSLATE_NOOP("TrialCharts", "no participant"))
                          : chartText(QT_TRANSLATE_NOOP("TrialCharts", "participant as %1"))
                                .arg(stageName(trial.participantRole));
  return chartText(QT_TRANSLATE_NOOP("TrialCharts", "Setting %1, trial %2: %3, %4 weeks, delay %5"))
      .arg(QString::fromStdString(trial.setting))
      .arg(trial.trial)
      .arg(who)
      .arg(trial.weeks.size())
      .arg(trial.delay);
}

QString chartTitle(TrialChart kind, const RecordedTrial& trial) {
  switch (kind) {
    case TrialChart::Orders:
      return chartText(QT_TRANSLATE_NOOP("TrialCharts", "Orders of each stage per week"));
    case TrialChart::Inventory:
      return chartText(QT_TRANSLATE_NOOP("TrialCharts",
                                         "Inventory of each stage per week (backlog below zero)"));
    case TrialChart::Participant:
      return trial.participantRole == kNoParticipant
                 ? chartText(QT_TRANSLATE_NOOP("TrialCharts", "No participant in this trial"))
                 : chartText(
                       QT_TRANSLATE_NOOP("TrialCharts",
                                         "The participant's orders (%1) and the demand received"))
                       .arg(stageName(trial.participantRole));
    case TrialChart::CumulativeCosts:
      return chartText(
          QT_TRANSLATE_NOOP("TrialCharts", "Cost so far of each stage and of the chain"));
    case TrialChart::Team:
      return chartText(QT_TRANSLATE_NOOP(
          "TrialCharts", "The team's orders per week: each line a person or a simulated player"));
    case TrialChart::Costs:
      break;
  }
  if (isTeamTrial(trial)) {
    return chartText(QT_TRANSLATE_NOOP("TrialCharts", "Cost of each stage over the trial"));
  }
  return trial.participantRole == kNoParticipant
             ? chartText(QT_TRANSLATE_NOOP("TrialCharts", "Cost of each stage over the trial"))
             : chartText(QT_TRANSLATE_NOOP("TrialCharts",
                                           "Cost of each stage over the trial (participant: %1)"))
                   .arg(stageName(trial.participantRole));
}

std::unique_ptr<QChart> makeChart(TrialChart kind, const RecordedTrial& trial) {
  switch (kind) {
    case TrialChart::Orders:
      return ordersChart(trial);
    case TrialChart::Inventory:
      return inventoryChart(trial);
    case TrialChart::Participant:
      return participantChart(trial);
    case TrialChart::CumulativeCosts:
      return cumulativeCostChart(trial);
    case TrialChart::Team:
      return teamChart(trial);
    case TrialChart::Costs:
      break;
  }
  return costChart(trial);
}

void paintChart(QChart& chart, QPainter& painter, const QRectF& target, double width) {
  QGraphicsScene scene;
  scene.addItem(&chart);
  chart.setGeometry(QRectF(0, 0, width, width * target.height() / target.width()));
  scene.setSceneRect(chart.geometry());
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  scene.render(&painter, target, chart.geometry());
  painter.restore();
  scene.removeItem(&chart);  // the caller owns the chart
}

QImage renderChart(TrialChart kind, const RecordedTrial& trial, QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  std::unique_ptr<QChart> chart = makeChart(kind, trial);
  paintChart(*chart, painter, QRectF(QPointF(0, 0), QSizeF(size)), size.width());
  return image;
}

}  // namespace quarn
