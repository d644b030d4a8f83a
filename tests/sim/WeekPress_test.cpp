#include "sim/WeekPress.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/Random.h"
#include "tests/sim/SimGame.h"

namespace quarn::testing {
namespace {

// Every figure of every stage, the week and the trial's cost, as one text:
// two chains that print the same are the same chain.
std::string printChain(const Chain& chain, const TrialPlan& trial) {
  std::ostringstream out;
  out << "week " << chain.currentWeek << " cost " << trial.totalCost << "\n";
  for (const RoleState& s : chain.roles) {
    out << s.roleName << " " << s.inventory << " " << s.deltaInventory << " " << s.received << " "
        << s.demand << " " << s.satisfied << " " << s.weeklyCost << " " << s.totalCost << " |";
    for (const int32_t slot : s.orderSlots) out << " " << slot;
    out << " |";
    for (const int32_t slot : s.delaySlots) out << " " << slot;
    out << "\n";
  }
  return out.str();
}

// A trial whose stages in `members` (stage -> member number) are played by a
// team; the other stages follow the demand, the Factory by Sterman's rule.
TrialPlan teamTrial(const std::map<int16_t, int16_t>& members, int16_t weeks = 12) {
  TrialPlan t = steadyTrial(weeks);
  t.jumpWeek = 4;
  t.rolePlayers = {1, 0, 0, 0};
  for (const auto& [stage, member] : members) {
    t.stageMembers[static_cast<size_t>(stage)] = member;
    t.rolePlayers[static_cast<size_t>(stage)] = kParticipantPlayer;
  }
  t.participantRole = memberStage(t, 1);
  return t;
}

// What member `m` types in week `week`: different for every member and week.
int16_t typedOrder(int16_t member, int week) {
  return static_cast<int16_t>((member * 7 + week * 3) % 13);
}

// One member's workstation: its own view of the trial and its own
// generator, seeded with the team's seed as every member's is.
struct Workstation {
  Workstation(const TrialPlan& plan, int16_t member, uint32_t seed)
      : game(forMember(plan, member), {demandPlayer(), stermanPlayer()}), random(seed) {}

  SimGame game;
  StandardUniformRandom random;
  ChainContext c{game.trial, game.players, game.chain, game.ticks, random, {}};
};

std::array<int16_t, kRoleCount> typedOrders(const TrialPlan& trial, int week) {
  std::array<int16_t, kRoleCount> orders{};
  for (int16_t r = 0; r < kRoleCount; ++r) {
    const int16_t member = trial.stageMembers[static_cast<size_t>(r)];
    if (member != 0) orders[static_cast<size_t>(r)] = typedOrder(member, week);
  }
  return orders;
}

TEST(TeamWeek, EveryMembersWorkstationComputesTheSameChain) {
  const std::vector<std::map<int16_t, int16_t>> teams = {
      {{kFactory, 1}, {kRetailer, 2}},
      {{kDistributor, 2}, {kWholesaler, 1}},
      {{kFactory, 3}, {kDistributor, 1}, {kRetailer, 2}},
      {{kFactory, 4}, {kDistributor, 3}, {kWholesaler, 2}, {kRetailer, 1}},
  };
  for (const auto& members : teams) {
    TrialPlan plan = teamTrial(members);
    plan.maxNoise = 3;
    std::vector<std::unique_ptr<Workstation>> stations;
    for (int16_t m = 1; m <= teamSize(plan); ++m) {
      stations.push_back(std::make_unique<Workstation>(plan, m, teamNoiseSeed("Beer", "Blue", 1)));
      stations.back()->game.ticks.ticks = 1000u * static_cast<uint32_t>(m);  // clocks differ
      startTrialChain(stations.back()->c, ".");
    }
    for (int week = 1; week <= plan.weeks; ++week) {
      for (auto& s : stations) {
        pressTeamWeek(s->c, typedOrders(plan, week));
        s->game.ticks.ticks += 17;
      }
      const std::string first = printChain(stations[0]->game.chain, stations[0]->game.trial);
      for (size_t m = 1; m < stations.size(); ++m) {
        ASSERT_EQ(printChain(stations[m]->game.chain, stations[m]->game.trial), first)
            << "member " << m + 1 << ", week " << week << ", team of " << stations.size();
      }
    }
  }
}

// Each member's stage places what the member typed, in the week it was typed.
TEST(TeamWeek, EveryMembersStagePlacesTheTypedOrder) {
  const TrialPlan plan = teamTrial({{kFactory, 2}, {kWholesaler, 1}, {kRetailer, 3}});
  Workstation station(plan, 3, 1);
  startTrialChain(station.c, ".");
  for (int week = 1; week <= plan.weeks - 2; ++week) {
    pressTeamWeek(station.c, typedOrders(plan, week));
    for (const int16_t r : {kFactory, kWholesaler, kRetailer}) {
      EXPECT_EQ(station.game.role(r).orderSlots.back(),
                typedOrder(plan.stageMembers[static_cast<size_t>(r)], week))
          << roleName(r) << " in week " << week;
    }
  }
}

// The team's rows are those of the single-participant step with the same
// orders at the same stages: with the most downstream member as the
// participant and the other members' stages played by a follower of the
// demand, the members typing what the follower would order give the same
// chain every week.
TEST(TeamWeek, GivesTheSingleParticipantStepWithTheSameOrders) {
  const std::vector<std::map<int16_t, int16_t>> teams = {
      {{kDistributor, 1}, {kRetailer, 2}},
      {{kFactory, 2}, {kWholesaler, 1}},
      {{kFactory, 1}, {kDistributor, 2}, {kWholesaler, 3}},
      {{kFactory, 1}, {kDistributor, 2}, {kWholesaler, 3}, {kRetailer, 4}},
  };
  for (const auto& members : teams) {
    const TrialPlan plan = teamTrial(members, 20);
    const int16_t last = lastTypedStage(plan);
    TrialPlan single = plan;
    single.stageMembers = {};
    single.participantRole = last;
    for (const auto& [stage, member] : members) {
      if (stage != last) single.rolePlayers[static_cast<size_t>(stage)] = 0;  // the follower
    }
    Workstation team(plan, 1, 9);
    SimGame alone(single, {demandPlayer(), stermanPlayer()});
    startTrialChain(team.c, ".");
    alone.start();
    for (int week = 1; week <= plan.weeks; ++week) {
      std::array<int16_t, kRoleCount> orders{};
      for (const auto& [stage, member] : members) {
        orders[static_cast<size_t>(stage)] =
            static_cast<int16_t>(team.game.role(stage).demand + (stage == last ? week % 5 : 0));
      }
      pressTeamWeek(team.c, orders);
      alone.press(orders[static_cast<size_t>(last)]);
      ASSERT_EQ(printChain(team.game.chain, team.game.trial), printChain(alone.chain, alone.trial))
          << "week " << week << ", team of " << members.size();
    }
  }
}

// A team of one is today's participant: the same chain, the same draws of
// the noise in the same order, for every stage.
TEST(TeamWeek, ATeamOfOnePlaysTheParticipantsStep) {
  for (int16_t stage = kFactory; stage <= kRetailer; ++stage) {
    TrialPlan team = teamTrial({{stage, 1}});
    team.maxNoise = 2;
    TrialPlan single = team;
    single.stageMembers = {};
    const std::vector<double> draws = {0.1, 0.7, 0.35, 0.9, 0.5};
    SimGame a(team, {demandPlayer(), stermanPlayer()});
    SimGame b(single, {demandPlayer(), stermanPlayer()});
    a.random.draws = b.random.draws = draws;
    a.start();
    b.start();
    for (int week = 1; week <= team.weeks; ++week) {
      const int16_t order = typedOrder(1, week);
      std::array<int16_t, kRoleCount> orders{};
      orders[static_cast<size_t>(stage)] = order;
      pressTeamWeek(a.c, orders);
      b.press(order);
      a.ticks.ticks += 5;
      b.ticks.ticks += 5;
    }
    EXPECT_EQ(printChain(a.chain, a.trial), printChain(b.chain, b.trial)) << roleName(stage);
    EXPECT_EQ(a.random.reseeds, b.random.reseeds) << roleName(stage);
  }
}

// The week opens with the simulated stages downstream of every member and
// closes with the others: with members at the Distributor and the
// Wholesaler only the Retailer decides at the opening.
TEST(TeamWeek, OnlyStagesDownstreamOfEveryMemberDecideWhenTheWeekOpens) {
  TrialPlan plan = teamTrial({{kDistributor, 1}, {kWholesaler, 2}});
  plan.maxNoise = 1;
  SimGame g(plan, {demandPlayer(), demandPlayer()});
  g.start();
  EXPECT_EQ(g.random.reseeds.size(), 1u);  // the Retailer
  pressTeamWeek(g.c, {0, 5, 6, 0});
  EXPECT_EQ(g.random.reseeds.size(), 3u);  // the Factory at the close, the Retailer at the opening
}

// The seed is computed the same way on every workstation and in every
// build: its values are pinned; teams and trials get seeds of their own.
TEST(TeamNoiseSeed, IsFixedPerSettingTeamAndTrial) {
  EXPECT_EQ(teamNoiseSeed("Beer", "Blue", 1), teamNoiseSeed("Beer", "Blue", 1));
  EXPECT_EQ(teamNoiseSeed("Beer", "Blue", 1), 1068986854u);
  const std::vector<uint32_t> others = {
      teamNoiseSeed("Beer", "Blue", 2), teamNoiseSeed("Beer", "Red", 1),
      teamNoiseSeed("Bee", "rBlue", 1), teamNoiseSeed("Other", "Blue", 1)};
  for (const uint32_t seed : others) EXPECT_NE(seed, teamNoiseSeed("Beer", "Blue", 1));
}

}  // namespace
}  // namespace quarn::testing
