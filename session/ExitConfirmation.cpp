#include "session/ExitConfirmation.h"

#include "record/modRecord.h"

namespace quarn {

bool ConfirmExit(Game& game, const std::function<std::string()>& cmdOrderCaption) {
  Toolkit& toolkit = game.services.toolkit;
  if (toolkit.MsgBox("Are you sure you want to exit?", MsgStyle::YesNo,
                     "Exiting Quarn Game. . .") != MsgResult::Yes) {
    return true;
  }
  if (cmdOrderCaption() == "Make Order" && game.chain.CurrentWeek >= 2) WriteTrialRecord(game);
  ReleaseMark(game);
  toolkit.EndApplication(0);
  return false;  // not reached: the application has ended
}

}  // namespace quarn
