#pragma once

#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "base/Prompter.h"
#include "game/GameSession.h"
#include "ui/OrderBox.h"
#include "ui/Pictures.h"
#include "ui/ShipmentAnimation.h"
#include "ui/SkipTrainingDialog.h"

namespace quarn {

// The caption of the window as designed; the login adds the setting.
inline constexpr const char* kMainCaption = "Korvi Lab: Quarn Game";

// The display frame (fraDisplay): holds every figure and paints the goods path.
class DisplayFrame : public QFrame {
 public:
  DisplayFrame(QWidget* parent, const std::array<PathLine*, 37>& lines);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const std::array<PathLine*, 37>& m_lines;
};

// The main window (frmMain): renders what the game tells it and forwards the
// participant's and the moderator's input to the game. It owns the shipment
// animation and tells the game when a week's animation is over. The controls
// keep their object names ("cmdOrder", "lblSpent_2", ...) and their twips
// layout.
class MainWindow : public QWidget, public GameView {
  Q_DECLARE_TR_FUNCTIONS(MainWindow)

 public:
  MainWindow(GameSession& session, Prompter& prompter, QWidget* parent = nullptr);

  // GameView.
  void sessionStarted(const std::string& subject, const std::string& setting) override;
  void trainingChanged(bool inTraining) override;
  void trialStarted(const TrialDisplay& trial) override;
  void figuresChanged(const WeekFigures& figures) override;
  void weekOpened(const WeekOpening& week) override;
  void animationStarted(const Shipments& shipments) override;
  void weekReplayed(const Shipments& shipments) override;
  void trainingRestartPending() override;
  void trialEnded() override;
  void trialClosed() override;
  void pauseStarted() override;
  void trainingSkipped() override;
  void gameOver() override;
  void completionLinkShown(const std::string& address) override;
  void teamWaiting(const std::string& waiting) override;
  std::optional<Questionnaire> askQuestionnaire(
      const std::string& subject, const std::optional<Questionnaire>& previous) override;
  void languageChosen(const std::string& language) override;

  // Installs the language a setting names (the application's translations).
  std::function<void(const std::string&)> onLanguageChosen;

 protected:
  // Closing the window asks the game first.
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  // The skip key while a training restart is pending (the order box, where
  // it is typed otherwise, is closed then).
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void captionOrderButton(const char* caption);
  void showCompletionLink();
  void fitCaptions();
  void layOutPlayerRows();
  // A figure and its caption, shown and hidden together.
  struct Figure {
    QLabel* value = nullptr;
    QLabel* tag = nullptr;
    void setVisible(bool visible) const;
  };
  struct RoleControls {
    QGroupBox* frame = nullptr;    // fraRole: picture, name
    QGroupBox* details = nullptr;  // fraDetails: the figures
    Figure order, backorder, inventory, satisfied, demand, cost;
  };

  void buildLayout();
  void buildPath();
  void buildTrucks();
  void buildRoles();
  void buildPlayerPanel();
  void buildClosingScreen();

  void onOrderButtonClicked();
  bool filterOrderKey(const TypedKey& key);
  void onAnimationTick();
  void runPendingRestart();
  void openOrderBox();
  void reopenOrderBox();
  void markParticipantRole(int16_t role);
  void applyDisplayConfiguration(const DisplayConfiguration& config, int16_t delay);
  void showClosingScreen();
  void askExitWhenFree();
  void askExitIfFree();

  GameSession& m_session;
  Prompter& m_prompter;
  std::array<PathLine*, 37> m_path{};
  DisplayFrame* m_display = nullptr;
  std::array<RoleControls, kRoleCount> m_roles{};
  std::array<QFrame*, 12> m_trucks{};
  std::array<QLabel*, 12> m_truckLabels{};
  std::array<Shape*, 3> m_loads{};
  std::array<Shape*, 3> m_transfers{};
  QGroupBox* m_playerFrame = nullptr;
  QLabel* m_subjectLabel = nullptr;
  QLabel* m_trialCounter = nullptr;
  QLabel* m_weekCounter = nullptr;
  OrderBox* m_orderBox = nullptr;
  QPushButton* m_orderButton = nullptr;
  const char* m_orderCaption = "Make Order";  // untranslated
  QGroupBox* m_totalCostFrame = nullptr;
  QLabel* m_totalCost = nullptr;
  QGroupBox* m_forecastFrame = nullptr;
  QLabel* m_forecastWeeks = nullptr;
  QLabel* m_forecast = nullptr;
  QFrame* m_closingScreen = nullptr;
  QLabel* m_completionLink = nullptr;
  QString m_completionAddress;
  QTimer* m_animationTimer = nullptr;
  QLabel* m_teamWaiting = nullptr;
  QTimer* m_teamTimer = nullptr;
  QTimer* m_exitRetryTimer = nullptr;
  std::optional<ShipmentAnimation> m_animation;
  SkipTrainingDialog* m_skipDialog = nullptr;
  bool m_exitPending = false;  // a close request waits for the game to be free
};

}  // namespace quarn
