#include "app/Startup.h"

#include "record/ExperimentLoading.h"
#include "record/modRecord.h"
#include "session/ExitConfirmation.h"
#include "session/frmPause.h"
#include "session/frmSplash.h"

namespace quarn {

Startup::Startup(Game& game)
    : game(game), form(game), login(game, &form), password(game, form, &form) {
  form.hooks.Startup = [this] { Form_Load(); };
  form.hooks.ShowPassword = [this] { password.ShowDialog(); };
  form.hooks.ShowPause = [this] {
    Prompter::ModalScope paused(this->game.services.prompter);
    frmPause pause(this->game.pauses, &form);
    pause.RunModal();
  };
  form.hooks.ConfirmExit = [this] {
    return ConfirmExit(this->game, [this] { return form.cmdOrder->text().toStdString(); });
  };
}

void Startup::Form_Load() {
  Prompter& toolkit = game.services.prompter;
  ReleaseMark(game);  // a new login: the participant of the last one plays no more
  {
    frmSplash splash;
    splash.show();
    toolkit.wait(splashTime);  // events keep running, so the splash paints
  }
  form.show();

  // The login window is loaded once and then only shown again: a repeated
  // start-up finds it as it was left.
  if (!loginLoaded_) {
    login.Form_Load();
    loginLoaded_ = true;
  }
  login.RunModal();

  form.lblSubject->setText(QString::fromStdString(game.identity.SubjectID));
  form.setWindowTitle(QString(kMainCaption) + " - Setting: " + login.cboSetting->currentText());
  form.SetLoadPathLength();

  TrainingHooks hooks;
  hooks.SetPlayerCaption = [this](const std::string& caption) { form.SetPlayerCaption(caption); };
  hooks.ApplyDisplayConfiguration = [this](const std::string& name) {
    form.ApplyDisplayConfiguration(name);
  };
  hooks.NextTrial = [this] { NextTrial(game, form); };
  ExperimentContext context{game.services.db,
                            toolkit,
                            game.identity,
                            game.plan,
                            game.training,
                            game.pauses,
                            toolkit.applicationFolder() + "/Input",
                            hooks};
  loadExperiment(context);
  form.StartTrial();
}

}  // namespace quarn
