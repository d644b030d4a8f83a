#include "game/WorkstationMark.h"

#include "base/Numbers.h"
#include "base/Random.h"
#include "base/Roles.h"
#include "base/Text.h"

namespace quarn {

namespace {

PlayingMark newMark(GameServices& services, const GameState& state) {
  const int64_t now = services.clock.seconds();
  PlayingMark mark{
      state.identity.subject, state.identity.setting, services.workstation, now, now, {},
      systemSecret()};
  mark.activity.state = PlayState::LoggedIn;
  mark.activity.stateSince = now;
  return mark;
}

}  // namespace

Claim claimWorkstation(GameServices& services, GameState& state) {
  const Identity& identity = state.identity;
  releaseWorkstation(services, state);
  const PlayingMark mine = newMark(services, state);
  if (const std::optional<PlayingMark> other =
          services.db.claimParticipant(mine, mine.since, false)) {
    const Prompter& prompter = services.prompter;
    Prompt question{
        withArguments(
            prompter.translate("WorkstationMark",
                               "%1 is playing at workstation %2 since %3.\r\n"
                               "Take %1 over on this workstation?  Answer "
                               "Yes only if that session has ended."),
            {identity.subject, describeWorkstation(other->at), localTimeText(other->since)}),
        PromptStyle::YesNoWarning, prompter.translate("Login", "Login"), PromptKind::TakeOver};
    question.noByDefault = true;
    return services.prompter.ask(question) == Answer::Yes ? Claim::TakeOverAgreed : Claim::Refused;
  }
  state.mark = mine;
  return Claim::Marked;
}

void completeTakeOver(GameServices& services, GameState& state) {
  const PlayingMark mine = newMark(services, state);
  services.db.claimParticipant(mine, mine.since, true);
  state.mark = mine;
}

PlayActivity activityOf(const GameState& state, PlayState now, int16_t recordedTrial, int64_t at,
                        const PlayActivity& previous) {
  PlayActivity activity;
  activity.state = now;
  const Plan& plan = state.plan;
  if (now != PlayState::LoggedIn && plan.hasTrial(plan.currentTrial)) {
    const TrialPlan& trial = plan.current();
    const int16_t p = trial.participantRole;
    activity.trial = recordedTrial;
    activity.weeks = trial.weeks;
    // The open week is being chosen; in every other state the week before
    // it was the last one played.
    const int week = state.chain.currentWeek - (now == PlayState::Choosing ? 0 : 1);
    activity.week = static_cast<int16_t>(week < 0 ? 0 : week);
    if (hasParticipant(p)) {
      activity.role = roleName(p);
      activity.cost = state.chain.roles[static_cast<size_t>(p)].totalCost;
    }
  }
  const bool same = previous.state == activity.state && previous.trial == activity.trial &&
                    previous.week == activity.week;
  activity.stateSince = same ? previous.stateSince : at;
  return activity;
}

void keepWorkstation(GameServices& services, GameState& state, PlayState now, int16_t recordedTrial,
                     const std::string& unrecorded) {
  if (!state.mark) return;
  const int64_t at = services.clock.seconds();
  state.mark->activity = activityOf(state, now, recordedTrial, at, state.mark->activity);
  const std::optional<PlayingMark> other = services.db.refreshParticipant(*state.mark, at);
  if (!other) return;
  state.mark.reset();
  const std::string where = other->at.host.empty()
                                ? "is no longer marked as playing on this workstation"
                                : "has been taken over by workstation " +
                                      describeWorkstation(other->at) + " at " +
                                      localTimeText(other->since);
  services.prompter.ask(state.identity.subject + " " + where + ".\r\nThis session ends here" +
                            (unrecorded.empty() ? "." : "; " + unrecorded + "."),
                        PromptStyle::OkWarning, "", PromptKind::TakenOverElsewhere);
  services.prompter.endApplication(1);
}

bool refreshWorkstation(GameServices& services, GameState& state, PlayState now,
                        int16_t recordedTrial) {
  if (!state.mark) return false;
  const int64_t at = services.clock.seconds();
  state.mark->activity = activityOf(state, now, recordedTrial, at, state.mark->activity);
  return !services.db.refreshParticipant(*state.mark, at);
}

void releaseWorkstation(GameServices& services, GameState& state) {
  if (!state.mark) return;
  services.db.releaseParticipant(*state.mark);
  state.mark.reset();
}

std::string markSecret(const GameState& state) {
  return state.mark ? state.mark->token : "";
}

}  // namespace quarn
