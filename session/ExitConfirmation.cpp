#include "session/ExitConfirmation.h"

#include "record/modRecord.h"

namespace quarn {

bool ConfirmExit(Game& game, const std::function<std::string()>& cmdOrderCaption) {
  Prompter& toolkit = game.services.prompter;
  if (toolkit.ask("Are you sure you want to exit?", PromptStyle::YesNo,
                  "Exiting Quarn Game. . .") != Answer::Yes) {
    return true;
  }
  if (cmdOrderCaption() == "Make Order" && game.chain.currentWeek >= 2) WriteTrialRecord(game);
  ReleaseMark(game);
  toolkit.endApplication(0);
  return false;  // not reached: the application has ended
}

}  // namespace quarn
