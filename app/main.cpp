#include <memory>

#include "app/Startup.h"
#include "record/Game.h"
#include "session/modDatabase.h"
#include "sim/Platform.h"
#include "ui/DatabaseWaitNotice.h"
#include "ui/QtToolkit.h"

int main(int argc, char** argv) {
  quarn::QtToolkit toolkit;
  quarn::QuarnApplication app(argc, argv, toolkit);
  quarn::SteadyTickCounter ticks;
  quarn::StandardUniformRandom random;
  quarn::DatabaseWaitNotice waitNotice(toolkit);
  std::unique_ptr<quarn::DatabaseEngine> engine = quarn::MakeSqlCipherEngine(&waitNotice);
  quarn::Database db(*engine, toolkit, random);
  quarn::Game game(quarn::Services{toolkit, ticks, random, db});
  quarn::Startup startup(game);
  app.Guard([&startup] { startup.Form_Load(); });
  return app.exec();
}
