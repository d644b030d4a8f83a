#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "game/ChainFigures.h"
#include "game/GameState.h"
#include "game/GameView.h"
#include "game/Login.h"
#include "game/Phases.h"
#include "game/WeekCoordination.h"
#include "game/WeekRecorder.h"
#include "plan/DisplayConfiguration.h"

namespace quarn {

// The game controller: owns one participant's game and offers the moves of
// the participant and the moderator. It tells the view what to show
// (GameView), asks questions through the Prompter and records every week
// and trial through the DatabaseAccess service and the text file. A move
// made in a phase that does not take it does nothing.
//
// The game never calls itself back through the view: the animation, a
// training restart and the next trial each return to the caller, who makes
// the next move (the window from its event loop, the pilot from its loop).
//
// How a week is closed (by the participant's order alone, or by the team's
// orders) is its WeekCoordination's; the session changes its phase only as
// the table in game/Phases.h allows.
class GameSession : private WeekSteps {
 public:
  explicit GameSession(GameServices services);
  // The coordination holds the session: it stays where it was made.
  GameSession(const GameSession&) = delete;
  GameSession& operator=(const GameSession&) = delete;

  // The view told of every change; without one nothing is shown.
  void setView(GameView* view);

  // Chooses the database (a file in the data folder, or the server the box
  // or data/quarn.conf names) and returns the settings it offers: those of
  // the last database that had any.
  const std::vector<std::string>& openDatabase(const std::string& fileName);
  // Chooses the database as openDatabase() does, reading nothing yet. A box
  // that names a file (or a settings file) that does not exist is refused
  // with a message, and the database in use stays: false.
  bool useDatabase(const std::string& fileName);
  // The settings of the database in use, read now: those of the last
  // database that had any.
  const std::vector<std::string>& readSettings();
  // Whether `setting` is one of the offered settings and is played by teams.
  bool isTeamSetting(const std::string& setting);
  // Which database is in use: its file's path, or the server's host, port
  // and database.
  DatabasePlace databaseInUse() const { return m_services.db.place(); }

  // LoggedOut -> LoggedIn: see logIn() in game/Login.h.
  LoginResult logIn(const LoginRequest& request);

  // LoggedIn -> the first trial. Loads the setting's plan (a fault ends the
  // application), announces training, and starts the participant's trial;
  // a participant who comes back after a trial that a pause follows waits
  // in that pause first (Paused), after training in a setting with training.
  // When the participant has no trial left, says so and goes back to
  // LoggedOut for another login: returns false.
  bool startGame();

  // WeekOpen -> Animating: the participant's order (0 to 9999) closes the
  // week, which is recorded, and the view animates its shipments; in a team
  // trial the order is stored and the game waits for the other members'
  // (WaitingForTeam). An order above the trial's largest order is refused
  // with a message and the week stays open: returns false. `decisionTime`
  // (milliseconds), when given, is recorded as the week's decision time in
  // place of the tick counter's measure.
  bool submitOrder(int order, std::optional<int32_t> decisionTime = std::nullopt);

  // Animating -> the next week (WeekOpen, or Animating again when the trial
  // plays itself), TrialOver after the last week, or RestartPending when a
  // training trial broke its limits.
  void animationFinished();

  // RestartPending -> the failed training trial again. Returns false, and
  // does nothing, while a question is open: the game stands still under it.
  bool runPendingRestart();

  // TrialOver -> Paused when a pause is due, else the next trial (or the end
  // of training, or GameOver).
  void nextTrial();

  // Paused -> the next trial when `password` is the pause's; false else.
  bool answerPause(const std::string& password);

  // The moderator's password that skips the rest of training (WeekOpen or
  // RestartPending, during training). The trial in progress is recorded and
  // the experiment begins: true. A wrong password is said: false.
  bool skipTraining(const std::string& password);

  // The teacher's word for the whole class, given without a password (the
  // teacher logged in to the class): passes the pause the session waits at,
  // or ends its training, as the right password would. False, and nothing
  // changes, where the session is not at a pause or not in training.
  bool passPauseWithoutPassword();
  bool skipTrainingWithoutPassword();

  // Closing the window: asks. Yes records the trial in progress (as far as
  // it was played, once), ends the session and returns true: the caller
  // ends the application. No changes nothing.
  bool requestExit();

  // The normal end of the session: the workstation's mark is removed.
  void endSession();

  // The running application's sign of life, on a timer: refreshes the
  // workstation's mark with what the participant does now, also while a
  // question or the pause window is open (the participant reads it). A
  // participant taken over elsewhere ends the session here (see
  // keepWorkstation), once no question is open.
  void keepAlive();

  // FormingTeam, WaitingForTeam, or Paused in a team setting: waits up to
  // `wait` for the team's next change and looks at the team when it changed
  // (or a while has passed since the last look): a complete team starts its
  // trial, a complete week is played, a pause that another member's
  // moderator passed is passed here too. The window calls it from a short
  // timer without waiting; the pilot waits in it. Returns whether the game
  // moved on.
  bool pollTeam(std::chrono::milliseconds wait) { return m_coordination->poll(wait); }
  // Whether pollTeam has anything to look at now: the window runs its timer
  // meanwhile.
  bool watchesTeam() const { return m_coordination->watches(); }

  // The week clock's move, from the host's timer (the window's, a browser
  // session's tick): tells the view the seconds left of the open week, and
  // once they run out orders the week by the setting's rule and says so.
  // A team member waiting in a week whose time ran out orders for the
  // members who have not (see WeekCoordination::orderForLateMembers). Does
  // nothing without a clock, or while a question is open. Returns whether
  // the game moved on.
  bool runClock();
  // Whether runClock has anything to do now: the host runs its timer
  // meanwhile.
  bool clockRuns() const;

  // The login's Quit: the application ends.
  [[noreturn]] void quit();

  Phase phase() const override { return m_phase; }
  // Whether a question is open: the game stands still meanwhile.
  bool held() const { return m_services.prompter.modalOpen(); }
  bool inTraining() const { return m_state.training.active; }
  const GameState& state() const { return m_state; }
  // The Trial number under which the running trial is recorded.
  int16_t recordedTrial() const override { return m_recorder.recordedTrial(); }

 private:
  // The steps the coordination takes (WeekSteps).
  void enter(PhaseStep step, Phase to) override { m_phase = checkedPhaseChange(m_phase, step, to); }
  GameView& view() override { return *m_view; }
  void noteActivity(PlayState now) override { noteActivity(now, ""); }
  void startChain() override;
  void showTrialStart() override { m_view->trialStarted(trialDisplay()); }
  void showFigures() override { m_view->figuresChanged(weekFigures()); }
  void refreshWeek() override;
  void playWeek(int order) override;
  void pressOrders(const std::array<int16_t, kRoleCount>& orders, int32_t decisionTime) override;
  // Hands the week's shipments to the view's animation.
  void animateWeek() override { m_view->animationStarted(departingShipments(m_state.chain)); }
  void showReplayedWeek() override { m_view->weekReplayed(departingShipments(m_state.chain)); }
  void leaveTraining() override;
  void advance() override;

  TrialDisplay trialDisplay();
  WeekFigures weekFigures();
  int16_t forecast(int16_t week) { return m_coordination->forecast(week); }
  bool trainingFailed();
  void openWeek();
  void orderByClock();
  void showClock(std::optional<int> seconds);
  void stopClock();
  void endTrial();
  void endTraining();
  void endGame();
  // The setting's completion link, when it names one, to the closing screen.
  void showCompletionLink();
  void enterPause();
  bool holdAtOwedPause();
  int16_t firstExperimentTrial() const;
  bool hasTrialLeft() const;
  bool trialInProgress() const;
  PlayState playState() const;
  void noteActivity(PlayState now, const std::string& unrecorded);
  std::string trialRecordLost() const;
  ChainContext chainContext();

  GameServices m_services;
  GameState m_state;
  WeekRecorder m_recorder{m_services, m_state};
  GameView m_noView;
  GameView* m_view = &m_noView;
  std::vector<std::string> m_settings;
  Phase m_phase = Phase::LoggedOut;
  bool m_forecastShown = false;
  // The open week's clock runs: its order box is the participant's.
  bool m_clockCounts = false;
  std::optional<int> m_clockShown;  // the seconds the view shows
  SessionDisplays m_displays;
  std::unique_ptr<WeekCoordination> m_coordination;
};

}  // namespace quarn
