#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

#include "base/Random.h"
#include "base/Roles.h"
#include "db/PlayingMark.h"
#include "game/GameState.h"
#include "game/GameView.h"
#include "game/Phases.h"

namespace quarn {

// The steps of a game that the coordination of its weeks takes: GameSession
// offers them, and keeps the moves a participant makes.
class WeekSteps {
 public:
  virtual ~WeekSteps() = default;

  virtual Phase phase() const = 0;
  // Changes the phase as the table of transitions allows (see Phases.h).
  virtual void enter(PhaseStep step, Phase to) = 0;
  virtual GameView& view() = 0;
  // Refreshes the workstation's mark with what the participant does now.
  virtual void noteActivity(PlayState now) = 0;
  // The Trial number under which the running trial is recorded.
  virtual int16_t recordedTrial() const = 0;

  // Starts the running trial's chain at week 1, its simulated players
  // drawing from the coordination's generator.
  virtual void startChain() = 0;
  // Tells the view the running trial's start, or the figures as they are.
  virtual void showTrialStart() = 0;
  virtual void showFigures() = 0;
  // After a week (or at the trial's start): the figures, the training
  // limits, then the trial's end or the next week.
  virtual void refreshWeek() = 0;
  // Closes the open week with the participant's order and animates it.
  virtual void playWeek(int order) = 0;
  // Closes the open week with every stage's order; `decisionTime` is the
  // participant's, recorded with the week.
  virtual void pressOrders(const std::array<int16_t, kRoleCount>& orders, int32_t decisionTime) = 0;
  // Hands the week just played to the view's animation, or shows at once
  // what it would have left (a week replayed).
  virtual void animateWeek() = 0;
  virtual void showReplayedWeek() = 0;
  // Ends training at once (the trial in progress is recorded), or moves on
  // from the trial just finished.
  virtual void leaveTraining() = 0;
  virtual void advance() = 0;
};

// How a week is coordinated: who closes it, where the simulated players'
// noise comes from, and what the game waits for besides the participant.
// Alone, the participant's order closes the week; in a team, the orders of
// every member do (see TeamCoordination).
//
// A coordination neither owns a window nor runs an event loop: the host (the
// window's timer, the pilot's loop, later a server) calls poll() while
// watches() says there is something to look at.
class WeekCoordination {
 public:
  virtual ~WeekCoordination() = default;

  // Starts the running trial from week 1 and opens its first week (or waits
  // for the team).
  virtual void startTrial() = 0;
  // The week just opened (WeekOpen): a member whose order of the week is in
  // already shows the week and waits for the team (true); else the order is
  // still to be made here (false).
  virtual bool weekOpenedOrdered(const WeekOpening& week) = 0;
  // The participant's order of the open week, within the trial's largest;
  // `byClock` when the week clock made it.
  virtual void order(int order, bool byClock) = 0;
  // The week clock of the week this member waits in ran out: orders by the
  // clock's rule for every member who has not ordered it (a member who is
  // gone must not stop the team). Nothing alone.
  virtual void orderForLateMembers() = 0;

  // The generator the running trial's simulated players draw from.
  virtual UniformRandom& random() = 0;
  // The forecast of `week` with a new noise.
  virtual int16_t forecast(int16_t week) = 0;

  // Whether the due pause was passed already by another member's moderator.
  virtual bool pausePassedElsewhere() = 0;
  // The pause's password was taken here.
  virtual void pausePassed() = 0;
  // Training ends here (played to its end, or skipped).
  virtual void trainingEnds() = 0;
  // Whether training was ended elsewhere (another member's moderator).
  virtual bool trainingEndedElsewhere() = 0;
  // Whether a trial left in the middle is recorded as far as it was played.
  virtual bool recordsUnfinishedTrial() const = 0;

  // Whether poll() has anything to look at now.
  virtual bool watches() const = 0;
  // Waits up to `wait` for a change of what the game waits for and looks
  // at it; returns whether the game moved on.
  virtual bool poll(std::chrono::milliseconds wait) = 0;
};

// The coordination for the session's participant: a team's when the login
// made the participant a member of a team, else the one of a participant
// alone.
std::unique_ptr<WeekCoordination> coordinationFor(GameServices& services, GameState& state,
                                                  WeekSteps& steps);

}  // namespace quarn
