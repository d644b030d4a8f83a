#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "game/GameSession.h"
#include "ui/GuardedDialog.h"

namespace quarn {

// The login window (frmLogin): the database file, the setting and the
// participant's User ID. Start hands them to the game's login and closes the
// window once it succeeded; a refusal returns to the box to correct.
class LoginWindow : public GuardedDialog {
 public:
  explicit LoginWindow(GameSession& session, QWidget* parent = nullptr);

  // The window's first showing: the default database file and its
  // settings, an empty User ID.
  void load();

  // Escape and the title bar's close button both mean Quit.
  void reject() override;

 private:
  void openDatabase();
  void showSettings(const std::vector<std::string>& settings);
  void start();
  void backToSubject();
  void backToSetting();
  void backToDatabase();

  GameSession& m_session;
  QLineEdit* m_subjectBox;
  QLineEdit* m_databaseBox;
  QLabel* m_databaseInUse;
  QComboBox* m_settingBox;
  QPushButton* m_startButton;
  QPushButton* m_quitButton;
};

}  // namespace quarn
