#pragma once

#include <chrono>

#include "record/Game.h"
#include "session/frmLogin.h"
#include "session/frmPassword.h"
#include "ui/frmMain.h"

namespace quarn {

// The application's windows around one game, and the start-up that joins
// them: frmMain's load handler.
class Startup {
 public:
  explicit Startup(Game& game);

  // Splash, main window, login, captions, plan and first trial. Runs again
  // whenever a trial start finds no trial left for the participant.
  void Form_Load();

  // How long the splash window stays up.
  std::chrono::milliseconds splashTime{1500};

  Game& game;
  frmMain form;
  frmLogin login;
  frmPassword password;

 private:
  bool loginLoaded_ = false;
};

}  // namespace quarn
