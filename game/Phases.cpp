#include "game/Phases.h"

#include <algorithm>
#include <stdexcept>

namespace quarn {

namespace {

constexpr std::array<std::string_view, kPhaseCount> kPhaseNames{
    "LoggedOut", "LoggedIn", "WeekOpen",    "Animating",      "RestartPending",
    "TrialOver", "Paused",   "FormingTeam", "WaitingForTeam", "GameOver"};

constexpr std::array<std::string_view, kPhaseStepCount> kStepNames{
    "LogIn",          "NoTrialLeft",    "WeekOpens", "Ordered",  "TeamOrdered",
    "TeamIncomplete", "TrainingFailed", "TrialEnds", "PauseDue", "LastTrialPlayed"};

}  // namespace

bool phaseChangeAllowed(Phase from, PhaseStep step, Phase to) {
  return std::any_of(kPhaseTransitions.begin(), kPhaseTransitions.end(),
                     [&](const PhaseTransition& t) {
                       return t.step == step && t.to == to && t.from.contains(from);
                     });
}

Phase checkedPhaseChange(Phase from, PhaseStep step, Phase to) {
  if (!phaseChangeAllowed(from, step, to)) {
    throw std::logic_error("The phase change " + std::string(phaseName(from)) + " --" +
                           std::string(phaseStepName(step)) + "--> " + std::string(phaseName(to)) +
                           " is not in the table of transitions");
  }
  return to;
}

bool takesMove(Phase phase, Move move) {
  return std::any_of(kMovePhases.begin(), kMovePhases.end(), [&](const MovePhases& m) {
    return m.move == move && m.phases.contains(phase);
  });
}

std::string_view phaseName(Phase phase) {
  return kPhaseNames[static_cast<size_t>(phase)];
}

std::string_view phaseStepName(PhaseStep step) {
  return kStepNames[static_cast<size_t>(step)];
}

std::string phaseDiagram() {
  std::string text = "stateDiagram-v2\n    [*] --> LoggedOut\n";
  for (const PhaseTransition& t : kPhaseTransitions) {
    for (int p = 0; p < kPhaseCount; ++p) {
      const auto from = static_cast<Phase>(p);
      if (!t.from.contains(from)) continue;
      text += "    " + std::string(phaseName(from)) + " --> " + std::string(phaseName(t.to)) +
              " : " + std::string(phaseStepName(t.step)) + "\n";
    }
  }
  text += "    GameOver --> [*]\n";
  return text;
}

}  // namespace quarn
