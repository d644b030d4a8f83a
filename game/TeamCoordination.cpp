#include "game/TeamCoordination.h"

#include "base/Numbers.h"
#include "game/TeamPlay.h"
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

void TeamCoordination::order(int order) {
  if (!playsTeamTrial(m_state)) {
    m_alone.order(order);
    return;
  }
  m_state.times.orderPress = m_services.ticks.now();
  storeMemberOrder(m_services, m_state, m_state.chain.currentWeek, static_cast<int16_t>(order),
                   m_state.times.elapsed());
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
// moderator passes it for all.
bool TeamCoordination::pausePassedElsewhere() {
  return teamPausePassed(m_services, m_state);
}

void TeamCoordination::pausePassed() {
  passTeamPause(m_services, m_state);
}

void TeamCoordination::trainingEnds() {
  if (trainsWithTeam(m_state)) endTeamTraining(m_services, m_state);
}

bool TeamCoordination::trainingEndedElsewhere() {
  return trainsWithTeam(m_state) && teamTrainingOver(m_services, m_state);
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
  // the next look a while later.
  constexpr auto kLookAnyway = std::chrono::seconds(2);
  if (!changed && std::chrono::steady_clock::now() - m_lastLook < kLookAnyway) return false;
  if (teamPause) return lookAtTeamPause();
  if (trainingWeekOpen) return lookAtTeamTraining();
  return lookAtTeam();
}

void TeamCoordination::markLook() {
  m_lastLook = std::chrono::steady_clock::now();
}

bool TeamCoordination::lookAtTeamTraining() {
  markLook();
  if (!teamTrainingOver(m_services, m_state)) return false;
  m_steps.view().teamWaiting("");
  m_steps.leaveTraining();
  return true;
}

bool TeamCoordination::lookAtTeamPause() {
  markLook();
  if (!teamPausePassed(m_services, m_state)) return false;
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
  startTeamTrial();
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
  const Identity& identity = m_state.identity;
  if (m_state.training.active) beginTeamTraining(m_services, m_state);
  startTeamChain();
  recordTeamTrial(m_services, m_state, m_steps.recordedTrial());
  m_state.team.recordedWeeks =
      m_services.db.highestWeek(identity.subject, identity.setting, m_steps.recordedTrial())
          .value_or(0);
  // A trial played to its end and recorded before the workstation started
  // again is not recorded twice.
  const TrialKey key{identity.subject, identity.setting, m_steps.recordedTrial()};
  if (m_services.db.trialRecorded(key.subject, key.setting, key.trial)) {
    m_state.lastRecordedTrial = key;
  }
  readTeamTrial(m_services, m_state);
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
  readTeamTrial(m_services, m_state);
  const int16_t week = m_state.chain.currentWeek;
  if (const auto orders = completeTeamWeek(m_state, week)) {
    m_steps.view().teamWaiting("");
    m_steps.enter(PhaseStep::TeamOrdered, Phase::Animating);
    pressTeam(*orders);
    m_steps.animateWeek();
    return true;
  }
  if (m_state.training.active && lookAtTeamTraining()) return true;
  m_steps.view().teamWaiting(teamWeekText(m_services.prompter, m_state, week));
  return false;
}

// Closes the open week with every member's typed order; this member's
// decision time is the one stored with its order.
void TeamCoordination::pressTeam(const std::array<int16_t, kRoleCount>& orders) {
  const auto own = static_cast<size_t>(m_state.plan.current().participantRole);
  m_steps.pressOrders(orders, m_state.team.decisionTimes[own]);
}

}  // namespace quarn
