#include "game/Phases.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

namespace quarn {
namespace {

std::set<Phase> reachableFromLoggedOut() {
  std::set<Phase> reached{Phase::LoggedOut};
  for (bool grew = true; grew;) {
    grew = false;
    for (const PhaseTransition& t : kPhaseTransitions) {
      for (const Phase from : std::set<Phase>(reached)) {
        if (t.from.contains(from) && reached.insert(t.to).second) grew = true;
      }
    }
  }
  return reached;
}

TEST(PhasesTest, EveryPhaseIsReachableFromLoggedOut) {
  const std::set<Phase> reached = reachableFromLoggedOut();
  for (int p = 0; p < kPhaseCount; ++p) {
    EXPECT_TRUE(reached.count(static_cast<Phase>(p))) << phaseName(static_cast<Phase>(p));
  }
}

TEST(PhasesTest, NoChangeLeavesGameOver) {
  for (const PhaseTransition& t : kPhaseTransitions) {
    EXPECT_FALSE(t.from.contains(Phase::GameOver)) << phaseStepName(t.step);
  }
}

TEST(PhasesTest, ChangesOutsideTheTableAreRefused) {
  struct Change {
    Phase from;
    PhaseStep step;
    Phase to;
  };
  const Change refused[] = {
      {Phase::GameOver, PhaseStep::WeekOpens, Phase::WeekOpen},
      {Phase::LoggedOut, PhaseStep::WeekOpens, Phase::WeekOpen},
      {Phase::Animating, PhaseStep::Ordered, Phase::Animating},
      {Phase::WeekOpen, PhaseStep::TeamOrdered, Phase::Animating},
      {Phase::FormingTeam, PhaseStep::Ordered, Phase::WaitingForTeam},
      {Phase::Animating, PhaseStep::PauseDue, Phase::Paused},
      {Phase::WeekOpen, PhaseStep::LogIn, Phase::LoggedOut},
  };
  for (const Change& c : refused) {
    EXPECT_THROW(checkedPhaseChange(c.from, c.step, c.to), std::logic_error)
        << phaseName(c.from) << " " << phaseStepName(c.step) << " " << phaseName(c.to);
  }
  EXPECT_EQ(checkedPhaseChange(Phase::WeekOpen, PhaseStep::Ordered, Phase::WaitingForTeam),
            Phase::WaitingForTeam);
}

TEST(PhasesTest, MovesOutsideTheirPhasesAreNotTaken) {
  EXPECT_TRUE(takesMove(Phase::WeekOpen, Move::Order));
  EXPECT_FALSE(takesMove(Phase::WaitingForTeam, Move::Order));
  EXPECT_FALSE(takesMove(Phase::FormingTeam, Move::SkipTraining));
  for (const MovePhases& m : kMovePhases) EXPECT_FALSE(m.phases.contains(Phase::GameOver));
}

// The developer guide's diagram is the one the table gives: the block after
// the line "<!-- phase diagram: generated from game/Phases.h -->".
TEST(PhasesTest, GuideShowsTheTablesDiagram) {
  std::ifstream in(QUARN_DEVELOPER_GUIDE);
  const std::string guide(std::istreambuf_iterator<char>(in), {});
  const std::string marker = "<!-- phase diagram: generated from game/Phases.h -->\n```mermaid\n";
  const size_t start = guide.find(marker);
  ASSERT_NE(start, std::string::npos) << "the guide has no phase diagram";
  const size_t body = start + marker.size();
  const size_t end = guide.find("```", body);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(guide.substr(body, end - body), phaseDiagram())
      << "Paste the expected text into docs/developer-guide.md";
}

}  // namespace
}  // namespace quarn
