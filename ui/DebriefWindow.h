#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "ui/TrialCharts.h"

class QComboBox;
class QLabel;
class QPushButton;
class QChartView;

namespace quarn {

// The charts of one participant's trials, for the moderator to go through
// with the participant after the game. The trial is chosen in cboTrial (or
// stepped with cmdPrevious and cmdNext); the charts are the views
// chartOrders, chartInventory, chartParticipant and chartCosts.
class DebriefWindow : public QWidget {
 public:
  DebriefWindow(const std::string& subject, std::vector<RecordedTrial> trials,
                QWidget* parent = nullptr);

  // The index of the trial shown, into the trials given.
  int shownTrial() const { return m_shown; }

 private:
  void showTrial(int index);

  std::vector<RecordedTrial> m_trials;
  int m_shown = -1;
  QComboBox* m_trialBox;
  QPushButton* m_previous;
  QPushButton* m_next;
  QLabel* m_summary;
  std::array<QChartView*, kTrialCharts.size()> m_views{};
};

}  // namespace quarn
