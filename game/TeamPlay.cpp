#include "game/TeamPlay.h"

#include <algorithm>

#include "base/Numbers.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "game/TeamWeek.h"

namespace quarn {

namespace {

const TypedOrder* findOrder(const TeamSession& team, int16_t week, int16_t member) {
  for (const TypedOrder& order : team.orders) {
    if (order.week == week && order.member == member) return &order;
  }
  return nullptr;
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

// The team's students wait for its students: member numbers a simulated
// player took are neither named nor counted.
std::string teamFormingText(const Prompter& prompter, const TeamSession& team) {
  std::vector<std::string> here;
  int16_t students = team.size;
  for (const TeamMember& m : team.members) {
    if (!m.player.empty()) {
      --students;
    } else if (m.here) {
      here.push_back(m.subject);
    }
  }
  return waitingForTeamText(&prompter, here, students);
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
  std::array<bool, kRoleCount> byClock{};
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member == 0 || stageReplaced(state, r, week)) continue;
    const TypedOrder* typed = findOrder(team, week, member);
    if (!typed) return std::nullopt;
    orders[static_cast<size_t>(r)] = static_cast<int16_t>(typed->order);
    times[static_cast<size_t>(r)] = typed->transactionTime;
    byClock[static_cast<size_t>(r)] = typed->clock;
  }
  team.decisionTimes = times;
  team.clockOrders = byClock;
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

}  // namespace quarn
