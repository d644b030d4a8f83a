#include "game/GameSession.h"

#include <algorithm>
#include <filesystem>

#include "base/Numbers.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "db/DatabaseChoice.h"
#include "game/ExperimentLoading.h"
#include "game/TeamPlay.h"
#include "game/WorkstationMark.h"
#include "plan/SettingCheck.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"

namespace quarn {

GameSession::GameSession(GameServices services) : m_services(std::move(services)) {}

void GameSession::setView(GameView* view) {
  m_view = view ? view : &m_noView;
}

const std::vector<std::string>& GameSession::openDatabase(const std::string& fileName) {
  if (!useDatabase(fileName)) return m_settings;
  return readSettings();
}

bool GameSession::useDatabase(const std::string& fileName) {
  const std::string dataFolder = m_services.appFolder + "/data";
  const std::string text(trimBlanks(fileName));
  const DatabaseChoice choice = chooseDatabase(dataFolder, text);
  const std::string& named =
      choice.engine == DatabaseEngine::File ? choice.file : choice.settingsFile;
  std::error_code error;
  if (!named.empty() && !std::filesystem::is_regular_file(named, error)) {
    const Prompter& prompter = m_services.prompter;
    m_services.prompter.ask(
        withArguments(prompter.translate("GameSession",
                                         "There is no file %1.\r\n"
                                         "Please correct the name in the Setup File box."),
                      {named}),
        PromptStyle::OkWarning, prompter.translate("Login", "Login"), PromptKind::SetupFileMissing);
    return false;
  }
  m_services.db.useDatabase(dataFolder, text);
  return true;
}

const std::vector<std::string>& GameSession::readSettings() {
  std::vector<std::string> settings = m_services.db.settings();
  if (!settings.empty()) m_settings = std::move(settings);
  return m_settings;
}

bool GameSession::isTeamSetting(const std::string& setting) {
  if (std::find(m_settings.begin(), m_settings.end(), setting) == m_settings.end()) return false;
  return namesTeamMembers(m_services.db.planTables(), setting);
}

namespace {

// Lets go of the plan tables held since the login when it goes out of
// scope, unless kept for the next move.
class PlanHold {
 public:
  explicit PlanHold(DatabaseAccess& db) : m_db(db) {}
  ~PlanHold() {
    if (!m_kept) m_db.releasePlan();
  }
  PlanHold(const PlanHold&) = delete;
  PlanHold& operator=(const PlanHold&) = delete;
  void keep() { m_kept = true; }

 private:
  DatabaseAccess& m_db;
  bool m_kept = false;
};

}  // namespace

// The login checks the setting's plan and startGame() loads it: the plan
// tables are held from here to the end of startGame(), so that each is read
// once (at a lab server's start of a session, every workstation at once).
LoginResult GameSession::logIn(const LoginRequest& request) {
  if (m_phase != Phase::LoggedOut) return LoginResult::RetrySubject;
  m_services.db.holdPlan();
  PlanHold hold(m_services.db);
  const LoginResult result = quarn::logIn(m_services, m_state, *m_view, m_settings, request);
  if (result == LoginResult::LoggedIn) {
    m_phase = Phase::LoggedIn;
    hold.keep();
  }
  return result;
}

bool GameSession::startGame() {
  if (m_phase != Phase::LoggedIn) return false;
  const PlanHold hold(m_services.db);
  const Identity& identity = m_state.identity;
  m_view->sessionStarted(identity.subject, identity.setting);
  if (loadExperimentPlan(m_services, m_state)) {
    m_view->trainingChanged(true);
    m_services.prompter.ask(
        m_services.prompter.translate("GameSession", "First, we will have some training trials..."),
        PromptStyle::Ok, "", PromptKind::TrainingIntro);
  }
  loadPauses(m_services.db.planTables(), identity.setting, m_state.pauses);
  resumePauses(m_state.pauses, firstExperimentTrial());
  m_state.costSum = m_recorder.recordedCostSum(firstExperimentTrial());
  // Training is announced before this refusal, as it always was.
  if (!hasTrialLeft()) {
    m_services.prompter.ask(
        withArguments(
            m_services.prompter.translate(
                "GameSession",
                "Subject has already completed all trials in setting %1.  Please relogin"),
            {identity.setting}),
        PromptStyle::Ok, "", PromptKind::NoTrialLeft);
    releaseWorkstation(m_services, m_state);
    m_phase = Phase::LoggedOut;
    return false;
  }
  if (m_state.training.active) {
    startTrial();
    return true;
  }
  // The experiment begins as if the trial before it had just ended.
  m_state.plan.currentTrial = narrow16(m_state.plan.currentTrial - 1, "CurrentTrial");
  if (!holdAtOwedPause()) advance();
  return true;
}

bool GameSession::submitOrder(int order) {
  if (m_phase != Phase::WeekOpen) return false;
  const int16_t largest = m_state.plan.current().largestOrder;
  if (order > largest) {
    m_services.prompter.ask(withArguments(m_services.prompter.translate(
                                              "GameSession", "Orders in this trial are at most %1"),
                                          {decimal(largest)}),
                            PromptStyle::OkWarning, "", PromptKind::OrderAboveLimit);
    return false;
  }
  if (playsTeamTrial(m_state)) {
    m_state.times.orderPress = m_services.ticks.now();
    storeMemberOrder(m_services, m_state, m_state.chain.currentWeek, static_cast<int16_t>(order),
                     m_state.times.elapsed());
    waitForTeamWeek();
    return true;
  }
  playWeek(order);
  return true;
}

void GameSession::animationFinished() {
  if (m_phase == Phase::Animating) refreshWeek();
}

bool GameSession::runPendingRestart() {
  if (m_phase != Phase::RestartPending) return true;
  if (held()) return false;
  advance();
  return true;
}

void GameSession::nextTrial() {
  if (m_phase != Phase::TrialOver) return;
  m_view->trialClosed();
  if (pauseDue(m_state.pauses, m_state.plan.currentTrial)) {
    enterPause();
    return;
  }
  advance();
}

void GameSession::enterPause() {
  m_phase = Phase::Paused;
  noteActivity(PlayState::Paused);
  m_view->pauseStarted();
}

// The experiment begins after a restart, or after training, as if the trial
// before it had just ended: the pause due after that trial holds the game as
// it would have at the trial's end (the workstation may have stopped in it),
// and its password is still needed. A team's pause that another member's
// moderator passed meanwhile is passed here too. Returns whether the game
// waits in the pause.
bool GameSession::holdAtOwedPause() {
  const int16_t trialBefore = m_state.plan.currentTrial;
  if (trialBefore < 0 || !pauseDue(m_state.pauses, trialBefore)) return false;
  if (m_state.team.active() && teamPausePassed(m_services, m_state)) {
    passPause(m_state.pauses);
    return false;
  }
  m_view->trialClosed();
  enterPause();
  return true;
}

bool GameSession::answerPause(const std::string& password) {
  if (m_phase != Phase::Paused || !checkPausePassword(m_state.pauses, password)) return false;
  if (m_state.team.active()) passTeamPause(m_services, m_state);
  advance();
  return true;
}

bool GameSession::skipTraining(const std::string& password) {
  TrainingState& training = m_state.training;
  if (!training.active || (m_phase != Phase::WeekOpen && m_phase != Phase::RestartPending)) {
    return false;
  }
  if (password != training.password) {
    m_services.prompter.ask(m_services.prompter.translate("GameSession", "Incorrect Password"),
                            PromptStyle::Ok, "", PromptKind::IncorrectPassword);
    return false;
  }
  if (trainsWithTeam(m_state)) endTeamTraining(m_services, m_state);
  leaveTraining();
  return true;
}

// Ends training at once: the trial in progress is recorded and the
// experiment begins.
void GameSession::leaveTraining() {
  noteActivity(playState(), trialRecordLost());
  m_state.training.passed = true;
  m_state.plan.currentTrial = static_cast<int16_t>(m_state.plan.totalTrialCount() - 1);
  m_view->trainingSkipped();
  m_recorder.writeTrialRecord();
  advance();
}

bool GameSession::requestExit() {
  const Prompter& prompter = m_services.prompter;
  if (m_services.prompter.ask(prompter.translate("GameSession", "Are you sure you want to exit?"),
                              PromptStyle::YesNo,
                              prompter.translate("GameSession", "Exiting Quarn Game. . ."),
                              PromptKind::ConfirmExit) != Answer::Yes) {
    return false;
  }
  // A session taken over elsewhere ends here without writing anything. A
  // team trial is not recorded half-played: the member goes on with it at
  // the next login.
  const bool inProgress = trialInProgress() && !playsTeamTrial(m_state);
  noteActivity(playState(), inProgress ? trialRecordLost() : "");
  if (inProgress) m_recorder.writeTrialRecord();
  endSession();
  return true;
}

void GameSession::endSession() {
  releaseWorkstation(m_services, m_state);
}

void GameSession::keepAlive() {
  if (!m_state.mark) return;
  if (held()) {
    // The question says more than the phase under it: the mark keeps what
    // the game noted before asking ("Training Complete" under an open week).
    const std::optional<PlayState> noted = m_state.mark->activity.state;
    refreshWorkstation(m_services, m_state, noted.value_or(playState()), recordedTrial());
    return;
  }
  noteActivity(playState());
}

void GameSession::quit() {
  m_services.prompter.endApplication(0);
  throw ApplicationEnd(0);  // for a Prompter whose endApplication returns
}

// Starts the trial at currentTrial from week 1 and opens its first week.
void GameSession::startTrial() {
  if (playsTeamTrial(m_state)) {
    startTeamTrial();
    return;
  }
  m_teamRandom.reset();
  ChainContext context = chainContext();
  startTrialChain(context, m_services.appFolder + "/Input");
  m_view->trialStarted(trialDisplay());
  refreshWeek();
}

TrialDisplay GameSession::trialDisplay() {
  const Plan& plan = m_state.plan;
  const TrialPlan& trial = plan.current();
  TrialDisplay display;
  display.counter = m_state.training.active
                        ? counterText(m_state.training.recordedTrial,
                                      static_cast<int>(plan.trainingTrials.size()))
                        : counterText(plan.currentTrial + 1, plan.trialCount());
  display.firstWeek = counterText(1, trial.weeks);
  display.participantRole = trial.participantRole;
  display.delay = trial.delay;
  display.initialShipment = trial.initialShipment;
  display.display = readDisplayConfiguration(m_services.db.planTables(), trial.displayOption);
  display.forecastWeeks =
      loadPredicter(m_services.db.planTables(), m_state.predicter, trial.predicter);
  m_forecastShown = display.forecastWeeks != -1;
  return display;
}

// After a week (or at the trial's start): the figures, the training limits,
// then the trial's end or the next week.
void GameSession::refreshWeek() {
  m_view->figuresChanged(weekFigures());
  if (trainingFailed()) return;
  if (m_state.chain.currentWeek > m_state.plan.current().weeks) {
    endTrial();
    return;
  }
  openWeek();
}

WeekFigures GameSession::weekFigures() {
  const TrialPlan& trial = m_state.plan.current();
  const Chain& chain = m_state.chain;
  WeekFigures figures;
  for (size_t r = 0; r < kRoleCount; ++r) {
    const RoleState& role = chain.roles[r];
    RoleFigures& shown = figures.roles[r];
    shown.recentOrder = role.orderSlots.empty() ? 0 : role.orderSlots.back();
    shown.backorder = role.inventory < 0 ? -int64_t{role.inventory} : 0;
    shown.inventory = role.inventory < 0 ? 0 : role.inventory;
    shown.satisfied = role.satisfied;
    shown.demand = role.demand;
    shown.totalCost = role.totalCost;
  }
  figures.totalCost = trial.totalCost;
  // The week being opened; after the last week, the last one played.
  figures.weekCounter = counterText(std::min<int>(chain.currentWeek, trial.weeks), trial.weeks);
  if (m_forecastShown) figures.forecast = forecast(chain.currentWeek);
  return figures;
}

// The forecast shown in `week`, with a new noise. A team trial's members see
// the team's one forecast: its noise comes from the team's seed and the week.
int16_t GameSession::forecast(int16_t week) {
  const TrialPlan& trial = m_state.plan.current();
  if (!m_teamRandom) return predictDemand(m_state.predicter, trial, week, m_services.random);
  StandardUniformRandom weekRandom(teamForecastSeed(m_teamSeed, week));
  return predictDemand(m_state.predicter, trial, week, weekRandom);
}

// A training trial that broke its limits is recorded and played again; the
// restart waits for runPendingRestart(), so that restarts never nest.
bool GameSession::trainingFailed() {
  TrainingState& training = m_state.training;
  if (!training.active || training.inventoryBound == 0 || training.costLimit == 0) return false;
  if (!hasParticipant(m_state.plan.current().participantRole)) return false;
  Prompter& prompter = m_services.prompter;
  // A team training together restarts when any member's stage breaks the
  // limits: every member's workstation finds the same.
  const std::string reason = brokenTrainingLimit(m_state, &prompter);
  if (!reason.empty()) {
    prompter.ask(
        withArguments(prompter.translate("GameSession", "Training failed.  %1.  Restarting Trial"),
                      {reason}),
        PromptStyle::Ok, "", PromptKind::TrainingFailed);
    training.passed = false;
    noteActivity(PlayState::Restarting, trialRecordLost());
    m_recorder.writeTrialRecord();
    m_phase = Phase::RestartPending;
    m_view->trainingRestartPending();
    return true;
  }
  if (m_state.chain.currentWeek == 1) {
    prompter.ask(withArguments(prompter.translate("GameSession",
                                                  "Keep your Inventory/Backorders below %1\r\n"
                                                  "and your Cost below %2"),
                               {decimal(training.inventoryBound), decimal(training.costLimit)}),
                 PromptStyle::Ok, prompter.translate("GameSession", "Training Constraints"),
                 PromptKind::TrainingConstraints);
  }
  return false;
}

// Opens the week for the participant's order; a trial without a participant
// plays the week at once.
void GameSession::openWeek() {
  const TrialPlan& trial = m_state.plan.current();
  const Chain& chain = m_state.chain;
  m_state.times.weekStart = m_services.ticks.now();
  m_phase = Phase::WeekOpen;
  WeekOpening week{counterText(chain.currentWeek, trial.weeks), std::nullopt};
  if (playsTeamTrial(m_state) && memberDone(m_state, chain.currentWeek)) {
    m_view->weekOpened(week);
    waitForTeamWeek();
    return;
  }
  if (hasParticipant(trial.participantRole)) {
    noteActivity(PlayState::Choosing);
    m_view->weekOpened(week);
    return;
  }
  const std::vector<int32_t>& orders = chain.roles[roleIndex(Role::Distributor)].orderSlots;
  const size_t index = static_cast<size_t>(std::max(trial.orderDelay - 1, 0));
  week.simulatedOrder = index < orders.size() ? orders[index] : 0;
  m_view->weekOpened(week);
  playWeek(*week.simulatedOrder);
}

// Closes the week with the order (recording it) and hands the shipments to
// the view's animation.
void GameSession::playWeek(int order) {
  m_state.times.orderPress = m_services.ticks.now();
  m_phase = Phase::Animating;
  ChainContext context = chainContext();
  pressWeek(context, [&] {
    return static_cast<int16_t>(std::clamp<int>(order, 0, kLargestParticipantOrder));
  });
  animateWeek();
}

// Hands the week's shipments to the view's animation.
void GameSession::animateWeek() {
  m_view->animationStarted(weekShipments());
}

// What each role's upstream sent off in the week just played.
Shipments GameSession::weekShipments() const {
  Shipments shipments;
  for (size_t r = 0; r < kRoleCount; ++r) {
    const std::vector<int32_t>& pipeline = m_state.chain.roles[r].delaySlots;
    shipments.departing[r] = pipeline.empty() ? 0 : pipeline.back();
  }
  return shipments;
}

// The trial's last week is played: the trial is recorded, then its cost is
// told.
void GameSession::endTrial() {
  const TrialPlan& trial = m_state.plan.current();
  m_phase = Phase::TrialOver;
  m_view->trialEnded();
  const Prompter& prompter = m_services.prompter;
  std::string line;
  const int16_t p = trial.participantRole;
  if (hasParticipant(p)) {
    line = withArguments(prompter.translate("GameSession", "End cost playing as %1: %2"),
                         {translatedRoleName(prompter, p),
                          decimal(m_state.chain.roles[static_cast<size_t>(p)].totalCost)});
  } else {
    // Summed in 64 bits: four 32-bit totals need not fit in 32.
    int64_t sum = 0;
    for (const RoleState& role : m_state.chain.roles) sum += role.totalCost;
    line = withArguments(prompter.translate("GameSession", "End total cost for all roles is %1"),
                         {decimal(sum)});
  }
  noteActivity(PlayState::TrialOver, trialRecordLost());
  m_recorder.writeTrialRecord();
  m_services.prompter.ask(
      line + "\r\n" + prompter.translate("GameSession", "Press the Next Trial button to continue"),
      PromptStyle::Ok, prompter.translate("GameSession", "End Trial"), PromptKind::TrialEnded);
}

// Moves on from the trial just finished: plays a failed training trial
// again, goes to the next training trial, ends training after its last
// one, starts the next experiment trial, or ends the game.
void GameSession::advance() {
  Plan& plan = m_state.plan;
  TrainingState& training = m_state.training;
  for (;;) {
    if (training.active) {
      if (training.passed) plan.currentTrial = narrow16(plan.currentTrial + 1, "CurrentTrial");
      training.passed = true;
      if (plan.currentTrial == plan.totalTrialCount()) {
        endTraining();
        if (holdAtOwedPause()) return;
        continue;
      }
      training.recordedTrial = narrow16(training.recordedTrial - 1, "TrainingTrialNo");
      training.attempt = narrow16(training.attempt + 1, "TrainingAttempt");
      // Another member's moderator may have ended the team's training.
      if (trainsWithTeam(m_state) && teamTrainingOver(m_services, m_state)) {
        endTraining();
        if (holdAtOwedPause()) return;
        continue;
      }
      startTrial();
      return;
    }
    // The experiment trial just finished adds its cost; none yet adds nothing.
    if (plan.hasTrial(plan.currentTrial)) {
      m_state.costSum = toInt32(m_state.costSum + plan.current().totalCost, "CostSum");
    }
    if (plan.currentTrial < plan.trialCount() - 1) {
      plan.currentTrial = narrow16(plan.currentTrial + 1, "CurrentTrial");
      startTrial();
      return;
    }
    endGame();
    return;
  }
}

// Hands the participant back to the experiment after the last training trial.
void GameSession::endTraining() {
  if (trainsWithTeam(m_state)) endTeamTraining(m_services, m_state);
  noteActivity(PlayState::TrainingOver);
  m_view->trainingChanged(false);
  const Prompter& prompter = m_services.prompter;
  m_services.prompter.ask(prompter.translate("GameSession", "The experiment will now begin"),
                          PromptStyle::Ok, prompter.translate("GameSession", "Training Complete"),
                          PromptKind::TrainingComplete);
  m_state.training.active = false;
  m_state.plan.currentTrial = m_state.training.resumeTrial;
}

void GameSession::endGame() {
  const std::string count = decimal(m_state.plan.trialCount());
  m_phase = Phase::GameOver;
  noteActivity(PlayState::Finished);
  const Prompter& prompter = m_services.prompter;
  m_services.prompter.ask(
      withArguments(prompter.translate("GameSession",
                                       "Total cost sum over all %1 completed trial(s) is %2\r\n"
                                       "Alert your moderator."),
                    {count, decimal(m_state.costSum)}),
      PromptStyle::Ok,
      withArguments(prompter.translate("GameSession", "All %1 Trial(s) Completed"), {count}),
      PromptKind::GameOver);
  m_view->gameOver();
}

// The experiment trial the session begins with (0-based): during training
// the one training hands over to. It is also the number of trials before it.
int16_t GameSession::firstExperimentTrial() const {
  const TrainingState& training = m_state.training;
  return training.active ? narrow16(training.resumeTrial + 1, "CurrentTrial")
                         : m_state.plan.currentTrial;
}

// Whether the participant has an experiment trial left.
bool GameSession::hasTrialLeft() const {
  return firstExperimentTrial() < m_state.plan.trialCount();
}

// A trial left in the middle: at least one week played, not yet at its end.
bool GameSession::trialInProgress() const {
  const bool playing = m_phase == Phase::WeekOpen || m_phase == Phase::Animating ||
                       m_phase == Phase::RestartPending ||
                       (m_phase == Phase::WaitingForTeam && !m_teamForming);
  return playing && m_state.chain.currentWeek >= 2;
}

PlayState GameSession::playState() const {
  switch (m_phase) {
    case Phase::WeekOpen:
      return PlayState::Choosing;
    case Phase::Animating:
      return PlayState::Watching;
    case Phase::RestartPending:
      return PlayState::Restarting;
    case Phase::TrialOver:
      return PlayState::TrialOver;
    case Phase::Paused:
      return PlayState::Paused;
    case Phase::GameOver:
      return PlayState::Finished;
    case Phase::WaitingForTeam:
      return PlayState::WaitingForTeam;
    case Phase::LoggedOut:
    case Phase::LoggedIn:
      break;
  }
  return PlayState::LoggedIn;
}

// Refreshes the workstation's mark; a participant taken over elsewhere ends
// the session before anything more is written.
void GameSession::noteActivity(PlayState now, const std::string& unrecorded) {
  keepWorkstation(m_services, m_state, now, recordedTrial(), unrecorded);
}

std::string GameSession::trialRecordLost() const {
  return "the record of trial " + decimal(recordedTrial()) + " was not stored";
}

ChainContext GameSession::chainContext() {
  Plan& plan = m_state.plan;
  UniformRandom& random =
      m_teamRandom ? static_cast<UniformRandom&>(*m_teamRandom) : m_services.random;
  return ChainContext{plan.current(),   plan.players, m_state.chain,
                      m_services.ticks, random,       [this] { m_recorder.weekClosed(); }};
}

bool GameSession::pollTeam(std::chrono::milliseconds wait) {
  // A team's pause is passed by any member's moderator; the pause window
  // itself is the question open meanwhile.
  const bool teamPause = m_phase == Phase::Paused && m_state.team.active();
  // While the week is open in training played together, another member's
  // moderator may end the team's training.
  const bool trainingWeekOpen = m_phase == Phase::WeekOpen && trainsWithTeam(m_state);
  if (!teamPause && held()) return false;
  if (!teamPause && !trainingWeekOpen && m_phase != Phase::WaitingForTeam) return false;
  const TeamKey& key = m_state.team.key;
  const bool changed =
      m_services.db.read([&] { return m_services.db.teams().waitForChange(key, wait); });
  // A change missed (a listening connection lost and made anew) is found by
  // the next look a while later.
  constexpr auto kLookAnyway = std::chrono::seconds(2);
  if (!changed && std::chrono::steady_clock::now() - m_lastTeamLook < kLookAnyway) return false;
  if (teamPause) return lookAtTeamPause();
  if (trainingWeekOpen) return lookAtTeamTraining();
  return lookAtTeam();
}

bool GameSession::watchesTeam() const {
  return (m_phase == Phase::Paused && m_state.team.active()) || m_phase == Phase::WaitingForTeam ||
         (m_phase == Phase::WeekOpen && trainsWithTeam(m_state));
}

bool GameSession::lookAtTeamTraining() {
  m_lastTeamLook = std::chrono::steady_clock::now();
  if (!teamTrainingOver(m_services, m_state)) return false;
  m_view->teamWaiting("");
  leaveTraining();
  return true;
}

bool GameSession::lookAtTeamPause() {
  m_lastTeamLook = std::chrono::steady_clock::now();
  if (!teamPausePassed(m_services, m_state)) return false;
  passPause(m_state.pauses);
  advance();
  return true;
}

bool GameSession::lookAtTeam() {
  m_lastTeamLook = std::chrono::steady_clock::now();
  if (!m_teamForming) return lookAtTeamWeek();
  if (!readTeamMembers(m_services, m_state)) {
    m_view->teamWaiting(teamFormingText(m_services.prompter, m_state.team));
    return false;
  }
  m_teamForming = false;
  m_view->teamWaiting("");
  startTeamTrial();
  return true;
}

// A team trial starts once the team is complete. Every member's workstation
// computes the whole chain from the typed orders; one that starts again
// (after a crash, or at another workstation) replays the weeks played so far
// and records those it had not recorded yet.
void GameSession::startTeamTrial() {
  if (!readTeamMembers(m_services, m_state)) {
    waitForTeamToForm();
    return;
  }
  const Identity& identity = m_state.identity;
  if (m_state.training.active) beginTeamTraining(m_services, m_state);
  startTeamChain();
  recordTeamTrial(m_services, m_state, recordedTrial());
  m_state.team.recordedWeeks =
      m_services.db.highestWeek(identity.subject, identity.setting, recordedTrial()).value_or(0);
  // A trial played to its end and recorded before the workstation started
  // again is not recorded twice.
  const TrialKey key{identity.subject, identity.setting, recordedTrial()};
  if (m_services.db.trialRecorded(key.subject, key.setting, key.trial)) {
    m_state.lastRecordedTrial = key;
  }
  readTeamTrial(m_services, m_state);
  m_view->trialStarted(trialDisplay());
  replayStoredTeamWeeks();
  refreshWeek();
}

// While the team forms, the window shows the trial's chain as it starts and
// who is here; nothing is stored or recorded until the team is complete.
void GameSession::waitForTeamToForm() {
  m_teamForming = true;
  m_phase = Phase::WaitingForTeam;
  m_lastTeamLook = std::chrono::steady_clock::now();
  noteActivity(PlayState::WaitingForTeam);
  startTeamChain();
  m_view->trialStarted(trialDisplay());
  m_view->figuresChanged(weekFigures());
  m_view->teamWaiting(teamFormingText(m_services.prompter, m_state.team));
}

// The team trial's chain at its start, the same at every member's
// workstation: the simulated players draw from the team's seed.
void GameSession::startTeamChain() {
  // Training trials draw from generators of their own, apart from the
  // experiment trials' (numbered from 1).
  const int16_t seedTrial = m_state.training.active
                                ? narrow16(-int64_t{m_state.training.attempt}, "Trial")
                                : teamTrialNumber(m_state);
  m_teamSeed = teamNoiseSeed(m_state.identity.setting, m_state.team.key.team, seedTrial);
  m_teamRandom.emplace(m_teamSeed);
  ChainContext context = chainContext();
  startTrialChain(context, m_services.appFolder + "/Input");
}

void GameSession::replayStoredTeamWeeks() {
  const int16_t weeks = m_state.plan.current().weeks;
  while (m_state.chain.currentWeek <= weeks) {
    const auto orders = completeTeamWeek(m_state, m_state.chain.currentWeek);
    if (!orders) return;
    pressTeam(*orders);
    m_view->weekReplayed(weekShipments());
  }
}

void GameSession::waitForTeamWeek() {
  m_phase = Phase::WaitingForTeam;
  m_teamForming = false;
  // The last member to order plays the week at once: its mark says so with
  // the week's records instead of first saying that it waits.
  if (!lookAtTeamWeek()) noteActivity(PlayState::WaitingForTeam);
}

// Plays the open week once every member has ordered it; else says whom the
// team waits for.
bool GameSession::lookAtTeamWeek() {
  m_lastTeamLook = std::chrono::steady_clock::now();
  readTeamTrial(m_services, m_state);
  const int16_t week = m_state.chain.currentWeek;
  if (const auto orders = completeTeamWeek(m_state, week)) {
    m_view->teamWaiting("");
    playTeamWeek(*orders);
    return true;
  }
  if (m_state.training.active && lookAtTeamTraining()) return true;
  m_view->teamWaiting(teamWeekText(m_services.prompter, m_state, week));
  return false;
}

// Closes the open week with every member's typed order; this member's
// decision time is the one stored with its order.
void GameSession::pressTeam(const std::array<int16_t, kRoleCount>& orders) {
  const int16_t own = m_state.plan.current().participantRole;
  // A week replayed after a start again is recorded with the forecast noise
  // the team saw in it.
  if (m_forecastShown) forecast(m_state.chain.currentWeek);
  m_state.times = {0, static_cast<uint32_t>(m_state.team.decisionTimes[static_cast<size_t>(own)])};
  ChainContext context = chainContext();
  pressTeamWeek(context, orders);
}

void GameSession::playTeamWeek(const std::array<int16_t, kRoleCount>& orders) {
  m_phase = Phase::Animating;
  pressTeam(orders);
  animateWeek();
}

}  // namespace quarn
