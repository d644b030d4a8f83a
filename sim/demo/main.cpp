// Plays a few trials of four simulated players and prints each week.
#include <cstdio>
#include <string>

#include "sim/Platform.h"
#include "sim/modDelivery.h"
#include "sim/modInit.h"

namespace {

using namespace quarn;

PlayerStrategy Sterman(const char* name, double alpha, double beta, double theta) {
  PlayerStrategy p;
  p.Name = name;
  p.Sterman = true;
  p.Alpha = alpha;
  p.Beta = beta;
  p.Theta = theta;
  return p;
}

TrialPlan Trial(int16_t weeks, int16_t delay, int16_t maxNoise) {
  TrialPlan t;
  t.numweeks = weeks;
  t.Delay = delay;
  t.OrderDelay = 1;
  t.InitialDemand = 4;
  t.JumpWeek = 5;
  t.SecondDemand = 8;
  t.RolePlayer = {0, 1, 2, 0};
  t.SubjectRole = kNoSubject;
  t.FirstOrder = 4;
  t.MinOrder = 0;
  t.MaxOrder = 40;
  t.MaxNoise = maxNoise;
  t.InitInventory = 12;
  t.InitDelayAmount = 4;
  t.CostInventory = 0.5;
  t.CostBackOrder = 1.0;
  t.CostTransit = 0.0;
  return t;
}

}  // namespace

int main() {
  Plan plan;
  plan.PlayerTable = {Sterman("Anchor", 0.26, 0.34, 0.36), Sterman("Eager", 0.5, 0.1, 0.6),
                      Sterman("Careful", 0.2, 0.8, 0.2)};
  plan.PlayerCount = static_cast<int16_t>(plan.PlayerTable.size());
  plan.TrialPlans = {Trial(20, 2, 0), Trial(20, 2, 2), Trial(20, 3, 0)};
  plan.TrialCount = static_cast<int16_t>(plan.TrialPlans.size());

  Chain chain;
  SteadyTickCounter ticks;
  StandardUniformRandom random;
  ChainContext c{plan, chain, ticks, random, {}};
  c.WeekClosed = [&] {
    std::printf("week %2d", chain.CurrentWeek - 1);
    for (const RoleState& s : chain.Roles) {
      std::printf(" | %.1s inv %4d ord %3d cost %4d", s.RoleName.c_str(), s.Inventory,
                  s.OrderSlots.back(), s.WeeklyCost);
    }
    std::printf("\n");
  };

  try {
    for (plan.CurrentTrial = 0; plan.CurrentTrial < plan.TrialCount; ++plan.CurrentTrial) {
      const TrialPlan& t = CurrentPlan(plan);
      std::printf("Trial %d: %d weeks, delay %d, noise %d, demand 4 -> 8 at week 5\n",
                  plan.CurrentTrial + 1, t.numweeks, t.Delay, t.MaxNoise);
      StartTrialChain(c, {"Factory", "Distributor", "Wholesaler", "Retailer"}, "Input");
      for (int week = 1; week <= t.numweeks; ++week) {
        ++chain.CurrentWeek;
        SetSubjectOrder(chain, 0);
        CloseWeek(c);
      }
      std::printf("Trial %d total cost: %.0f\n\n", plan.CurrentTrial + 1, t.TotalCost);
    }
  } catch (const QuarnError& e) {
    std::fprintf(stderr, "Error %d: %s\n", e.Number(), e.what());
    return 1;
  }
  return 0;
}
