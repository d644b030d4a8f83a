#include "ui/OverviewCharts.h"

#include <QPen>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBoxPlotSeries>
#include <QtCharts/QBoxSet>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/TrialCharts.h"

namespace quarn {

namespace {

std::unique_ptr<QChart> newOverviewChart(const QString& title) {
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

QValueAxis* quantityAxis(const QString& title, double low, double high, const QString& format) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(format);
  const AxisScale scale = quantityScale(low, high);
  axis->setRange(scale.low, scale.high);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(scale.step);
  return axis;
}

}  // namespace

QString amplificationChartTitle() {
  return QStringLiteral(
      "Amplification of the orders at each stage (variance of orders / variance of demand)");
}

std::unique_ptr<QChart> makeAmplificationChart(
    const std::array<std::optional<StageSpread>, kRoleCount>& spreads) {
  auto chart = newOverviewChart(amplificationChartTitle());
  // Ratios run from below 1 to thousands: a logarithmic axis from the power
  // of ten below the smallest ratio above 0 to the one above the largest.
  // A ratio of 0 (orders that never changed) has no place on it: it is
  // drawn a power of ten lower still, above the axis's end, and the axis
  // says so.
  double smallest = 1.0, largest = 1.0;
  bool anyZero = false;
  for (const std::optional<StageSpread>& s : spreads) {
    if (!s) continue;
    for (const double v : s->values) {
      if (v > 0.0) smallest = std::min(smallest, v);
      anyZero = anyZero || v <= 0.0;
    }
    largest = std::max(largest, s->high);
  }
  const double lowest = std::pow(10.0, std::floor(std::log10(smallest)));
  const double zeroAt = lowest / 10.0;
  const double bottom = anyZero ? zeroAt / 2.0 : lowest;
  const double top = std::pow(10.0, std::ceil(std::log10(largest) + 1e-9));
  const auto drawn = [&](double v) { return v > 0.0 ? v : zeroAt; };
  auto* series = new QBoxPlotSeries;
  QStringList stages;
  for (int r = 0; r < kRoleCount; ++r) {
    const QString name = QString::fromStdString(roleName(r));
    stages << name;
    const std::optional<StageSpread>& s = spreads[static_cast<size_t>(r)];
    auto* box = s ? new QBoxSet(drawn(s->low), drawn(s->q25), drawn(s->median), drawn(s->q75),
                                drawn(s->high), name)
                  : new QBoxSet(name);
    box->setBrush(stageColour(r));
    box->setPen(QPen(Qt::black, 1.5));
    series->append(box);
  }
  chart->addSeries(series);
  auto* categories = new QBarCategoryAxis;
  categories->append(stages);
  // Without a single ratio the empty boxes (all 0) have no place on a
  // logarithmic axis: a plain one from 0 to 1 stands empty instead.
  const bool anyRatio =
      std::any_of(spreads.begin(), spreads.end(),
                  [](const std::optional<StageSpread>& s) { return s.has_value(); });
  QAbstractAxis* ratio = nullptr;
  if (anyRatio) {
    auto* logarithmic = new QLogValueAxis;
    logarithmic->setTitleText(
        anyZero ? QStringLiteral("Amplification ratio (logarithmic; 0 drawn at %1)").arg(zeroAt)
                : QStringLiteral("Amplification ratio (logarithmic)"));
    logarithmic->setBase(10.0);
    logarithmic->setLabelFormat(QStringLiteral("%g"));
    logarithmic->setRange(bottom, top);
    logarithmic->setMinorTickCount(0);
    ratio = logarithmic;
  } else {
    ratio = quantityAxis(QStringLiteral("Amplification ratio (no complete trial)"), 0.0, 1.0,
                         QStringLiteral("%g"));
  }
  chart->addAxis(categories, Qt::AlignBottom);
  chart->addAxis(ratio, Qt::AlignLeft);
  series->attachAxis(categories);
  series->attachAxis(ratio);
  chart->legend()->setVisible(false);
  return chart;
}

std::vector<double> meanOrders(const std::vector<const RecordedTrial*>& trials) {
  std::vector<double> means;
  size_t weeks = 0;
  for (const RecordedTrial* t : trials) weeks = std::max(weeks, t->weeks.size());
  for (size_t i = 0; i < weeks; ++i) {
    double sum = 0.0;
    size_t recorded = 0;
    for (const RecordedTrial* t : trials) {
      if (i >= t->weeks.size()) continue;  // a participant who left earlier
      sum += t->weeks[i].stages[static_cast<size_t>(t->participantRole)].order;
      ++recorded;
    }
    means.push_back(sum / static_cast<double>(recorded));
  }
  return means;
}

QString classOrdersChartTitle(const std::vector<const RecordedTrial*>& trials) {
  const RecordedTrial* first = trials.empty() ? nullptr : trials.front();
  return first ? QStringLiteral("Setting %1, trial %2: every participant's orders")
                     .arg(QString::fromStdString(first->setting))
                     .arg(first->trial)
               : QStringLiteral("No participant");
}

std::unique_ptr<QChart> makeClassOrdersChart(const std::vector<const RecordedTrial*>& trials) {
  const RecordedTrial* first = trials.empty() ? nullptr : trials.front();
  auto chart = newOverviewChart(classOrdersChartTitle(trials));
  double low = 0.0, high = 0.0;
  int lastWeek = 2;
  const auto add = [&](QLineSeries* series) {
    for (const QPointF& p : series->points()) {
      high = std::max(high, p.y());
      lastWeek = std::max(lastWeek, static_cast<int>(p.x()));
    }
    chart->addSeries(series);
  };
  if (first) {
    auto* demand = new QLineSeries;
    demand->setName(QStringLiteral("Customer demand"));
    demand->setPen(QPen(Qt::black, 2.0, Qt::DashLine));
    for (size_t i = 0; i < first->weeks.size(); ++i) {
      demand->append(first->weeks[i].week, customerDemand(*first, i));
    }
    add(demand);
  }
  bool named = false;
  for (const RecordedTrial* t : trials) {
    auto* line = new QLineSeries;
    line->setPen(QPen(QColor(0x88, 0x88, 0x88), 1.0));
    for (const RecordedWeek& week : t->weeks) {
      line->append(week.week, week.stages[static_cast<size_t>(t->participantRole)].order);
    }
    add(line);
    if (!named) {
      line->setName(QStringLiteral("Each participant"));
      named = true;
    } else {
      chart->legend()->markers(line).first()->setVisible(false);
    }
  }
  auto* mean = new QLineSeries;
  mean->setName(QStringLiteral("Mean"));
  mean->setPen(QPen(first ? stageColour(first->participantRole) : Qt::blue, 3.5));
  const std::vector<double> means = meanOrders(trials);
  for (size_t i = 0; i < means.size(); ++i) mean->append(static_cast<double>(i + 1), means[i]);
  add(mean);

  auto* weeks = new QValueAxis;
  weeks->setTitleText(QStringLiteral("Week"));
  weeks->setLabelFormat(QStringLiteral("%d"));
  weeks->setRange(1, lastWeek);
  weeks->setTickType(QValueAxis::TicksDynamic);
  weeks->setTickAnchor(0);
  weeks->setTickInterval(lastWeek > 40 ? 10 : lastWeek > 12 ? 2 : 1);
  QValueAxis* units =
      quantityAxis(QStringLiteral("Units ordered"), low, high, QStringLiteral("%d"));
  chart->addAxis(weeks, Qt::AlignBottom);
  chart->addAxis(units, Qt::AlignLeft);
  for (QAbstractSeries* s : chart->series()) {
    s->attachAxis(weeks);
    s->attachAxis(units);
  }
  return chart;
}

}  // namespace quarn
