#include "game/WorkstationMark.h"

#include "base/Numbers.h"

namespace quarn {

bool claimWorkstation(GameServices& services, GameState& state) {
  const Identity& identity = state.identity;
  releaseWorkstation(services, state);
  const int64_t now = services.clock.seconds();
  const PlayingMark mine{identity.subject, identity.setting, thisWorkstation(), now, now};
  if (const std::optional<PlayingMark> other = services.db.claimParticipant(mine, now, false)) {
    const std::string question = identity.subject + " is playing at workstation " +
                                 describeWorkstation(other->at) + " since " +
                                 localTimeText(other->since) + ".\r\nTake " + identity.subject +
                                 " over on this workstation?  Answer Yes only if that session "
                                 "has ended.";
    if (services.prompter.ask(question, PromptStyle::YesNoWarning, "Login", PromptKind::TakeOver) !=
        Answer::Yes) {
      return false;
    }
    services.db.claimParticipant(mine, now, true);
  }
  state.mark = mine;
  return true;
}

void keepWorkstation(GameServices& services, GameState& state, int16_t recordedTrial) {
  if (!state.mark) return;
  const std::optional<PlayingMark> other =
      services.db.refreshParticipant(*state.mark, services.clock.seconds());
  if (!other) return;
  state.mark.reset();
  const std::string where = other->at.host.empty()
                                ? "is no longer marked as playing on this workstation"
                                : "has been taken over by workstation " +
                                      describeWorkstation(other->at) + " at " +
                                      localTimeText(other->since);
  services.prompter.ask(state.identity.subject + " " + where +
                            ".\r\nThis session ends here; trial " + decimal(recordedTrial) +
                            ", week " + decimal(state.chain.currentWeek - 1) + " was not recorded.",
                        PromptStyle::OkWarning, "", PromptKind::TakenOverElsewhere);
  services.prompter.endApplication(1);
}

void releaseWorkstation(GameServices& services, GameState& state) {
  if (!state.mark) return;
  services.db.releaseParticipant(*state.mark);
  state.mark.reset();
}

}  // namespace quarn
