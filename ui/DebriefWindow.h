#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "analysis/RecordedTrial.h"
#include "analysis/StudyOverview.h"
#include "ui/TrialCharts.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QChartView;

namespace quarn {

// The charts of one participant's trials, for the moderator to go through
// with the participant after the game, on a screen or a projector. The trial
// is chosen in cboTrial (or stepped with cmdPrevious and cmdNext, or the
// Left and Right keys); the charts are the views chartOrders,
// chartInventory, chartParticipant (hidden for a trial without a
// participant) and chartCumulative, under one legend of the stages'
// colours (lblLegend). F11 switches full screen on and off, Escape leaves
// it (or closes the window). The fonts follow the window's height, so that
// the charts read from the back of a room.
class DebriefWindow : public QWidget {
 public:
  // `places` gives the participant's place in the class for each trial
  // (empty, or one per trial).
  DebriefWindow(const std::string& subject, std::vector<RecordedTrial> trials,
                std::vector<std::optional<ClassPlace>> places = {}, QWidget* parent = nullptr);

  // The index of the trial shown, into the trials given.
  int shownTrial() const { return m_shown; }

  // The text's size in pixels for a window `height` pixels high.
  static int fontPixels(int height);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showTrial(int index);
  void step(int by);
  void scaleFonts();

  std::vector<RecordedTrial> m_trials;
  std::vector<std::optional<ClassPlace>> m_places;
  int m_shown = -1;
  int m_fontPixels = 0;
  QComboBox* m_trialBox;
  QPushButton* m_previous;
  QPushButton* m_next;
  QLabel* m_summary;
  QLabel* m_legend;
  QGridLayout* m_grid;
  std::array<QChartView*, 4> m_views{};
};

// The lines above the charts: the trial, the costs and the chain's total,
// the place in the class, and how much more the participant's orders
// varied than the customer demand.
QString debriefSummary(const RecordedTrial& trial, const std::optional<ClassPlace>& place);

}  // namespace quarn
