#include <memory>

#include "app/Startup.h"
#include "base/Clock.h"
#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/SqlCipherStores.h"
#include "record/Game.h"
#include "ui/DatabaseWaitNotice.h"
#include "ui/QtPrompter.h"

int main(int argc, char** argv) {
  quarn::QtPrompter toolkit;
  quarn::QuarnApplication app(argc, argv, toolkit);
  quarn::SteadyTickCounter ticks;
  quarn::StandardUniformRandom random;
  quarn::DatabaseWaitNotice waitNotice(toolkit);
  quarn::SqlCipherStores stores(&waitNotice);
  quarn::DatabaseAccess db(stores, toolkit, random);
  quarn::Game game(quarn::Services{toolkit, ticks, random, db});
  quarn::Startup startup(game);
  app.Guard([&startup] { startup.Form_Load(); });
  return app.exec();
}
