#include "game/GameSession.h"

#include <algorithm>
#include <filesystem>

#include "base/Numbers.h"
#include "base/Roles.h"
#include "base/Text.h"
#include "db/DatabaseChoice.h"
#include "game/ChainFigures.h"
#include "game/ExperimentLoading.h"
#include "game/TeamPlay.h"
#include "game/WeekClockRule.h"
#include "game/WorkstationMark.h"
#include "plan/CompletionLink.h"
#include "plan/SettingCheck.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"

namespace quarn {

GameSession::GameSession(GameServices services)
    : m_services(std::move(services)),
      m_coordination(coordinationFor(m_services, m_state, *this)) {}

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
  if (!takesMove(m_phase, Move::LogIn)) return LoginResult::RetrySubject;
  m_services.db.holdPlan();
  PlanHold hold(m_services.db);
  const LoginResult result = quarn::logIn(m_services, m_state, *m_view, m_settings, request);
  if (result == LoginResult::LoggedIn) {
    enter(PhaseStep::LogIn, Phase::LoggedIn);
    hold.keep();
  }
  return result;
}

bool GameSession::startGame() {
  if (!takesMove(m_phase, Move::StartGame)) return false;
  const PlanHold hold(m_services.db);
  m_coordination = coordinationFor(m_services, m_state, *this);
  const Identity& identity = m_state.identity;
  m_view->sessionStarted(identity.subject, identity.setting);
  if (loadExperimentPlan(m_services, m_state)) {
    m_view->trainingChanged(true);
    m_services.prompter.ask(
        m_services.prompter.translate("GameSession", "First, we will have some training trials..."),
        PromptStyle::Ok, "", PromptKind::TrainingIntro);
  }
  loadPauses(m_services.db.planTables(), identity.setting, m_state.pauses);
  m_displays.readFor(m_services.db.planTables(), m_state.plan);
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
    enter(PhaseStep::NoTrialLeft, Phase::LoggedOut);
    return false;
  }
  if (m_state.training.active) {
    m_coordination->startTrial();
    return true;
  }
  // The experiment begins as if the trial before it had just ended.
  m_state.plan.currentTrial = narrow16(m_state.plan.currentTrial - 1, "CurrentTrial");
  if (!holdAtOwedPause()) advance();
  return true;
}

bool GameSession::submitOrder(int order, std::optional<int32_t> decisionTime) {
  if (!takesMove(m_phase, Move::Order)) return false;
  const int16_t largest = m_state.plan.current().largestOrder;
  if (order > largest) {
    m_services.prompter.ask(withArguments(m_services.prompter.translate(
                                              "GameSession", "Orders in this trial are at most %1"),
                                          {decimal(largest)}),
                            PromptStyle::OkWarning, "", PromptKind::OrderAboveLimit);
    return false;
  }
  m_state.times.measured = decisionTime;
  m_state.times.byClock = false;
  stopClock();
  m_coordination->order(order, false);
  return true;
}

bool GameSession::clockRuns() const {
  if (!m_state.plan.clock.runs()) return false;
  return (m_phase == Phase::WeekOpen && m_clockCounts) || m_phase == Phase::WaitingForTeam;
}

bool GameSession::runClock() {
  if (!clockRuns() || held()) return false;
  if (m_phase == Phase::WaitingForTeam) {
    const std::optional<int64_t> left =
        clockMillisecondsLeft(m_state.plan.clock, m_state.times.weekStart, m_services.ticks.now());
    if (left && *left == 0) m_coordination->orderForLateMembers();
    return false;
  }
  const int64_t left =
      clockMillisecondsLeft(m_state.plan.clock, m_state.times.weekStart, m_services.ticks.now())
          .value_or(0);
  showClock(secondsShown(left));
  if (left > 0) return false;
  orderByClock();
  return true;
}

void GameSession::showClock(std::optional<int> seconds) {
  if (seconds == m_clockShown) return;
  m_clockShown = seconds;
  m_view->weekClock(seconds);
}

void GameSession::stopClock() {
  m_clockCounts = false;
  showClock(std::nullopt);
}

// The open week's time ran out: the clock's rule orders, and the
// participant is told what. The week's decision time is the whole time.
void GameSession::orderByClock() {
  const int16_t stage = m_state.plan.current().participantRole;
  const int16_t order = clockRuleOrder(m_state, stage, m_state.chain.participantOrder,
                                       m_services.ticks, m_services.random);
  stopClock();
  m_state.times.measured.reset();
  m_state.times.byClock = true;
  m_view->clockOrdered(clockOrderedText(m_services.prompter, order));
  m_coordination->order(order, true);
}

void GameSession::animationFinished() {
  if (takesMove(m_phase, Move::AnimationFinished)) refreshWeek();
}

bool GameSession::runPendingRestart() {
  if (!takesMove(m_phase, Move::RunPendingRestart)) return true;
  if (held()) return false;
  advance();
  return true;
}

void GameSession::nextTrial() {
  if (!takesMove(m_phase, Move::NextTrial)) return;
  m_view->trialClosed();
  if (pauseDue(m_state.pauses, m_state.plan.currentTrial)) {
    enterPause();
    return;
  }
  advance();
}

void GameSession::enterPause() {
  enter(PhaseStep::PauseDue, Phase::Paused);
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
  if (m_coordination->pausePassedElsewhere()) {
    passPause(m_state.pauses);
    return false;
  }
  m_view->trialClosed();
  enterPause();
  return true;
}

bool GameSession::answerPause(const std::string& password) {
  if (!takesMove(m_phase, Move::AnswerPause) || !checkPausePassword(m_state.pauses, password)) {
    return false;
  }
  return passPauseWithoutPassword();
}

bool GameSession::passPauseWithoutPassword() {
  if (!takesMove(m_phase, Move::AnswerPause)) return false;
  m_coordination->pausePassed();
  advance();
  return true;
}

bool GameSession::skipTrainingWithoutPassword() {
  if (!m_state.training.active || !takesMove(m_phase, Move::SkipTraining)) return false;
  m_coordination->trainingEnds();
  leaveTraining();
  return true;
}

bool GameSession::skipTraining(const std::string& password) {
  TrainingState& training = m_state.training;
  if (!training.active || !takesMove(m_phase, Move::SkipTraining)) return false;
  if (password != training.password) {
    m_services.prompter.ask(m_services.prompter.translate("GameSession", "Incorrect Password"),
                            PromptStyle::Ok, "", PromptKind::IncorrectPassword);
    return false;
  }
  return skipTrainingWithoutPassword();
}

// Ends training at once: the trial in progress is recorded and the
// experiment begins.
void GameSession::leaveTraining() {
  stopClock();
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
  // A session taken over elsewhere ends here without writing anything.
  const bool inProgress = trialInProgress() && m_coordination->recordsUnfinishedTrial();
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

void GameSession::startChain() {
  ChainContext context = chainContext();
  startTrialChain(context, m_services.appFolder + "/Input");
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
  display.display = m_displays.of(m_services.db.planTables(), trial.displayOption);
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
  WeekFigures figures = chainFigures(m_state.chain, m_state.plan.current());
  if (m_forecastShown) figures.forecast = forecast(m_state.chain.currentWeek);
  return figures;
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
    enter(PhaseStep::TrainingFailed, Phase::RestartPending);
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
  m_state.times.measured.reset();
  m_state.times.byClock = false;
  enter(PhaseStep::WeekOpens, Phase::WeekOpen);
  WeekOpening week{counterText(chain.currentWeek, trial.weeks), std::nullopt};
  if (m_coordination->weekOpenedOrdered(week)) return;
  if (hasParticipant(trial.participantRole)) {
    noteActivity(PlayState::Choosing);
    m_view->weekOpened(week);
    if (m_state.plan.clock.runs()) {
      m_clockCounts = true;
      m_clockShown.reset();
      showClock(m_state.plan.clock.seconds);
    }
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
  enter(PhaseStep::Ordered, Phase::Animating);
  ChainContext context = chainContext();
  pressWeek(context, [&] {
    return static_cast<int16_t>(std::clamp<int>(order, 0, kLargestParticipantOrder));
  });
  animateWeek();
}

// Closes the open week with every stage's order. A week replayed after a
// start again is recorded with the forecast noise seen in it.
void GameSession::pressOrders(const std::array<int16_t, kRoleCount>& orders, int32_t decisionTime) {
  if (m_forecastShown) forecast(m_state.chain.currentWeek);
  m_state.times = {0, static_cast<uint32_t>(decisionTime)};
  ChainContext context = chainContext();
  pressTeamWeek(context, orders);
}

// The trial's last week is played: the trial is recorded, then its cost is
// told.
void GameSession::endTrial() {
  const TrialPlan& trial = m_state.plan.current();
  enter(PhaseStep::TrialEnds, Phase::TrialOver);
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
      if (m_coordination->trainingEndedElsewhere()) {
        endTraining();
        if (holdAtOwedPause()) return;
        continue;
      }
      m_coordination->startTrial();
      return;
    }
    // The experiment trial just finished adds its cost; none yet adds nothing.
    if (plan.hasTrial(plan.currentTrial)) {
      m_state.costSum = toInt32(m_state.costSum + plan.current().totalCost, "CostSum");
    }
    if (plan.currentTrial < plan.trialCount() - 1) {
      plan.currentTrial = narrow16(plan.currentTrial + 1, "CurrentTrial");
      m_coordination->startTrial();
      return;
    }
    endGame();
    return;
  }
}

// Hands the participant back to the experiment after the last training trial.
void GameSession::endTraining() {
  m_coordination->trainingEnds();
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
  enter(PhaseStep::LastTrialPlayed, Phase::GameOver);
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
  showCompletionLink();
}

void GameSession::showCompletionLink() {
  const std::string link = completionLinkOf(m_services.db.planTables(), m_state.identity.setting);
  if (isCompletionLink(link)) {
    m_view->completionLinkShown(completionAddress(link, m_state.identity.subject));
  }
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
                       m_phase == Phase::RestartPending || m_phase == Phase::WaitingForTeam;
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
    case Phase::FormingTeam:
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
  return ChainContext{plan.current(),
                      plan.players,
                      m_state.chain,
                      m_services.ticks,
                      m_coordination->random(),
                      [this] { m_recorder.weekClosed(); }};
}

}  // namespace quarn
