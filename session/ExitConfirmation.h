#pragma once

#include <functional>
#include <string>

#include "record/Game.h"

namespace quarn {

// The main window's unload handler: asks whether to exit. No returns true
// (cancel the close; nothing changes). Yes records the trial in progress, if
// one is (the order button, read once the question is answered, reads "Make
// Order" and a week has been played), clears the participant's mark and
// ends the application through the toolkit.
bool ConfirmExit(Game& game, const std::function<std::string()>& cmdOrderCaption);

}  // namespace quarn
