#include <QCoreApplication>

#include "app/Application.h"
#include "ui/QtPrompter.h"

int main(int argc, char** argv) {
  quarn::QtPrompter prompter;
  quarn::QuarnApplication app(argc, argv, prompter);
  quarn::Application application(prompter, QCoreApplication::applicationDirPath().toStdString());
  app.guard([&application] { application.start(); });
  return app.exec();
}
