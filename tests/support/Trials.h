#pragma once

#include "base/Roles.h"
#include "sim/TrialPlan.h"

namespace quarn::testing {

// The role indices by name, as tests index the per-role arrays.
inline constexpr int16_t kFactory = roleIndex(Role::Factory);
inline constexpr int16_t kDistributor = roleIndex(Role::Distributor);
inline constexpr int16_t kWholesaler = roleIndex(Role::Wholesaler);
inline constexpr int16_t kRetailer = roleIndex(Role::Retailer);

// A chain that stays put when everybody orders the demand: demand, first
// orders and every pipeline slot 4, stock 12. The demand steps to 8 only
// when a test moves jumpWeek into the trial.
inline TrialPlan steadyTrial(int16_t weeks = 20, int16_t participant = kNoParticipant,
                             int16_t delay = 2) {
  TrialPlan t;
  t.delay = delay;
  t.orderDelay = 1;
  t.weeks = weeks;
  t.initialDemand = t.firstOrder = t.initialShipment = 4;
  t.jumpWeek = static_cast<int16_t>(weeks + 1);
  t.secondDemand = 8;
  t.participantRole = participant;
  if (participant != kNoParticipant) {
    t.rolePlayers[static_cast<size_t>(participant)] = kParticipantPlayer;
  }
  t.maxOrder = 1000;
  t.initialInventory = 12;
  t.inventoryCostRate = 0.5;
  t.backorderCostRate = 1.0;
  return t;
}

}  // namespace quarn::testing
