#include "app/TemporaryStartup.h"
#include "ui/QtToolkit.h"

int main(int argc, char** argv) {
  quarn::QtToolkit toolkit;
  quarn::QuarnApplication app(argc, argv, toolkit);
  return quarn::RunTemporaryStartup(app, toolkit);
}
