#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "record/Game.h"
#include "record/TrialWindow.h"
#include "ui/Pictures.h"
#include "ui/Twips.h"

namespace quarn {

class frmMain;

// The caption of the window as designed; the start-up appends the setting.
inline constexpr const char* kMainCaption = "Korvi Lab: Quarn Game";

// What the main window needs from the windows and the start-up around it.
// A hook left empty is skipped.
struct MainWindowHooks {
  std::function<void()> Startup;       // the start-up again, after a refused trial start
  std::function<void()> ShowPassword;  // the skip-training password window, not modal
  std::function<void()> ShowPause;     // the pause window, modal: returns once it is closed
  std::function<bool()> ConfirmExit;   // the unload question: true cancels the close
};

// The display frame: holds every figure and paints the goods path.
class DisplayFrame : public QFrame {
 public:
  explicit DisplayFrame(QWidget* parent);
  const std::array<PathLine*, 37>* lines = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The order box; passes its keys through frmMain::txtOrder_KeyPress.
class OrderBox : public QLineEdit {
 public:
  OrderBox(frmMain& form, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  frmMain& form_;
};

// Shipment geometry, recomputed at every trial start (twips).
struct ShipmentGeometry {
  int16_t ShipmentPathLength = 0;
  int16_t AnimationTickBase = 0;
  int16_t TruckSlotMargin = 0;
};

// The main window. Controls keep their names (objectName, with "_index" for
// control arrays) and their twips layout.
class frmMain : public QWidget, public TrialWindow {
 public:
  explicit frmMain(Game& game, QWidget* parent = nullptr);

  Game& game;
  MainWindowHooks hooks;

  // Form variables.
  int16_t LoadPathLength = 0;
  int16_t AnimationTicksLeft = 0;
  ShipmentGeometry geometry;

  // Controls.
  DisplayFrame* fraDisplay = nullptr;
  // The closing screen after the game; holds the order button then.
  QFrame* fraClosing = nullptr;
  QLabel* lblClosing = nullptr;
  QLabel* lblAlertModerator = nullptr;
  std::array<QFrame*, 12> fraTruck{};
  std::array<PictureBox*, 12> imgTruck{};
  std::array<QLabel*, 12> lblTruck{};
  std::array<QLabel*, 12> lblIndex{};
  std::array<QGroupBox*, 4> fraRole{};
  std::array<PictureBox*, 4> imgRole{};
  std::array<QLabel*, 4> lblRole{};
  std::array<QLabel*, 4> tagCost{};
  std::array<QLabel*, 4> lblSpent{};
  std::array<QGroupBox*, 4> fraDetails{};
  std::array<QLabel*, 4> lblOrder{}, tagOrder{};
  std::array<QLabel*, 4> lblBackOrder{}, tagBackOrder{};
  std::array<QLabel*, 4> lblInventory{}, tagInventory{};
  std::array<QLabel*, 4> lblSatisfied{}, tagSatisfied{};
  std::array<QLabel*, 4> lblDemand{}, tagDemand{};
  QGroupBox* fraPlayer = nullptr;
  QLabel* lblName = nullptr;
  QLabel* lblSubject = nullptr;
  QLabel* tagTrial = nullptr;
  QLabel* lblTrial = nullptr;
  QLabel* tagWeek = nullptr;
  QLabel* lblWeek = nullptr;
  OrderBox* txtOrder = nullptr;
  QPushButton* cmdOrder = nullptr;
  QGroupBox* fraTotalCost = nullptr;
  QLabel* lblTotalCost = nullptr;
  QLabel* tagTotalCost = nullptr;
  QGroupBox* fraPredictor = nullptr;
  QLabel* lblPrefix = nullptr;
  QLabel* lblPredictWeeks = nullptr;
  QLabel* lblSuffix = nullptr;
  QLabel* lblPredict = nullptr;
  std::array<Shape*, 3> shpLoad{};
  std::array<Shape*, 3> shpTransfer{};
  QTimer* tmrAnimation = nullptr;
  std::array<PathLine*, 37> linPath{};

  // TrialWindow.
  void StartTrial() override;
  void SetOrderCaption(const std::string& caption) override;
  void SetPlayerCaption(const std::string& caption) override;
  void ShowClosingScreen() override;
  void ApplyDisplayConfiguration(const std::string& name) override;

  // Event handlers.
  void cmdOrder_Click();
  // Returns the key code to pass on to the box, 0 to swallow the key.
  int txtOrder_KeyPress(int keyAscii);
  void txtOrder_Change();
  void tmrAnimation_Timer();

  // linPath(5)'s length, read once the window is laid out (start-up).
  void SetLoadPathLength();

  // Closing the window asks ConfirmExit first.
  void closeEvent(QCloseEvent* event) override;

  // Plays the failed training trial again once the event loop has run, so
  // that restarts never nest, however often a trial fails before any order.
  // Meanwhile no order can be given; the skip key and closing the window
  // still work.
  void RestartTrainingTrial();
  bool RestartPending() const { return restartPending_; }

  // Outlines the participant's role and figures (none for -1).
  void MarkParticipantRole(int16_t role);

 protected:
  // The skip key while a training restart is pending (the order box, where
  // it is typed otherwise, is closed then).
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildLayout();
  void BuildClosingScreen();
  void RunPendingRestart();

  bool restartPending_ = false;
};

}  // namespace quarn
