#include "ui/DebriefWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <algorithm>
#include <cmath>

#include "analysis/Measures.h"

namespace quarn {

namespace {

// The charts of the window, in the grid's order.
constexpr std::array<TrialChart, 4> kDebriefCharts{TrialChart::Orders, TrialChart::Inventory,
                                                   TrialChart::Participant,
                                                   TrialChart::CumulativeCosts};

// What a chart's title loses of the chart's width: the chart's margins and
// the space the title item keeps free on either side.
constexpr int kTitleMargin = 64;

QString text(const char* source) {
  return QCoreApplication::translate("DebriefWindow", source);
}

QString stageName(int role) {
  return QCoreApplication::translate("Roles", roleName(role).c_str());
}

// Titles short enough for 18-pixel text in half of a 1024-pixel screen.
QString debriefTitle(TrialChart kind, const RecordedTrial& trial) {
  switch (kind) {
    case TrialChart::Orders:
      return text(QT_TRANSLATE_NOOP("DebriefWindow", "Orders of each stage"));
    case TrialChart::Inventory:
      return text(QT_TRANSLATE_NOOP("DebriefWindow", "Inventory (backlog below zero)"));
    case TrialChart::Participant:
      if (!hasParticipant(trial.participantRole)) break;
      return text(QT_TRANSLATE_NOOP("DebriefWindow", "%1 (participant): orders and demand"))
          .arg(stageName(trial.participantRole));
    case TrialChart::CumulativeCosts:
      return text(QT_TRANSLATE_NOOP("DebriefWindow", "Cost so far: stages and chain"));
    case TrialChart::Team:
    case TrialChart::Costs:
      break;
  }
  return chartTitle(kind, trial);
}

// One legend for the stage lines of every chart: the colours are the same
// in each.
QString legendText(const RecordedTrial& trial) {
  QStringList entries;
  for (int r = 0; r < kRoleCount; ++r) {
    QString name = stageName(r);
    if (r == trial.participantRole)
      name = text(QT_TRANSLATE_NOOP("DebriefWindow", "%1 (participant)")).arg(name);
    entries << QStringLiteral("<span style=\"color:%1\">&#9632;</span>&nbsp;%2")
                   .arg(stageColour(r).name(), name.toHtmlEscaped());
  }
  entries << text(QT_TRANSLATE_NOOP("DebriefWindow", "- - customer demand")).toHtmlEscaped()
          << QStringLiteral("<b>&#9473;</b>&nbsp;") +
                 text(QT_TRANSLATE_NOOP("DebriefWindow", "chain")).toHtmlEscaped();
  return entries.join(QStringLiteral("&nbsp;&nbsp;&nbsp; "));
}

// The chart's fonts at `pixels`, its title shrunk until it fits a chart
// `width` wide (the title has the width less the chart's margins).
void scaleChartFonts(QChart& chart, int pixels, int width) {
  QFont title = chart.titleFont();
  title.setPixelSize(static_cast<int>(std::lround(pixels * 1.1)));
  while (title.pixelSize() > 8 &&
         QFontMetrics(title).horizontalAdvance(chart.title()) > width - kTitleMargin) {
    title.setPixelSize(title.pixelSize() - 1);
  }
  chart.setTitleFont(title);
  QFont labels = chart.legend()->font();
  labels.setPixelSize(std::max(8, static_cast<int>(std::lround(pixels * 0.85))));
  chart.legend()->setFont(labels);
  for (QAbstractAxis* axis : chart.axes()) {
    axis->setLabelsFont(labels);
    axis->setTitleFont(labels);
  }
}

}  // namespace

QString debriefSummary(const RecordedTrial& trial, const std::optional<ClassPlace>& place) {
  const TrialMeasures m = measureTrial(trial);
  QStringList costs;
  for (size_t r = 0; r < kRoleCount; ++r) {
    costs << QStringLiteral("%1 %2").arg(stageName(static_cast<int>(r))).arg(m.stages[r].totalCost);
  }
  QStringList lines = {trialHeading(trial) + QStringLiteral("."),
                       text(QT_TRANSLATE_NOOP("DebriefWindow", "Costs: %1. Chain total: %2."))
                           .arg(costs.join(QStringLiteral(", ")))
                           .arg(chainCost(trial))};
  if (place) {
    lines << text(QT_TRANSLATE_NOOP("DebriefWindow",
                                    "Place in the class: %1 of %2 (the lowest cost first)."))
                 .arg(place->rank)
                 .arg(place->ranked);
  }
  if (hasParticipant(trial.participantRole)) {
    const StageMeasures& own = m.stages[static_cast<size_t>(trial.participantRole)];
    if (own.amplification) {
      lines << text(QT_TRANSLATE_NOOP(
                        "DebriefWindow",
                        "The participant's orders varied %1 times as much as the customer demand "
                        "(standard deviation)."))
                   .arg(QLocale().toString(std::sqrt(*own.amplification), 'f', 1));
    }
  }
  return lines.join(QLatin1Char('\n'));
}

int DebriefWindow::fontPixels(int height) {
  // 768 pixels high gives 18-pixel text: readable from the back of a
  // seminar room on a projector.
  return std::clamp(height * 18 / 768, 11, 40);
}

DebriefWindow::DebriefWindow(const std::string& subject, std::vector<RecordedTrial> trials,
                             std::vector<std::optional<ClassPlace>> places, QWidget* parent)
    : QWidget(parent), m_trials(std::move(trials)), m_places(std::move(places)) {
  setObjectName(QStringLiteral("frmDebrief"));
  setWindowTitle(text(QT_TRANSLATE_NOOP("DebriefWindow", "Quarn Game: debriefing of %1"))
                     .arg(QString::fromStdString(subject)));
  m_places.resize(m_trials.size());

  m_trialBox = new QComboBox;
  m_trialBox->setObjectName(QStringLiteral("cboTrial"));
  for (const RecordedTrial& t : m_trials) {
    m_trialBox->addItem(text(QT_TRANSLATE_NOOP("DebriefWindow", "%1, trial %2"))
                            .arg(QString::fromStdString(t.setting))
                            .arg(t.trial));
  }
  m_previous = new QPushButton(text(QT_TRANSLATE_NOOP("DebriefWindow", "Previous trial")));
  m_previous->setObjectName(QStringLiteral("cmdPrevious"));
  m_next = new QPushButton(text(QT_TRANSLATE_NOOP("DebriefWindow", "Next trial")));
  m_next->setObjectName(QStringLiteral("cmdNext"));
  // A click on a button or a chart leaves the keys where they were: a
  // focused button or chart view would take the arrow keys for itself.
  m_previous->setFocusPolicy(Qt::NoFocus);
  m_next->setFocusPolicy(Qt::NoFocus);
  m_summary = new QLabel;
  m_summary->setObjectName(QStringLiteral("lblSummary"));
  m_summary->setWordWrap(true);
  m_legend = new QLabel;
  m_legend->setObjectName(QStringLiteral("lblLegend"));
  m_legend->setTextFormat(Qt::RichText);
  m_legend->setWordWrap(true);

  auto* choose = new QHBoxLayout;
  auto* label = new QLabel(text(QT_TRANSLATE_NOOP("DebriefWindow", "&Trial:")));
  label->setBuddy(m_trialBox);
  choose->addWidget(label);
  choose->addWidget(m_trialBox, 1);
  choose->addWidget(m_previous);
  choose->addWidget(m_next);

  m_grid = new QGridLayout;
  auto* grid = m_grid;
  for (size_t i = 0; i < kDebriefCharts.size(); ++i) {
    const QString key = chartKey(kDebriefCharts[i]);
    m_views[i] = new QChartView;
    m_views[i]->setObjectName(QStringLiteral("chart") + key.at(0).toUpper() + key.mid(1));
    m_views[i]->setRenderHint(QPainter::Antialiasing);
    // The views take what the grid gives them: the charts' own wishes
    // (titles and labels at projector size) must not widen the window
    // beyond the screen.
    m_views[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_views[i]->setMinimumSize(240, 160);
    m_views[i]->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(m_views[i], static_cast<int>(i / 2), static_cast<int>(i % 2));
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choose);
  layout->addWidget(m_summary);
  layout->addWidget(m_legend);
  layout->addLayout(grid, 1);
  // 1200 x 800, or the screen's room where it has less (a 1024 x 768
  // projector).
  const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1200, 800);
  resize(std::min(1200, room.width()), std::min(800, room.height()));

  connect(m_trialBox, &QComboBox::currentIndexChanged, this,
          [this](int index) { showTrial(index); });
  connect(m_previous, &QPushButton::clicked, this, [this] { step(-1); });
  connect(m_next, &QPushButton::clicked, this, [this] { step(1); });
  showTrial(m_trials.empty() ? -1 : 0);
}

void DebriefWindow::step(int by) {
  const int index = m_trialBox->currentIndex() + by;
  if (index >= 0 && index < m_trialBox->count()) m_trialBox->setCurrentIndex(index);
}

void DebriefWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F11:
      if (isFullScreen()) {
        showNormal();
      } else {
        showFullScreen();
      }
      return;
    case Qt::Key_Escape:
      if (isFullScreen()) {
        showNormal();
      } else {
        close();
      }
      return;
    case Qt::Key_Left:
    case Qt::Key_PageUp:
      step(-1);
      return;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
      step(1);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void DebriefWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  scaleFonts();
}

void DebriefWindow::scaleFonts() {
  const int pixels = fontPixels(height());
  if (pixels != m_fontPixels) {
    m_fontPixels = pixels;
    QFont f = font();
    f.setPixelSize(pixels);
    setFont(f);  // the children take it
  }
  // Half the window is what each chart has (the grid's spacing aside);
  // the views themselves may not be laid out yet.
  const int chartWidth = std::max(240, width() / 2 - 20);
  for (QChartView* view : m_views) {
    if (view->chart()) scaleChartFonts(*view->chart(), m_fontPixels, chartWidth);
  }
}

void DebriefWindow::showTrial(int index) {
  if (index < 0 || static_cast<size_t>(index) >= m_trials.size()) {
    m_summary->setText(
        text(QT_TRANSLATE_NOOP("DebriefWindow", "No experiment trial is recorded.")));
    m_previous->setEnabled(false);
    m_next->setEnabled(false);
    return;
  }
  m_shown = index;
  const RecordedTrial& trial = m_trials[static_cast<size_t>(index)];
  for (size_t i = 0; i < kDebriefCharts.size(); ++i) {
    QChart* old = m_views[i]->chart();
    std::unique_ptr<QChart> chart = makeChart(kDebriefCharts[i], trial);
    chart->setTitle(debriefTitle(kDebriefCharts[i], trial));
    // The stage lines are named in the one legend above the charts.
    if (kDebriefCharts[i] != TrialChart::Participant) chart->legend()->setVisible(false);
    m_views[i]->setChart(chart.release());  // the view owns it
    delete old;
    m_views[i]->setVisible(kDebriefCharts[i] != TrialChart::Participant ||
                           hasParticipant(trial.participantRole));
  }
  // Without the participant's chart the cumulative costs take the whole
  // lower row rather than leave a quarter of the screen empty.
  QChartView* cumulative = m_views.back();
  m_grid->removeWidget(cumulative);
  if (hasParticipant(trial.participantRole)) {
    m_grid->addWidget(cumulative, 1, 1);
  } else {
    m_grid->addWidget(cumulative, 1, 0, 1, 2);
  }
  m_summary->setText(debriefSummary(trial, m_places[static_cast<size_t>(index)]));
  m_legend->setText(legendText(trial));
  m_previous->setEnabled(index > 0);
  m_next->setEnabled(static_cast<size_t>(index) + 1 < m_trials.size());
  scaleFonts();
}

}  // namespace quarn
