#include "sim/PlayerRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Text.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

// Players that follow `rule` alone: its parameters all at the low end of
// their usual values, then all at the high end.
std::vector<PlayerStrategy> playersOf(const PlayerRuleEntry& rule) {
  std::vector<PlayerStrategy> players;
  for (const bool high : {false, true}) {
    PlayerStrategy player;
    player.*rule.switchField = true;
    for (const RuleParameter& parameter : rule.parameters) {
      player.*parameter.field = high ? parameter.usualHigh : parameter.usualLow;
    }
    players.push_back(player);
  }
  return players;
}

struct FigureCase {
  const char* what;
  StageFigureRanges figures;
};

const FigureCase kFigureCases[] = {
    {"in stock", {{0, 6}, {2, 9}, {-3, 3}}},
    {"in backorder, falling", {{0, 6}, {-9, -2}, {-5, -1}}},
    {"in backorder, rising", {{0, 4}, {-6, -1}, {0, 3}}},
    {"either side of 0", {{3, 8}, {-4, 5}, {-4, 2}}},
};

// The steady trial with the Sterman order clamped to 12 .. 14.
TrialPlan clampedTrial() {
  TrialPlan trial = steadyTrial();
  trial.minOrder = 12;
  trial.maxOrder = 14;
  return trial;
}

// The term of `rule` for `player` as the Wholesaler at every combination of
// figures in `f`, after the trial's start.
std::vector<int64_t> termsOver(const PlayerRuleEntry& rule, const PlayerStrategy& player,
                               const StageFigureRanges& f) {
  SimGame g(clampedTrial(), {player});
  g.start();
  RoleState& stage = g.role(kWholesaler);
  std::vector<int64_t> terms;
  for (int64_t d = f.demand.lo; d <= f.demand.hi; ++d) {
    for (int64_t i = f.inventory.lo; i <= f.inventory.hi; ++i) {
      for (int64_t delta = f.deltaInventory.lo; delta <= f.deltaInventory.hi; ++delta) {
        stage.demand = static_cast<int32_t>(d);
        stage.inventory = static_cast<int32_t>(i);
        stage.deltaInventory = static_cast<int32_t>(delta);
        terms.push_back(rule.term(g.c, kWholesaler, g.players[0]));
      }
    }
  }
  return terms;
}

// The plan check adds each rule's range term where the simulated player adds
// its term: a value outside the range would let play leave a width the
// check promised it keeps. The rule's parameters take their usual values.
TEST(PlayerRules, RangeTermHoldsTheTermForEveryFigureInTheRanges) {
  for (const PlayerRuleEntry& rule : playerRules()) {
    ASSERT_NE(rule.term, nullptr) << rule.column;
    ASSERT_NE(rule.rangeTerm, nullptr) << rule.column;
    for (const FigureCase& c : kFigureCases) {
      for (const PlayerStrategy& player : playersOf(rule)) {
        const ValueRange range = rule.rangeTerm(clampedTrial(), player, c.figures);
        for (const int64_t term : termsOver(rule, player, c.figures)) {
          EXPECT_TRUE(range.holds(term)) << rule.column << ", " << c.what << ": " << term
                                         << " outside " << range.lo << " to " << range.hi;
        }
      }
    }
  }
}

// A range wider than the terms refuses plans that play safely. The rules
// without parameters depend on the figures alone, so some figures reach
// each end of their range.
TEST(PlayerRules, RangeTermOfAFigureRuleReachesBothEnds) {
  for (const PlayerRuleEntry& rule : playerRules()) {
    if (!rule.parameters.empty()) continue;
    for (const FigureCase& c : kFigureCases) {
      const PlayerStrategy player = playersOf(rule)[0];
      const ValueRange range = rule.rangeTerm(clampedTrial(), player, c.figures);
      const std::vector<int64_t> terms = termsOver(rule, player, c.figures);
      EXPECT_EQ(*std::min_element(terms.begin(), terms.end()), range.lo)
          << rule.column << ", " << c.what;
      EXPECT_EQ(*std::max_element(terms.begin(), terms.end()), range.hi)
          << rule.column << ", " << c.what;
    }
  }
}

// An entry copied from another and not wholly changed would read, store or
// follow the other rule's column or field.
TEST(PlayerRules, EachRuleHasColumnsAndFieldsOfItsOwn) {
  std::vector<std::string> columns = {"name", "ifzero"};
  std::vector<bool PlayerStrategy::*> switches;
  std::vector<double PlayerStrategy::*> parameters;
  const auto addColumn = [&columns](const char* column) {
    const std::string lower = toLowerAscii(column);
    EXPECT_EQ(std::count(columns.begin(), columns.end(), lower), 0) << column;
    columns.push_back(lower);
  };
  for (const PlayerRuleEntry& rule : playerRules()) {
    addColumn(rule.column);
    EXPECT_EQ(std::count(switches.begin(), switches.end(), rule.switchField), 0) << rule.column;
    switches.push_back(rule.switchField);
    for (const RuleParameter& parameter : rule.parameters) {
      addColumn(parameter.column);
      EXPECT_EQ(std::count(parameters.begin(), parameters.end(), parameter.field), 0)
          << parameter.column;
      parameters.push_back(parameter.field);
    }
  }
}

TEST(PlayerRules, ParametersTooLargeForAnOrderAreFaultsOfTheRulesFollowed) {
  PlayerStrategy notSterman = stermanPlayer(1e300);
  notSterman.usesSterman = false;
  PlayerStrategy hugeEpsilon = stermanPlayer(0.26, 0.34, 0.36);
  hugeEpsilon.epsilon = 1e301;
  const std::vector<std::pair<PlayerStrategy, bool>> cases = {
      {stermanPlayer(0.26, 0.34, 0.36), false},
      {stermanPlayer(1e300, 1, 0.5), true},
      {stermanPlayer(0, 1e308, 0.5), true},
      {stermanPlayer(1, 1, 1e301), true},
      {hugeEpsilon, true},
      {notSterman, false},
  };
  for (const auto& [player, faulty] : cases) {
    const std::vector<RuleParameterFault> faults = parameterFaults(player);
    ASSERT_EQ(faults.size(), faulty ? 1u : 0u) << player.alpha << " " << player.epsilon;
    if (!faulty) continue;
    EXPECT_EQ(faults[0].columns, "Alpha, Beta, Theta, Epsilon");
    EXPECT_EQ(faults[0].complaint.rfind("the Sterman parameters Alpha ", 0), 0u)
        << faults[0].complaint;
  }
}

}  // namespace
}  // namespace quarn::testing
