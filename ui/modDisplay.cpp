#include "ui/modDisplay.h"

#include <algorithm>
#include <cstdlib>

#include "base/Numbers.h"
#include "plan/DisplayConfiguration.h"
#include "plan/Predicter.h"
#include "record/modRecord.h"
#include "ui/frmMain.h"

namespace quarn {

namespace {

constexpr double kTruckStep = 480;    // twips a truck moves per tick
constexpr double kTruckWidth = 2160;  // width of a laid-out truck frame
constexpr int kSlots = 3;             // truck slots per row on the window

QString Text(int64_t value) {
  return QString::fromStdString(decimal(value));
}

// Delay as far as the window can show it: three slots per row.
int SlotsUsed(const TrialPlan& trial) {
  return std::clamp<int>(trial.delay, 0, kSlots);
}

}  // namespace

std::string Counter(int value, int total) {
  return twoDigits(value) + " of " + twoDigits(total);
}

void SetupTrialDisplay(frmMain& f) {
  Game& game = f.game;
  TrialPlan& trial = game.plan.current();

  if (game.training.active) {
    f.lblTrial->setText(QString::fromStdString(
        Counter(game.training.recordedTrial, static_cast<int>(game.plan.trainingTrials.size()))));
  } else {
    f.lblTrial->setText(
        QString::fromStdString(Counter(game.plan.currentTrial + 1, game.plan.trialCount())));
  }

  f.MarkParticipantRole(trial.participantRole);
  if (trial.participantRole >= 0 && trial.participantRole < kRoleCount) {
    SetTop(f.fraPlayer, 240 + 2640 * trial.participantRole);
    // A trial without a participant sped the timer up; a participant watches
    // the shipments at the designed pace again.
    f.tmrAnimation->setInterval(20);
  } else {
    f.tmrAnimation->setInterval(1);
  }

  for (int r = 0; r < kRoleCount; ++r) {
    for (int j = 0; j < SlotsUsed(trial); ++j)
      f.lblTruck[r + 4 * j]->setText(Text(trial.initialShipment));
  }

  ApplyDisplayConfiguration(f, trial.displayOption);

  const int16_t extent =
      loadPredicter(game.services.db.planTables(), game.predicter, trial.predicter);
  if (extent != -1) {
    f.lblPredictWeeks->setText(Text(extent));
    f.fraPredictor->show();
  } else {
    f.lblPredictWeeks->setText("-1");
    f.lblPredict->setText("-1");
    f.fraPredictor->hide();
  }

  LayoutShipments(f);
  f.fraDisplay->show();
  RefreshWeekDisplay(f);
}

void RefreshWeekDisplay(frmMain& f) {
  Game& game = f.game;
  TrialPlan& trial = game.plan.current();
  Chain& chain = game.chain;

  for (int r = 0; r < kRoleCount; ++r) {
    const RoleState& role = chain.roles[r];
    f.lblOrder[r]->setText(Text(role.orderSlots.empty() ? 0 : role.orderSlots.back()));
    if (role.inventory < 0) {
      f.lblBackOrder[r]->setText(Text(-static_cast<int64_t>(role.inventory)));
      f.lblInventory[r]->setText("0");
    } else {
      f.lblBackOrder[r]->setText("0");
      f.lblInventory[r]->setText(Text(role.inventory));
    }
    f.lblSatisfied[r]->setText(Text(role.satisfied));
    f.lblDemand[r]->setText(Text(role.demand));
    f.lblSpent[r]->setText(Text(role.totalCost));
  }
  f.lblTotalCost->setText(QString::fromStdString(shortestDecimal(trial.totalCost)));

  if (Visible(f.fraPredictor)) {
    f.lblPredict->setText(
        Text(predictDemand(game.predicter, trial, chain.currentWeek, game.services.random)));
  }

  if (CheckTrainingConstraints(f)) return;
  if (chain.currentWeek > trial.weeks) {
    EndTrial(f);
    return;
  }

  f.lblWeek->setText(QString::fromStdString(Counter(chain.currentWeek, trial.weeks)));
  game.times.WeekStartTime = game.services.ticks.now();

  if (trial.participantRole >= 0 && trial.participantRole < kRoleCount) {
    f.txtOrder->clear();
    // Clearing a box that is already empty raises no change event; the
    // button must not stay pressable with nothing to submit.
    f.txtOrder_Change();
    f.txtOrder->setEnabled(true);
    f.txtOrder->setFocus();
    return;
  }
  // No participant: the Distributor's newest order goes into the box (the
  // chain does not use it) and the week is played at once.
  const std::vector<int32_t>& orders = chain.roles[roleIndex(Role::Distributor)].orderSlots;
  const size_t index = static_cast<size_t>(std::max(trial.orderDelay - 1, 0));
  f.txtOrder->setText(Text(index < orders.size() ? orders[index] : 0));
  f.cmdOrder_Click();
}

bool CheckTrainingConstraints(frmMain& f) {
  Game& game = f.game;
  const TrainingState& training = game.training;
  if (!training.active || training.inventoryBound == 0 || training.costLimit == 0) {
    return false;
  }
  const int16_t p = game.plan.current().participantRole;
  // A training trial without a participant has nothing to check.
  if (!hasParticipant(p)) return false;

  const std::string reason = trainingLimitBroken(training, game.chain.roles[p]);

  Prompter& toolkit = game.services.prompter;
  if (!reason.empty()) {
    toolkit.ask("Training failed.  " + reason + ".  Restarting Trial", PromptStyle::Ok);
    game.training.passed = false;
    WriteTrialRecord(game);
    f.RestartTrainingTrial();
    return true;
  }
  if (game.chain.currentWeek == 1) {
    toolkit.ask("Keep your Inventory/Backorders below " + decimal(training.inventoryBound) +
                    "\r\n" + "and your Cost below " + decimal(training.costLimit),
                PromptStyle::Ok, "Training Constraints");
  }
  return false;
}

void EndTrial(frmMain& f) {
  Game& game = f.game;
  const TrialPlan& trial = game.plan.current();

  f.txtOrder->clear();
  f.txtOrder->setEnabled(false);
  f.cmdOrder->setEnabled(true);
  f.cmdOrder->setText("Next Trial");
  f.cmdOrder->setFocus();

  std::string line;
  const int16_t p = trial.participantRole;
  if (p >= 0 && p < kRoleCount) {
    line = "End cost playing as " + f.lblRole[p]->text().toStdString() + ": " +
           f.lblSpent[p]->text().toStdString();
  } else {
    // Summed in 64 bits: four 32-bit totals need not fit in 32.
    int64_t sum = 0;
    for (const RoleState& role : game.chain.roles) sum += role.totalCost;
    line = "End total cost for all roles is " + decimal(sum);
  }

  WriteTrialRecord(game);
  game.services.prompter.ask(line + "\r\n" + "Press the Next Trial button to continue",
                             PromptStyle::Ok, "End Trial");
}

void ApplyDisplayConfiguration(frmMain& f, const std::string& name) {
  Game& game = f.game;
  const DisplayConfiguration config = readDisplayConfiguration(game.services.db.planTables(), name);
  if (config.found) {
    const int slotCount = SlotsUsed(game.plan.current());
    for (int j = 0; j < slotCount; ++j) {
      f.fraTruck[4 * j]->setVisible(config.factoryProduction);
      f.fraTruck[4 * j + 1]->setVisible(config.trucksToDistributor);
      f.fraTruck[4 * j + 2]->setVisible(config.trucksToWholesaler);
      f.fraTruck[4 * j + 3]->setVisible(config.trucksToRetailer);
    }
    f.fraTotalCost->setVisible(config.totalCost);
  }
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleDisplay& option = config.roles[r];
    if (!option.found) continue;
    const auto show = [](QLabel* value, QLabel* tag, bool visible) {
      value->setVisible(visible);
      tag->setVisible(visible);
    };
    show(f.lblOrder[r], f.tagOrder[r], option.recentOrder);
    show(f.lblBackOrder[r], f.tagBackOrder[r], option.backorder);
    show(f.lblInventory[r], f.tagInventory[r], option.inventory);
    show(f.lblSatisfied[r], f.tagSatisfied[r], option.satisfied);
    show(f.lblDemand[r], f.tagDemand[r], option.demand);
    show(f.lblSpent[r], f.tagCost[r], option.cost);
  }
}

void LayoutShipments(frmMain& f) {
  const TrialPlan& trial = f.game.plan.current();
  ShipmentGeometry& g = f.geometry;
  const double start = f.linPath[0]->X1;
  g.ShipmentPathLength = toInt16(Left(f.fraRole[0]) - start, "ShipmentPathLength");
  g.AnimationTickBase = toInt16(g.ShipmentPathLength / kTruckStep, "AnimationTickBase");
  const double slot = static_cast<double>(g.ShipmentPathLength) / trial.delay;
  g.TruckSlotMargin = toInt16((slot - Width(f.fraTruck[0])) / 2 + start, "TruckSlotMargin");

  for (int j = 0; j < kSlots; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = f.fraTruck[r + 4 * j];
      if (j < trial.delay) {
        SetWidth(truck, kTruckWidth);
        SetLeft(truck, g.TruckSlotMargin + j * slot);
      } else {
        truck->hide();
      }
    }
  }
}

int16_t AnimationTickCount(const frmMain& f) {
  return toInt16(static_cast<double>(f.geometry.AnimationTickBase) / f.game.plan.current().delay,
                 "AnimationTickCount");
}

void StartShipmentAnimation(frmMain& f) {
  f.AnimationTicksLeft = std::max<int16_t>(AnimationTickCount(f), 1);
  f.tmrAnimation->start();
  for (Shape* load : f.shpLoad) load->show();
}

void FinishShipmentAnimation(frmMain& f) {
  const TrialPlan& trial = f.game.plan.current();
  const ShipmentGeometry& g = f.geometry;
  const int64_t slot =
      static_cast<int64_t>(roundHalfEven(static_cast<double>(g.ShipmentPathLength) / trial.delay));
  for (int j = 0; j < SlotsUsed(trial); ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = f.fraTruck[r + 4 * j];
      const double left = Left(truck);
      const int64_t offset = static_cast<int64_t>(roundHalfEven(left)) % slot;
      SetLeft(truck, g.TruckSlotMargin + left - static_cast<double>(offset));
    }
  }
  RefreshWeekDisplay(f);
}

}  // namespace quarn
