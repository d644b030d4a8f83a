#include "app/TemporaryStartup.h"

#include <memory>

#include "plan/modSetup.h"
#include "record/Game.h"
#include "record/modRecord.h"
#include "session/modDatabase.h"
#include "sim/Platform.h"
#include "ui/frmMain.h"

namespace quarn {

namespace {

constexpr const char* kPilotSubject = "pilot";
constexpr const char* kPilotSetting = "Demo";

}  // namespace

int RunTemporaryStartup(QuarnApplication& app, QtToolkit& toolkit) {
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  std::unique_ptr<DatabaseEngine> engine = MakeSqlCipherEngine();
  Database db(*engine, toolkit, random);
  Game game(Services{toolkit, ticks, random, db});
  frmMain form(game);
  // Without a login window there is no one to choose anew: a refused trial
  // start ends the application.
  form.hooks.Startup = [&toolkit] { toolkit.EndApplication(0); };

  app.Guard([&] {
    form.show();
    game.identity.SubjectID = kPilotSubject;
    game.identity.SettingName = kPilotSetting;
    db.DatabasePath = toolkit.AppFolder() + "/data/quarn.mdb";
    form.lblSubject->setText(kPilotSubject);
    form.setWindowTitle(QString(kMainCaption) + " - Setting: " + kPilotSetting);
    form.SetLoadPathLength();

    TrainingHooks hooks;
    hooks.SetPlayerCaption = [&form](const std::string& c) { form.SetPlayerCaption(c); };
    hooks.ApplyDisplayConfiguration = [&form](const std::string& name) {
      form.ApplyDisplayConfiguration(name);
    };
    hooks.NextTrial = [&game, &form] { NextTrial(game, form); };
    ExperimentContext context{db,
                              toolkit,
                              game.identity,
                              game.plan,
                              game.training,
                              game.pauses,
                              toolkit.AppFolder() + "/Input",
                              hooks};
    LoadExperiment(context);
    form.StartTrial();
  });
  return app.exec();
}

}  // namespace quarn
