#pragma once

#include "ui/QtToolkit.h"

namespace quarn {

// A stand-in for the login start-up: a fixed participant and setting on the
// default database, then the first trial. Returns the event loop's result.
int RunTemporaryStartup(QuarnApplication& app, QtToolkit& toolkit);

}  // namespace quarn
