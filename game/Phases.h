#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quarn {

// Where the game stands. The windows choose their captions from it; the
// pilot and the tests read it to know what the game waits for.
enum class Phase {
  LoggedOut,       // waiting for a login
  LoggedIn,        // the login succeeded; startGame() loads the plan
  WeekOpen,        // waiting for the participant's order
  Animating,       // the week was played; the view shows the shipments
  RestartPending,  // a failed training trial waits to be played again
  TrialOver,       // the trial's last week was played; waiting for nextTrial()
  Paused,          // a scheduled pause waits for its password
  FormingTeam,     // a team member waits for the team's members to come
  WaitingForTeam,  // a team member waits for the other members' orders
  GameOver,        // every trial was played
};
inline constexpr int kPhaseCount = static_cast<int>(Phase::GameOver) + 1;

// What makes the game change its phase.
enum class PhaseStep {
  LogIn,            // the login succeeded
  NoTrialLeft,      // the participant has played every trial already
  WeekOpens,        // a week waits for its order
  Ordered,          // the week's order is made: it is played, or the team is waited for
  TeamOrdered,      // every member ordered the week: it is played
  TeamIncomplete,   // a team trial waits for the team's members
  TrainingFailed,   // a training trial broke its limits
  TrialEnds,        // the trial's last week was played
  PauseDue,         // a scheduled pause holds the next trial
  LastTrialPlayed,  // the experiment is over
};
inline constexpr int kPhaseStepCount = static_cast<int>(PhaseStep::LastTrialPlayed) + 1;

// A set of phases, one bit each.
class PhaseSet {
 public:
  constexpr PhaseSet() = default;
  constexpr PhaseSet(std::initializer_list<Phase> phases) {
    for (const Phase phase : phases) m_bits |= bit(phase);
  }
  constexpr bool contains(Phase phase) const { return (m_bits & bit(phase)) != 0; }
  constexpr PhaseSet with(Phase phase) const {
    PhaseSet set = *this;
    set.m_bits |= bit(phase);
    return set;
  }

 private:
  static constexpr uint32_t bit(Phase phase) { return uint32_t{1} << static_cast<int>(phase); }
  uint32_t m_bits = 0;
};

// One row of the transitions: `step` moves the game from any phase of `from`
// to `to`.
struct PhaseTransition {
  PhaseSet from;
  PhaseStep step;
  Phase to;
};

// The phases a trial may start from: the login, the end of a trial, a pause,
// a restart, training skipped or ended by the team while a week is open or
// waits, and a team that forms.
inline constexpr PhaseSet kTrialStartPhases{
    Phase::LoggedIn, Phase::WeekOpen,       Phase::RestartPending, Phase::TrialOver,
    Phase::Paused,   Phase::WaitingForTeam, Phase::FormingTeam};
// The phases the game moves on from to the next trial, a pause or the end.
inline constexpr PhaseSet kAdvancePhases{Phase::LoggedIn,  Phase::WeekOpen, Phase::RestartPending,
                                         Phase::TrialOver, Phase::Paused,   Phase::WaitingForTeam};
// The phases after which a week's figures are shown: a week played, or a
// trial started.
inline constexpr PhaseSet kFiguresPhases = kTrialStartPhases.with(Phase::Animating);

// Every phase change the game makes. GameSession changes its phase only
// through this table; a change that is not in it is a programming error.
inline constexpr std::array kPhaseTransitions{
    PhaseTransition{{Phase::LoggedOut}, PhaseStep::LogIn, Phase::LoggedIn},
    PhaseTransition{{Phase::LoggedIn}, PhaseStep::NoTrialLeft, Phase::LoggedOut},
    PhaseTransition{kFiguresPhases, PhaseStep::WeekOpens, Phase::WeekOpen},
    PhaseTransition{{Phase::WeekOpen}, PhaseStep::Ordered, Phase::Animating},
    PhaseTransition{{Phase::WeekOpen}, PhaseStep::Ordered, Phase::WaitingForTeam},
    PhaseTransition{{Phase::WaitingForTeam}, PhaseStep::TeamOrdered, Phase::Animating},
    PhaseTransition{kTrialStartPhases, PhaseStep::TeamIncomplete, Phase::FormingTeam},
    PhaseTransition{kFiguresPhases, PhaseStep::TrainingFailed, Phase::RestartPending},
    PhaseTransition{kFiguresPhases, PhaseStep::TrialEnds, Phase::TrialOver},
    PhaseTransition{kAdvancePhases, PhaseStep::PauseDue, Phase::Paused},
    PhaseTransition{kAdvancePhases, PhaseStep::LastTrialPlayed, Phase::GameOver},
};

// The moves a participant, a moderator or the host makes, each taken in
// some phases only; in any other a move does nothing.
enum class Move {
  LogIn,
  StartGame,
  Order,
  AnimationFinished,
  RunPendingRestart,
  NextTrial,
  AnswerPause,
  SkipTraining,
};

struct MovePhases {
  Move move;
  PhaseSet phases;
};

inline constexpr std::array kMovePhases{
    MovePhases{Move::LogIn, {Phase::LoggedOut}},
    MovePhases{Move::StartGame, {Phase::LoggedIn}},
    MovePhases{Move::Order, {Phase::WeekOpen}},
    MovePhases{Move::AnimationFinished, {Phase::Animating}},
    MovePhases{Move::RunPendingRestart, {Phase::RestartPending}},
    MovePhases{Move::NextTrial, {Phase::TrialOver}},
    MovePhases{Move::AnswerPause, {Phase::Paused}},
    MovePhases{Move::SkipTraining, {Phase::WeekOpen, Phase::RestartPending}},
};

// Whether the table has the change from `from` by `step` to `to`.
bool phaseChangeAllowed(Phase from, PhaseStep step, Phase to);
// `to` when the change is in the table; throws std::logic_error otherwise.
Phase checkedPhaseChange(Phase from, PhaseStep step, Phase to);
// Whether `move` is taken in `phase`.
bool takesMove(Phase phase, Move move);

std::string_view phaseName(Phase phase);
std::string_view phaseStepName(PhaseStep step);

// The transitions as a state diagram (Mermaid), one line per change, in the
// table's order: the developer guide shows it.
std::string phaseDiagram();

}  // namespace quarn
