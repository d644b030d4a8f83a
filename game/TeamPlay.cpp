#include "game/TeamPlay.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "game/TeamWeek.h"
#include "game/WorkstationMark.h"

namespace quarn {

namespace {

const TypedOrder* findOrder(const TeamSession& team, int16_t week, int16_t member) {
  for (const TypedOrder& order : team.orders) {
    if (order.week == week && order.member == member) return &order;
  }
  return nullptr;
}

int16_t playerIndex(const Plan& plan, const std::string& name) {
  for (size_t i = 0; i < plan.players.size(); ++i) {
    if (plan.players[i].name == name) return static_cast<int16_t>(i);
  }
  throw QuarnError(kErrInvalidPlan, "The simulated player " + name +
                                        " who replaces a team member is not in tblPlayer");
}

std::string subjectOf(const TeamSession& team, int16_t member) {
  for (const TeamMember& m : team.members) {
    if (m.member == member) return m.subject;
  }
  return "Subject" + decimal(member);
}

}  // namespace

bool playsTeamTrial(const GameState& state) {
  const Plan& plan = state.plan;
  return state.team.active() && plan.hasTrial(plan.currentTrial) && isTeamTrial(plan.current());
}

bool trainsWithTeam(const GameState& state) {
  // Told by the training trials rather than the running one: after the last
  // training trial the current trial is past them all.
  const std::vector<TrialPlan>& training = state.plan.trainingTrials;
  return state.training.active && state.team.active() && !training.empty() &&
         isTeamTrial(training.front());
}

int16_t teamTrialNumber(const GameState& state) {
  if (state.training.active) return state.training.attempt;
  return narrow16(int64_t{state.plan.currentTrial} + 1, "Trial");
}

bool joinTeamTraining(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  TrainingState& training = state.training;
  const Identity& identity = state.identity;
  const TeamTraining progress =
      services.db.read([&] { return services.db.teams().training(team.key, team.member); });
  // A member goes on with the training trial it began last: the team plays
  // on from there only once the member has ordered its last week, so the
  // member's workstation replays the team's orders from there, recording
  // what it had not recorded yet.
  const bool began = progress.ownAttempt != 0;
  if (progress.over && (!began || services.db.trialRecorded(identity.subject, identity.setting,
                                                            progress.ownTrial))) {
    return false;
  }
  training.attempt = began ? progress.ownAttempt : std::max<int16_t>(progress.attempt, 1);
  const int16_t run = began ? progress.ownRun : progress.run;
  state.plan.currentTrial = narrow16(int64_t{state.plan.trialCount()} + run, "CurrentTrial");
  if (began) training.recordedTrial = progress.ownTrial;
  return true;
}

void beginTeamTraining(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const int16_t run = narrow16(int64_t{state.plan.currentTrial} - state.plan.trialCount(), "Run");
  const TypedOrder begun{
      state.training.attempt,      true, 0, team.member, run, state.identity.subject,
      state.training.recordedTrial};
  services.db.read(
      [&] { return services.db.teams().storeOrder(team.key, begun, markSecret(state)); });
}

void endTeamTraining(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const TypedOrder over{0, true, 0, team.member, 0, state.identity.subject, 0};
  services.db.read(
      [&] { return services.db.teams().storeOrder(team.key, over, markSecret(state)); });
}

bool teamTrainingOver(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  return services.db.read([&] { return services.db.teams().training(team.key, team.member); }).over;
}

std::string brokenTrainingLimit(const GameState& state, const Prompter* shownTo) {
  const TrialPlan& trial = state.plan.current();
  const int16_t own = trial.participantRole;
  if (!hasParticipant(own)) return "";
  const std::string reason =
      trainingLimitBroken(state.training, state.chain.roles[static_cast<size_t>(own)], shownTo);
  if (!reason.empty() || !playsTeamTrial(state)) return reason;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    if (r == own || trial.stageMembers[static_cast<size_t>(r)] == 0) continue;
    const std::string broken =
        trainingLimitBroken(state.training, state.chain.roles[static_cast<size_t>(r)], shownTo);
    if (broken.empty()) continue;
    return (shownTo ? translatedRoleName(*shownTo, r) : roleName(r)) + ": " + broken;
  }
  return "";
}

bool readTeamMembers(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  team.members = services.db.read([&] { return services.db.teams().members(team.key); });
  const auto here = std::count_if(team.members.begin(), team.members.end(),
                                  [](const TeamMember& m) { return m.here; });
  return here >= team.size;
}

std::string teamFormingText(const Prompter& prompter, const TeamSession& team) {
  std::vector<std::string> here;
  for (const TeamMember& m : team.members) {
    if (m.here) here.push_back(m.subject);
  }
  return waitingForTeamText(&prompter, here, team.size);
}

void readTeamTrial(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const int16_t trialNumber = teamTrialNumber(state);
  const bool training = state.training.active;
  services.db.read([&] {
    // The moderator replaces members in experiment trials only.
    if (!training) team.replaced = services.db.teams().replacements(team.key, trialNumber);
    team.orders = services.db.teams().orders(team.key, trialNumber, training);
    return 0;
  });
  TrialPlan& trial = state.plan.current();
  for (const TeamTrialMember& replaced : team.replaced) {
    const int16_t stage = memberStage(trial, replaced.member);
    if (!isRole(stage) || replaced.fromWeek < 1) continue;
    const size_t s = static_cast<size_t>(stage);
    if (state.chain.replacedFromWeek[s] == replaced.fromWeek) continue;
    trial.rolePlayers[s] = playerIndex(state.plan, replaced.player);
    state.chain.replacedFromWeek[s] = replaced.fromWeek;
    state.chain.roles[s].playerName = replaced.player;
  }
}

namespace {

// The team's number of the trial after the one just finished.
int16_t nextTeamTrialNumber(const GameState& state) {
  return narrow16(int64_t{state.plan.currentTrial} + 2, "Trial");
}

}  // namespace

void passTeamPause(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const TypedOrder passed{nextTeamTrialNumber(state), false, 0, team.member, 0,
                          state.identity.subject,     0};
  services.db.read(
      [&] { return services.db.teams().storeOrder(team.key, passed, markSecret(state)); });
}

bool teamPausePassed(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const std::vector<TypedOrder> orders = services.db.read(
      [&] { return services.db.teams().orders(team.key, nextTeamTrialNumber(state), false); });
  return std::any_of(orders.begin(), orders.end(),
                     [](const TypedOrder& order) { return order.week == 0; });
}

bool stageReplaced(const GameState& state, int16_t stage, int16_t week) {
  const int16_t from = state.chain.replacedFromWeek[static_cast<size_t>(stage)];
  return from != 0 && week >= from;
}

std::optional<std::array<int16_t, kRoleCount>> completeTeamWeek(GameState& state, int16_t week) {
  const TrialPlan& trial = state.plan.current();
  TeamSession& team = state.team;
  std::array<int16_t, kRoleCount> orders{};
  std::array<int32_t, kRoleCount> times{};
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member == 0 || stageReplaced(state, r, week)) continue;
    const TypedOrder* typed = findOrder(team, week, member);
    if (!typed) return std::nullopt;
    orders[static_cast<size_t>(r)] = static_cast<int16_t>(typed->order);
    times[static_cast<size_t>(r)] = typed->transactionTime;
  }
  team.decisionTimes = times;
  return orders;
}

std::vector<int16_t> stagesToOrder(const GameState& state, int16_t week) {
  const TrialPlan& trial = state.plan.current();
  std::vector<int16_t> memberStages;
  std::vector<TeamWeekMember> members;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member == 0) continue;
    memberStages.push_back(r);
    members.push_back({findOrder(state.team, week, member) != nullptr,
                       state.chain.replacedFromWeek[static_cast<size_t>(r)]});
  }
  std::vector<int16_t> stages;
  for (const size_t place : membersToOrder(members, week)) stages.push_back(memberStages[place]);
  return stages;
}

std::string teamWaitingText(const Prompter& prompter, const std::vector<int16_t>& stages) {
  std::vector<std::string> names;
  for (const int16_t stage : stages) names.push_back(translatedRoleName(prompter, stage));
  return waitingForMembersText(&prompter, names);
}

std::string teamWeekText(const Prompter& prompter, const GameState& state, int16_t week) {
  const int16_t own = state.plan.current().participantRole;
  if (!stageReplaced(state, own, week)) {
    return teamWaitingText(prompter, stagesToOrder(state, week));
  }
  return withArguments(prompter.translate("GameSession",
                                          "A simulated player now plays your stage, the %1, to "
                                          "the end of this trial.  Please wait for your "
                                          "moderator."),
                       {translatedRoleName(prompter, own)});
}

bool memberDone(const GameState& state, int16_t week) {
  const int16_t own = state.plan.current().participantRole;
  return stageReplaced(state, own, week) || findOrder(state.team, week, state.team.member);
}

void storeMemberOrder(GameServices& services, GameState& state, int16_t week, int16_t order,
                      int32_t decisionTime) {
  TeamSession& team = state.team;
  const TypedOrder typed{teamTrialNumber(state), state.training.active, week, team.member, order,
                         state.identity.subject, decisionTime};
  services.db.read(
      [&] { return services.db.teams().storeOrder(team.key, typed, markSecret(state)); });
  team.orders.push_back(typed);
}

void recordTeamTrial(GameServices& services, GameState& state, int16_t recordedTrial) {
  TeamSession& team = state.team;
  const TrialPlan& trial = state.plan.current();
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member != 0 && r != trial.participantRole) {
      state.chain.roles[static_cast<size_t>(r)].playerName = subjectOf(team, member);
    }
  }
  if (!trial.recordToDatabase) return;
  const TeamTrialMember row{recordedTrial,          team.member, roleName(trial.participantRole),
                            state.identity.subject, "",          0};
  services.db.read([&] {
    services.db.teams().recordMember(team.key, row, markSecret(state));
    return 0;
  });
}

}  // namespace quarn
