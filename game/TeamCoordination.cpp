#include "game/TeamCoordination.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "game/TeamPlay.h"
#include "game/WeekClockRule.h"
#include "game/WorkstationMark.h"
#include "plan/Predicter.h"
#include "sim/WeekPress.h"

namespace quarn {

void TeamCoordination::startTrial() {
  if (playsTeamTrial(m_state)) {
    startTeamTrial();
    return;
  }
  m_random.reset();
  m_alone.startTrial();
}

bool TeamCoordination::weekOpenedOrdered(const WeekOpening& week) {
  if (!playsTeamTrial(m_state) || !memberDone(m_state, m_state.chain.currentWeek)) return false;
  m_steps.view().weekOpened(week);
  waitForTeamWeek();
  return true;
}

void TeamCoordination::order(int order, bool byClock) {
  if (!playsTeamTrial(m_state)) {
    m_alone.order(order, byClock);
    return;
  }
  m_state.times.orderPress = m_services.ticks.now();
  const TypedOrder typed{teamTrialNumber(m_state),    m_state.training.active,
                         m_state.chain.currentWeek,   m_state.team.member,
                         static_cast<int16_t>(order), m_state.identity.subject,
                         m_state.times.elapsed(),     byClock};
  if (byClock) {
    storeClockOrder(typed);
  } else {
    storeOrder(typed);
  }
  m_state.team.orders.push_back(typed);
  waitForTeamWeek();
}

UniformRandom& TeamCoordination::random() {
  return m_random ? static_cast<UniformRandom&>(*m_random) : m_alone.random();
}

// A team trial's members see the team's one forecast: its noise comes from
// the team's seed and the week.
int16_t TeamCoordination::forecast(int16_t week) {
  if (!m_random) return m_alone.forecast(week);
  StandardUniformRandom weekRandom(teamForecastSeed(m_seed, week));
  return predictDemand(m_state.predicter, m_state.plan.current(), week, weekRandom);
}

// A pause before the next trial holds the whole team: any member's
// moderator passes it for all. The pause passed is stored as an order of
// week 0 of the next trial.
bool TeamCoordination::pausePassedElsewhere() {
  const TeamKey& key = m_state.team.key;
  const std::vector<TypedOrder> orders = m_services.db.read(
      [&] { return m_services.db.teams().orders(key, nextTeamTrialNumber(), false); });
  return std::any_of(orders.begin(), orders.end(),
                     [](const TypedOrder& order) { return order.week == 0; });
}

void TeamCoordination::pausePassed() {
  storeOrder(
      {nextTeamTrialNumber(), false, 0, m_state.team.member, 0, m_state.identity.subject, 0});
}

// The team's number of the trial after the one just finished.
int16_t TeamCoordination::nextTeamTrialNumber() const {
  return narrow16(int64_t{m_state.plan.currentTrial} + 2, "Trial");
}

// Training played together ends for the whole team: played to its end, or
// skipped by any member's moderator.
void TeamCoordination::trainingEnds() {
  if (!trainsWithTeam(m_state)) return;
  storeOrder({0, true, 0, m_state.team.member, 0, m_state.identity.subject, 0});
}

bool TeamCoordination::trainingEndedElsewhere() {
  return trainsWithTeam(m_state) && teamTrainingOver();
}

bool TeamCoordination::teamTrainingOver() {
  const TeamSession& team = m_state.team;
  return m_services.db.read([&] { return m_services.db.teams().training(team.key, team.member); })
      .over;
}

// Stores that this member begins the running training trial, and under
// which Trial number it records it.
void TeamCoordination::beginTeamTraining() {
  const int16_t run =
      narrow16(int64_t{m_state.plan.currentTrial} - m_state.plan.trialCount(), "Run");
  storeOrder({m_state.training.attempt, true, 0, m_state.team.member, run, m_state.identity.subject,
              m_state.training.recordedTrial});
}

// Stores a row of this member's under the secret of its workstation mark.
void TeamCoordination::storeOrder(const TypedOrder& order) {
  const TeamKey& key = m_state.team.key;
  m_services.db.read(
      [&] { return m_services.db.teams().storeOrder(key, order, markSecret(m_state)); });
}

// The week clock's order of a member, stored by the member's own
// workstation or by another member's for it.
void TeamCoordination::storeClockOrder(const TypedOrder& order) {
  const TeamKey& key = m_state.team.key;
  const std::string& caller = m_state.identity.subject;
  m_services.db.read([&] {
    return m_services.db.teams().storeClockOrder(key, order, caller, markSecret(m_state));
  });
}

namespace {

// Who plays the member's stage: its User ID, or the simulated player that
// took an open member number.
std::string subjectOf(const TeamSession& team, int16_t member) {
  for (const TeamMember& m : team.members) {
    if (m.member == member) return m.player.empty() ? m.subject : m.player;
  }
  return "Subject" + decimal(member);
}

}  // namespace

// This member's time ran out on its own tick counter, which began when the
// week opened here (after the week before was complete): the server judges
// by its own clock, so a workstation a little ahead of it is refused and
// tries again a second later. The change it makes reaches every member as
// an order does.
void TeamCoordination::orderForLateMembers() {
  if (!playsTeamTrial(m_state)) return;
  constexpr uint32_t kClockRetry = 1000;
  const uint32_t now = m_services.ticks.now();
  const int16_t week = m_state.chain.currentWeek;
  if (week == m_clockTriedWeek && now - m_lastClockTry < kClockRetry) return;
  m_clockTriedWeek = week;
  m_lastClockTry = now;
  const TrialPlan& trial = m_state.plan.current();
  const TeamSession& team = m_state.team;
  StandardUniformRandom random(now);
  for (const int16_t stage : stagesToOrder(m_state, week)) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(stage)];
    // The week before closed with the member's order at its stage.
    const int16_t lastOrder = m_state.chain.memberOrders[static_cast<size_t>(stage)];
    const int16_t order = clockRuleOrder(m_state, stage, lastOrder, m_services.ticks, random);
    storeClockOrder({teamTrialNumber(m_state), m_state.training.active, week, member, order,
                     subjectOf(team, member), m_state.plan.clock.seconds * 1000, true});
  }
}

namespace {

int16_t playerIndex(const Plan& plan, const std::string& name) {
  for (size_t i = 0; i < plan.players.size(); ++i) {
    if (plan.players[i].name == name) return static_cast<int16_t>(i);
  }
  throw QuarnError(kErrInvalidPlan, "The simulated player " + name +
                                        " who replaces a team member is not in tblPlayer");
}

// The members a simulated player plays in the running trial: those the
// moderator replaced (in experiment trials only), and the open member
// numbers a player took from the start, in training too.
std::vector<TeamTrialMember> playedBySimulation(const TeamSession& team, int16_t trial) {
  std::vector<TeamTrialMember> played = team.replaced;
  for (const TeamMember& m : team.members) {
    const bool listed = std::any_of(played.begin(), played.end(),
                                    [&](const TeamTrialMember& r) { return r.member == m.member; });
    if (!m.player.empty() && !listed) played.push_back({trial, m.member, "", "", m.player, 1});
  }
  return played;
}

}  // namespace

// Reads the running trial's typed orders and replaced members, and lets a
// simulated player order for each replaced member from the week it was
// replaced.
void TeamCoordination::readTeamTrial() {
  TeamSession& team = m_state.team;
  const int16_t trialNumber = teamTrialNumber(m_state);
  const bool training = m_state.training.active;
  m_services.db.read([&] {
    // The moderator replaces members in experiment trials only.
    if (!training) team.replaced = m_services.db.teams().replacements(team.key, trialNumber);
    team.orders = m_services.db.teams().orders(team.key, trialNumber, training);
    return 0;
  });
  TrialPlan& trial = m_state.plan.current();
  for (const TeamTrialMember& replaced : playedBySimulation(team, trialNumber)) {
    const int16_t stage = memberStage(trial, replaced.member);
    if (!isRole(stage) || replaced.fromWeek < 1) continue;
    const size_t s = static_cast<size_t>(stage);
    if (m_state.chain.replacedFromWeek[s] == replaced.fromWeek) continue;
    trial.rolePlayers[s] = playerIndex(m_state.plan, replaced.player);
    m_state.chain.replacedFromWeek[s] = replaced.fromWeek;
    m_state.chain.roles[s].playerName = replaced.player;
  }
}

// Records that this member plays its stage in the running trial (datTeam,
// under the member's `recordedTrial`), and names the other members' stages
// for their User IDs.
void TeamCoordination::recordTeamTrial(int16_t recordedTrial) {
  const TeamSession& team = m_state.team;
  const TrialPlan& trial = m_state.plan.current();
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member != 0 && r != trial.participantRole) {
      m_state.chain.roles[static_cast<size_t>(r)].playerName = subjectOf(team, member);
    }
  }
  if (!trial.recordToDatabase) return;
  const TeamTrialMember row{
      recordedTrial, team.member, roleName(trial.participantRole), m_state.identity.subject, "", 0};
  m_services.db.read([&] {
    m_services.db.teams().recordMember(team.key, row, markSecret(m_state));
    return 0;
  });
}

// A team trial is not recorded half-played: the member goes on with it at
// the next login.
bool TeamCoordination::recordsUnfinishedTrial() const {
  return !playsTeamTrial(m_state);
}

bool TeamCoordination::watches() const {
  const Phase phase = m_steps.phase();
  return phase == Phase::Paused || phase == Phase::FormingTeam || phase == Phase::WaitingForTeam ||
         (phase == Phase::WeekOpen && trainsWithTeam(m_state));
}

bool TeamCoordination::poll(std::chrono::milliseconds wait) {
  const Phase phase = m_steps.phase();
  // A team's pause is passed by any member's moderator; the pause window
  // itself is the question open meanwhile.
  const bool teamPause = phase == Phase::Paused;
  // While the week is open in training played together, another member's
  // moderator may end the team's training.
  const bool trainingWeekOpen = phase == Phase::WeekOpen && trainsWithTeam(m_state);
  if (!teamPause && m_services.prompter.modalOpen()) return false;
  if (!teamPause && !trainingWeekOpen && phase != Phase::WaitingForTeam &&
      phase != Phase::FormingTeam) {
    return false;
  }
  const TeamKey& key = m_state.team.key;
  const bool changed =
      m_services.db.read([&] { return m_services.db.teams().waitForChange(key, wait); });
  // A change missed (a listening connection lost and made anew) is found by
  // the next look a while later (milliseconds on the wrapping tick counter).
  constexpr uint32_t kLookAnyway = 2000;
  if (!changed && m_services.ticks.now() - m_lastLook < kLookAnyway) return false;
  if (teamPause) return lookAtTeamPause();
  if (trainingWeekOpen) return lookAtTeamTraining();
  return lookAtTeam();
}

void TeamCoordination::markLook() {
  m_lastLook = m_services.ticks.now();
}

bool TeamCoordination::lookAtTeamTraining() {
  markLook();
  if (!teamTrainingOver()) return false;
  m_steps.view().teamWaiting("");
  m_steps.leaveTraining();
  return true;
}

bool TeamCoordination::lookAtTeamPause() {
  markLook();
  if (!pausePassedElsewhere()) return false;
  passPause(m_state.pauses);
  m_steps.advance();
  return true;
}

bool TeamCoordination::lookAtTeam() {
  markLook();
  if (m_steps.phase() != Phase::FormingTeam) return lookAtTeamWeek();
  if (!readTeamMembers(m_services, m_state)) {
    m_steps.view().teamWaiting(teamFormingText(m_services.prompter, m_state.team));
    return false;
  }
  m_steps.view().teamWaiting("");
  startFormedTeamTrial();
  return true;
}

// A team trial starts once the team is complete. A workstation that starts
// again (after a crash, or at another workstation) replays the weeks played
// so far and records those it had not recorded yet.
void TeamCoordination::startTeamTrial() {
  if (!readTeamMembers(m_services, m_state)) {
    waitForTeamToForm();
    return;
  }
  startFormedTeamTrial();
}

// Starts the team trial with the members just read and found complete.
void TeamCoordination::startFormedTeamTrial() {
  const Identity& identity = m_state.identity;
  if (m_state.training.active) beginTeamTraining();
  startTeamChain();
  recordTeamTrial(m_steps.recordedTrial());
  m_state.team.recordedWeeks =
      m_services.db.highestWeek(identity.subject, identity.setting, m_steps.recordedTrial())
          .value_or(0);
  // A trial played to its end and recorded before the workstation started
  // again is not recorded twice.
  const TrialKey key{identity.subject, identity.setting, m_steps.recordedTrial()};
  if (m_services.db.trialRecorded(key.subject, key.setting, key.trial)) {
    m_state.lastRecordedTrial = key;
  }
  readTeamTrial();
  m_steps.showTrialStart();
  replayStoredTeamWeeks();
  m_steps.refreshWeek();
}

// While the team forms, the window shows the trial's chain as it starts and
// who is here; nothing is stored or recorded until the team is complete.
void TeamCoordination::waitForTeamToForm() {
  m_steps.enter(PhaseStep::TeamIncomplete, Phase::FormingTeam);
  markLook();
  m_steps.noteActivity(PlayState::WaitingForTeam);
  startTeamChain();
  m_steps.showTrialStart();
  m_steps.showFigures();
  m_steps.view().teamWaiting(teamFormingText(m_services.prompter, m_state.team));
}

// The team trial's chain at its start, the same at every member's
// workstation: the simulated players draw from the team's seed.
void TeamCoordination::startTeamChain() {
  // Training trials draw from generators of their own, apart from the
  // experiment trials' (numbered from 1).
  const int16_t seedTrial = m_state.training.active
                                ? narrow16(-int64_t{m_state.training.attempt}, "Trial")
                                : teamTrialNumber(m_state);
  m_seed = teamNoiseSeed(m_state.identity.setting, m_state.team.key.team, seedTrial);
  m_random.emplace(m_seed);
  m_steps.startChain();
}

void TeamCoordination::replayStoredTeamWeeks() {
  const int16_t weeks = m_state.plan.current().weeks;
  while (m_state.chain.currentWeek <= weeks) {
    const auto orders = completeTeamWeek(m_state, m_state.chain.currentWeek);
    if (!orders) return;
    pressTeam(*orders);
    m_steps.showReplayedWeek();
  }
}

void TeamCoordination::waitForTeamWeek() {
  m_steps.enter(PhaseStep::Ordered, Phase::WaitingForTeam);
  // The last member to order plays the week at once: its mark says so with
  // the week's records instead of first saying that it waits.
  if (!lookAtTeamWeek()) m_steps.noteActivity(PlayState::WaitingForTeam);
}

// Plays the open week once every member has ordered it; else says whom the
// team waits for.
bool TeamCoordination::lookAtTeamWeek() {
  markLook();
  readTeamTrial();
  const int16_t week = m_state.chain.currentWeek;
  if (const auto orders = completeTeamWeek(m_state, week)) {
    m_steps.view().teamWaiting("");
    tellClockOrder(*orders);
    m_steps.enter(PhaseStep::TeamOrdered, Phase::Animating);
    pressTeam(*orders);
    m_steps.animateWeek();
    return true;
  }
  if (m_state.training.active && lookAtTeamTraining()) return true;
  m_steps.view().teamWaiting(teamWeekText(m_services.prompter, m_state, week));
  return false;
}

// Another member's workstation made this member's order by the clock
// before the member's own came (which then was not stored): the member
// reads what the week was played with.
void TeamCoordination::tellClockOrder(const std::array<int16_t, kRoleCount>& orders) {
  const int16_t own = m_state.plan.current().participantRole;
  if (!isRole(own) || m_state.times.byClock) return;
  const auto stage = static_cast<size_t>(own);
  if (!m_state.team.clockOrders[stage] || stageReplaced(m_state, own, m_state.chain.currentWeek)) {
    return;
  }
  m_steps.view().clockOrdered(clockOrderedText(m_services.prompter, orders[stage]));
}

// Closes the open week with every member's typed order; this member's
// decision time is the one stored with its order.
void TeamCoordination::pressTeam(const std::array<int16_t, kRoleCount>& orders) {
  const auto own = static_cast<size_t>(m_state.plan.current().participantRole);
  m_steps.pressOrders(orders, m_state.team.decisionTimes[own]);
}

}  // namespace quarn
