#include "ui/DebriefWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

#include "analysis/Measures.h"

namespace quarn {

namespace {

QString summaryText(const RecordedTrial& trial) {
  const TrialMeasures m = measureTrial(trial);
  QStringList costs;
  for (size_t r = 0; r < kRoleCount; ++r) {
    costs << QStringLiteral("%1 %2")
                 .arg(QString::fromStdString(roleName(static_cast<int>(r))))
                 .arg(m.stages[r].totalCost);
  }
  QString text =
      trialHeading(trial) + QStringLiteral(". Costs: ") + costs.join(QStringLiteral(", "));
  if (trial.participantRole != kNoParticipant) {
    const StageMeasures& own = m.stages[static_cast<size_t>(trial.participantRole)];
    if (own.amplification) {
      text += QStringLiteral(
                  ". The participant's orders varied %1 times as much as the customer demand")
                  .arg(*own.amplification, 0, 'f', 1);
    }
  }
  return text + QStringLiteral(".");
}

}  // namespace

DebriefWindow::DebriefWindow(const std::string& subject, std::vector<RecordedTrial> trials,
                             QWidget* parent)
    : QWidget(parent), m_trials(std::move(trials)) {
  setObjectName(QStringLiteral("frmDebrief"));
  setWindowTitle(
      QStringLiteral("Quarn Game: debriefing of %1").arg(QString::fromStdString(subject)));

  m_trialBox = new QComboBox;
  m_trialBox->setObjectName(QStringLiteral("cboTrial"));
  for (const RecordedTrial& t : m_trials) {
    m_trialBox->addItem(
        QStringLiteral("%1, trial %2").arg(QString::fromStdString(t.setting)).arg(t.trial));
  }
  m_previous = new QPushButton(QStringLiteral("Previous trial"));
  m_previous->setObjectName(QStringLiteral("cmdPrevious"));
  m_next = new QPushButton(QStringLiteral("Next trial"));
  m_next->setObjectName(QStringLiteral("cmdNext"));
  m_summary = new QLabel;
  m_summary->setObjectName(QStringLiteral("lblSummary"));
  m_summary->setWordWrap(true);

  auto* choose = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("&Trial:"));
  label->setBuddy(m_trialBox);
  choose->addWidget(label);
  choose->addWidget(m_trialBox, 1);
  choose->addWidget(m_previous);
  choose->addWidget(m_next);

  auto* grid = new QGridLayout;
  for (size_t i = 0; i < kTrialCharts.size(); ++i) {
    m_views[i] = new QChartView;
    m_views[i]->setObjectName(
        QStringLiteral("chart") +
        chartKey(kTrialCharts[i]).replace(0, 1, chartKey(kTrialCharts[i]).at(0).toUpper()));
    m_views[i]->setRenderHint(QPainter::Antialiasing);
    m_views[i]->setMinimumSize(420, 260);
    grid->addWidget(m_views[i], static_cast<int>(i / 2), static_cast<int>(i % 2));
  }

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choose);
  layout->addWidget(m_summary);
  layout->addLayout(grid, 1);
  resize(1200, 800);

  connect(m_trialBox, &QComboBox::currentIndexChanged, this,
          [this](int index) { showTrial(index); });
  connect(m_previous, &QPushButton::clicked, this,
          [this] { m_trialBox->setCurrentIndex(m_trialBox->currentIndex() - 1); });
  connect(m_next, &QPushButton::clicked, this,
          [this] { m_trialBox->setCurrentIndex(m_trialBox->currentIndex() + 1); });
  showTrial(m_trials.empty() ? -1 : 0);
}

void DebriefWindow::showTrial(int index) {
  if (index < 0 || static_cast<size_t>(index) >= m_trials.size()) {
    m_summary->setText(QStringLiteral("No experiment trial is recorded."));
    m_previous->setEnabled(false);
    m_next->setEnabled(false);
    return;
  }
  m_shown = index;
  const RecordedTrial& trial = m_trials[static_cast<size_t>(index)];
  for (size_t i = 0; i < kTrialCharts.size(); ++i) {
    QChart* old = m_views[i]->chart();
    m_views[i]->setChart(makeChart(kTrialCharts[i], trial).release());  // the view owns it
    delete old;
  }
  m_summary->setText(summaryText(trial));
  m_previous->setEnabled(index > 0);
  m_next->setEnabled(static_cast<size_t>(index) + 1 < m_trials.size());
}

}  // namespace quarn
