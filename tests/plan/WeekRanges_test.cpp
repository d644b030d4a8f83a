// The plan check follows the week step with every figure as a range. These
// tests play many random plans with the real week step and hold every value
// of every week against the range the check followed for it, so that a rule
// of the week step or of a player that the check does not follow fails here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "base/Random.h"
#include "plan/PlanBounds.h"
#include "sim/Chain.h"
#include "sim/PlayerRules.h"
#include "sim/TrialStart.h"
#include "sim/WeekPress.h"

namespace quarn {
namespace {

namespace fs = std::filesystem;

// A clock that moves at every reading, so that each round of noisy orders
// draws anew.
class CountingTicks final : public TickCounter {
 public:
  uint32_t now() override { return ++m_ticks; }

 private:
  uint32_t m_ticks = 0;
};

class Draw {
 public:
  explicit Draw(uint32_t seed) : m_gen(seed) {}
  int whole(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_gen); }
  double real(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(m_gen);
  }
  bool chance(double p) { return std::bernoulli_distribution(p)(m_gen); }

 private:
  std::mt19937 m_gen;
};

struct RandomPlan {
  TrialPlan trial;
  std::vector<PlayerStrategy> players;
  std::string weeksField = "numweeks";
};

PlayerStrategy drawPlayer(Draw& draw, int number) {
  PlayerStrategy player;
  player.name = "P" + std::to_string(number);
  for (const PlayerRuleEntry& rule : playerRules()) player.*rule.switchField = draw.chance(0.5);
  player.orderIfNegative = static_cast<int16_t>(draw.whole(0, 6));
  for (const PlayerRuleEntry& rule : playerRules()) {
    for (const RuleParameter& parameter : rule.parameters) {
      player.*parameter.field = draw.real(parameter.usualLow, parameter.usualHigh);
    }
  }
  return player;
}

// A plan within the sizes labs use: short trials, small stocks and demands,
// players of any mix of rules; a training row orders with the shipping delay.
RandomPlan drawPlan(Draw& draw, const std::vector<std::string>& demandFiles) {
  RandomPlan plan;
  TrialPlan& t = plan.trial;
  const bool training = draw.chance(0.25);
  plan.weeksField = training ? "Weeks" : "numweeks";
  t.delay = static_cast<int16_t>(draw.whole(1, 3));
  t.orderDelay = training ? t.delay : int16_t{1};
  t.weeks = static_cast<int16_t>(draw.whole(3, 40));
  if (draw.chance(0.3)) {
    t.inputFile = demandFiles[static_cast<size_t>(draw.whole(0, 1))];
  } else {
    t.initialDemand = draw.whole(0, 20);
    t.jumpWeek = static_cast<int16_t>(draw.whole(1, t.weeks + 2));
    t.secondDemand = draw.whole(0, 30);
  }
  t.firstOrder = draw.whole(0, 15);
  t.minOrder = draw.whole(0, 6);
  t.maxOrder = draw.whole(0, 40);
  t.maxNoise = static_cast<int16_t>(draw.chance(0.5) ? draw.whole(1, 4) : 0);
  t.initialInventory = draw.whole(0, 20);
  t.initialShipment = draw.whole(0, 10);
  t.inventoryCostRate = draw.whole(-1, 8) * 0.25;
  t.backorderCostRate = draw.whole(0, 8) * 0.25;
  t.transitCostRate = draw.whole(0, 4) * 0.25;
  t.participantRole =
      training || draw.chance(0.6) ? static_cast<int16_t>(draw.whole(0, 3)) : kNoParticipant;
  for (int n = 0; n < 4; ++n) plan.players.push_back(drawPlayer(draw, n));
  for (int r = 0; r < kRoleCount; ++r) {
    t.rolePlayers[static_cast<size_t>(r)] =
        r == t.participantRole ? kParticipantPlayer : static_cast<int16_t>(draw.whole(0, 3));
  }
  // Some trials are played by a team: more stages ordered by people.
  if (hasParticipant(t.participantRole) && draw.chance(0.3)) {
    int16_t members = 1;
    t.stageMembers[static_cast<size_t>(t.participantRole)] = members;
    for (int16_t r = 0; r < kRoleCount; ++r) {
      if (r == t.participantRole || !draw.chance(0.5)) continue;
      t.stageMembers[static_cast<size_t>(r)] = ++members;
      t.rolePlayers[static_cast<size_t>(r)] = kParticipantPlayer;
    }
  }
  return plan;
}

using Weeks = std::map<int64_t, std::array<StageRanges, kRoleCount>>;

// The first value of the closed week that leaves its range, or empty.
std::string outsideItsRange(const Chain& chain, const Weeks& weeks) {
  const auto found = weeks.find(chain.currentWeek);
  if (found == weeks.end()) return "week " + std::to_string(chain.currentWeek) + " has no ranges";
  std::ostringstream fault;
  const auto hold = [&](int r, const std::string& figure, int64_t value, ValueRange range) {
    if (range.holds(value) || !fault.str().empty()) return;
    fault << "week " << chain.currentWeek << ", " << roleName(r) << "'s " << figure << " " << value
          << " outside " << range.lo << " to " << range.hi;
  };
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleState& s = chain.roles[static_cast<size_t>(r)];
    const StageRanges& ranges = found->second[static_cast<size_t>(r)];
    hold(r, "inventory", s.inventory, ranges.inventory);
    hold(r, "change of inventory", s.deltaInventory, ranges.deltaInventory);
    hold(r, "received", s.received, ranges.received);
    hold(r, "demand", s.demand, ranges.demand);
    hold(r, "satisfied", s.satisfied, ranges.satisfied);
    hold(r, "total cost", s.totalCost, ranges.totalCost);
    for (size_t i = 0; i < s.orderSlots.size() && i < ranges.orderSlots.size(); ++i) {
      hold(r, "order slot " + std::to_string(i), s.orderSlots[i], ranges.orderSlots[i]);
    }
    for (size_t i = 0; i < s.delaySlots.size() && i < ranges.delaySlots.size(); ++i) {
      hold(r, "delay slot " + std::to_string(i), s.delaySlots[i], ranges.delaySlots[i]);
    }
  }
  return fault.str();
}

class WeekRanges : public ::testing::Test {
 protected:
  WeekRanges() {
    fs::create_directories(m_folder);
    writeDemand("steady.txt", "4,4,4,4,6,6,8,8,8,8\n10,10,8,8,6,6,6,6,6,6\n");
    writeDemand("wild.txt", "0,25,3,0,40,1,0,0,33,2,19,0,7,50,0,4,4,0,28,3\n");
  }
  ~WeekRanges() override {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
  }
  void writeDemand(const std::string& name, const std::string& text) {
    std::ofstream(fs::path(m_folder) / name) << text;
    m_demandFiles.push_back(name);
  }

  // Plays `plan` once, with the participant's orders drawn from 0 to the
  // largest the game takes; the first value that leaves its range, or empty. `checked`
  // tells whether the plan passed the check (a plan refused is not played).
  std::string play(RandomPlan& plan, Draw& draw, bool& checked) {
    Chain chain;
    CountingTicks ticks;
    StandardUniformRandom random;
    Weeks weeks;
    std::string fault;
    ChainContext c{plan.trial, plan.players, chain, ticks, random, [&] {
                     if (fault.empty()) fault = outsideItsRange(chain, weeks);
                   }};
    startTrialChain(c, m_folder);
    const TrialBounds bounds = checkTrialBounds(plan.trial, plan.players, plan.weeksField);
    checked = bounds.faults.empty();
    if (!checked) return "";
    // The game takes orders up to the trial's largest safe order.
    const int largest = bounds.largestSafeOrder;
    if (!followWeekRanges(plan.trial, plan.players, largest,
                          [&](int64_t week, const std::array<StageRanges, kRoleCount>& stages) {
                            weeks[week] = stages;
                          })) {
      return "the ranges up to the largest safe order " + std::to_string(largest) +
             " leave their widths";
    }
    const auto typed = [&] {
      return static_cast<int16_t>(draw.chance(0.3) ? (draw.chance(0.5) ? 0 : largest)
                                                   : draw.whole(0, largest));
    };
    if (isTeamTrial(plan.trial)) {
      for (int16_t week = 1; week <= plan.trial.weeks; ++week) {
        std::array<int16_t, kRoleCount> orders{};
        for (int16_t& order : orders) order = typed();
        pressTeamWeek(c, orders);
      }
    } else {
      playToEnd(c, typed);
    }
    if (fault.empty() && !(plan.trial.totalCost >= bounds.lowestCost &&
                           plan.trial.totalCost <= bounds.highestCost)) {
      fault = "the end cost " + std::to_string(plan.trial.totalCost) + " is outside " +
              std::to_string(bounds.lowestCost) + " to " + std::to_string(bounds.highestCost);
    }
    return fault;
  }

  std::string m_folder =
      (fs::temp_directory_path() / ("quarn-week-ranges-" + std::to_string(::getpid()))).string();
  std::vector<std::string> m_demandFiles;
};

TEST_F(WeekRanges, HoldEveryValueOfPlayForPlayersOfEveryRuleAndTeams) {
  constexpr int kPlans = 600;
  int played = 0;
  int playedTeams = 0;
  std::map<std::string, int> playedRules;
  for (uint32_t seed = 1; seed <= kPlans; ++seed) {
    Draw draw(seed);
    RandomPlan plan = drawPlan(draw, m_demandFiles);
    bool checked = false;
    const std::string fault = play(plan, draw, checked);
    ASSERT_EQ(fault, "") << "plan " << seed;
    if (!checked) continue;
    ++played;
    playedTeams += isTeamTrial(plan.trial) ? 1 : 0;
    for (int r = 0; r < kRoleCount; ++r) {
      if (isTypedStage(plan.trial, static_cast<int16_t>(r))) continue;
      const PlayerStrategy& player =
          plan.players[static_cast<size_t>(plan.trial.rolePlayers[static_cast<size_t>(r)])];
      for (const PlayerRuleEntry& rule : playerRules()) {
        playedRules[rule.column] += follows(player, rule);
      }
    }
  }
  // Participants ordering up to the largest order make some plans too big
  // for the transit count; those are refused, not played.
  EXPECT_GT(played, kPlans / 2);
  EXPECT_GT(playedTeams, kPlans / 20);
  for (const PlayerRuleEntry& rule : playerRules()) {
    EXPECT_GT(playedRules[rule.column], kPlans / 2) << rule.column;
  }
}

}  // namespace
}  // namespace quarn
