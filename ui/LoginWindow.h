#pragma once

#include <QComboBox>
#include <QCoreApplication>
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
  Q_DECLARE_TR_FUNCTIONS(LoginWindow)

 public:
  explicit LoginWindow(GameSession& session, QWidget* parent = nullptr);

  // The window's first showing: the default database file and its
  // settings, an empty User ID.
  void load();

  // Names the application folder (data/ and Input/) in use.
  void showFolder(const std::string& folder);

  // Escape and the title bar's close button both mean Quit.
  void reject() override;

 protected:
  // A setting's language, installed during the login: the captions again.
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void enableTeamBox(const QString& setting);
  void openDatabase();
  void showDatabaseInUse();
  void fitDatabaseLine();
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
  QLineEdit* m_teamBox;
  QPushButton* m_startButton;
  QPushButton* m_quitButton;
  QLabel* m_folderLabel;
  std::string m_folder;
};

}  // namespace quarn
