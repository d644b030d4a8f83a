#include "game/TeamPlay.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Roles.h"
#include "base/Text.h"

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
  return state.team.active() && plan.hasTrial(plan.currentTrial) && isTeamTrial(plan.current()) &&
         !state.training.active;
}

int16_t teamTrialNumber(const GameState& state) {
  return narrow16(int64_t{state.plan.currentTrial} + 1, "Trial");
}

bool readTeamMembers(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  team.members = services.db.read([&] { return services.db.teams().members(team.key); });
  return static_cast<int16_t>(team.members.size()) >= team.size;
}

std::string teamFormingText(const Prompter& prompter, const TeamSession& team) {
  std::vector<std::string> here;
  for (const TeamMember& m : team.members) here.push_back(m.subject);
  return withArguments(
      prompter.translate("GameSession", "Waiting for your team: %1 of %2 here (%3)"),
      {decimal(here.size()), decimal(team.size), joinText(here, ", ")});
}

void readTeamTrial(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const int16_t trialNumber = teamTrialNumber(state);
  services.db.read([&] {
    team.replaced = services.db.teams().replacements(team.key, trialNumber);
    team.orders = services.db.teams().orders(team.key, trialNumber, false);
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
  services.db.read([&] { return services.db.teams().storeOrder(team.key, passed); });
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
  std::vector<int16_t> stages;
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member == 0 || stageReplaced(state, r, week)) continue;
    if (!findOrder(state.team, week, member)) stages.push_back(r);
  }
  return stages;
}

std::string teamWaitingText(const Prompter& prompter, const std::vector<int16_t>& stages) {
  std::vector<std::string> names;
  for (const int16_t stage : stages) names.push_back(translatedRoleName(prompter, stage));
  switch (names.size()) {
    case 0:
      return "";
    case 1:
      return withArguments(prompter.translate("GameSession", "Waiting for the %1..."), names);
    case 2:
      return withArguments(prompter.translate("GameSession", "Waiting for the %1 and the %2..."),
                           names);
    default:
      return withArguments(
          prompter.translate("GameSession", "Waiting for the %1, the %2 and the %3..."),
          {joinText({names.begin(), names.end() - 2}, ", "), names[names.size() - 2],
           names.back()});
  }
}

bool memberDone(const GameState& state, int16_t week) {
  const int16_t own = state.plan.current().participantRole;
  return stageReplaced(state, own, week) || findOrder(state.team, week, state.team.member);
}

void storeMemberOrder(GameServices& services, GameState& state, int16_t week, int16_t order,
                      int32_t decisionTime) {
  TeamSession& team = state.team;
  const TypedOrder typed{teamTrialNumber(state), false,       week, team.member, order,
                         state.identity.subject, decisionTime};
  services.db.read([&] { return services.db.teams().storeOrder(team.key, typed); });
  team.orders.push_back(typed);
}

void recordTeamTrial(GameServices& services, GameState& state) {
  TeamSession& team = state.team;
  const TrialPlan& trial = state.plan.current();
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member != 0 && r != trial.participantRole) {
      state.chain.roles[static_cast<size_t>(r)].playerName = subjectOf(team, member);
    }
  }
  if (!trial.recordToDatabase) return;
  const TeamTrialMember row{teamTrialNumber(state), team.member, roleName(trial.participantRole),
                            state.identity.subject, "",          0};
  services.db.read([&] {
    services.db.teams().recordMember(team.key, row);
    return 0;
  });
}

}  // namespace quarn
