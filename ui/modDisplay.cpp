#include "ui/modDisplay.h"

#include <algorithm>
#include <cstdlib>

#include "base/Numbers.h"
#include "interventions/modPredicter.h"
#include "plan/DisplayConfiguration.h"
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
  return std::clamp<int>(trial.Delay, 0, kSlots);
}

}  // namespace

std::string Counter(int value, int total) {
  return twoDigits(value) + " of " + twoDigits(total);
}

void SetupTrialDisplay(frmMain& f) {
  Game& game = f.game;
  TrialPlan& trial = CurrentPlan(game.plan);

  if (game.training.TrainingMode) {
    f.lblTrial->setText(
        QString::fromStdString(Counter(game.training.TrainingTrialNo, game.training.TrainingRuns)));
  } else {
    f.lblTrial->setText(
        QString::fromStdString(Counter(game.plan.CurrentTrial + 1, game.plan.TrialCount)));
  }

  f.MarkParticipantRole(trial.SubjectRole);
  if (trial.SubjectRole >= 0 && trial.SubjectRole < kRoleCount) {
    SetTop(f.fraPlayer, 240 + 2640 * trial.SubjectRole);
    // A trial without a participant sped the timer up; a participant watches
    // the shipments at the designed pace again.
    f.tmrAnimation->setInterval(20);
  } else {
    f.tmrAnimation->setInterval(1);
  }

  for (int r = 0; r < kRoleCount; ++r) {
    for (int j = 0; j < SlotsUsed(trial); ++j)
      f.lblTruck[r + 4 * j]->setText(Text(trial.InitDelayAmount));
  }

  ApplyDisplayConfiguration(f, trial.DisplayOption);

  const int16_t extent = LoadPredicter(game.services.db, game.predicter, trial.Predicter);
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
  TrialPlan& trial = CurrentPlan(game.plan);
  Chain& chain = game.chain;

  for (int r = 0; r < kRoleCount; ++r) {
    const RoleState& role = chain.Roles[r];
    f.lblOrder[r]->setText(Text(role.OrderSlots.empty() ? 0 : role.OrderSlots.back()));
    if (role.Inventory < 0) {
      f.lblBackOrder[r]->setText(Text(-static_cast<int64_t>(role.Inventory)));
      f.lblInventory[r]->setText("0");
    } else {
      f.lblBackOrder[r]->setText("0");
      f.lblInventory[r]->setText(Text(role.Inventory));
    }
    f.lblSatisfied[r]->setText(Text(role.Satisfied));
    f.lblDemand[r]->setText(Text(role.Demand));
    f.lblSpent[r]->setText(Text(role.TotalCost));
  }
  f.lblTotalCost->setText(QString::fromStdString(shortestDecimal(trial.TotalCost)));

  if (Visible(f.fraPredictor)) {
    f.lblPredict->setText(
        Text(PredictDemand(game.predicter, trial, chain.CurrentWeek, game.services.random)));
  }

  if (CheckTrainingConstraints(f)) return;
  if (chain.CurrentWeek > trial.numweeks) {
    EndTrial(f);
    return;
  }

  f.lblWeek->setText(QString::fromStdString(Counter(chain.CurrentWeek, trial.numweeks)));
  game.times.WeekStartTime = game.services.ticks.now();

  if (trial.SubjectRole >= 0 && trial.SubjectRole < kRoleCount) {
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
  const std::vector<int32_t>& orders = chain.Roles[kDistributor].OrderSlots;
  const size_t index = static_cast<size_t>(std::max(trial.OrderDelay - 1, 0));
  f.txtOrder->setText(Text(index < orders.size() ? orders[index] : 0));
  f.cmdOrder_Click();
}

bool CheckTrainingConstraints(frmMain& f) {
  Game& game = f.game;
  const TrainingState& training = game.training;
  if (!training.TrainingMode || training.TrainingInventoryBound == 0 ||
      training.TrainingCostLimit == 0) {
    return false;
  }
  const int16_t p = CurrentPlan(game.plan).SubjectRole;
  // A training trial without a participant has nothing to check.
  if (p < 0 || p >= kRoleCount) return false;

  const RoleState& role = game.chain.Roles[p];
  std::string reason;
  if (role.TotalCost > training.TrainingCostLimit) {
    reason = "Cost ran above " + decimal(training.TrainingCostLimit);
  } else if (std::llabs(role.Inventory) > training.TrainingInventoryBound) {
    reason = "Inventory/Backorder exceeded " + decimal(training.TrainingInventoryBound);
  }

  Prompter& toolkit = game.services.prompter;
  if (!reason.empty()) {
    toolkit.ask("Training failed.  " + reason + ".  Restarting Trial", PromptStyle::Ok);
    game.training.TrainingPassed = false;
    WriteTrialRecord(game);
    f.RestartTrainingTrial();
    return true;
  }
  if (game.chain.CurrentWeek == 1) {
    toolkit.ask("Keep your Inventory/Backorders below " + decimal(training.TrainingInventoryBound) +
                    "\r\n" + "and your Cost below " + decimal(training.TrainingCostLimit),
                PromptStyle::Ok, "Training Constraints");
  }
  return false;
}

void EndTrial(frmMain& f) {
  Game& game = f.game;
  const TrialPlan& trial = CurrentPlan(game.plan);

  f.txtOrder->clear();
  f.txtOrder->setEnabled(false);
  f.cmdOrder->setEnabled(true);
  f.cmdOrder->setText("Next Trial");
  f.cmdOrder->setFocus();

  std::string line;
  const int16_t p = trial.SubjectRole;
  if (p >= 0 && p < kRoleCount) {
    line = "End cost playing as " + f.lblRole[p]->text().toStdString() + ": " +
           f.lblSpent[p]->text().toStdString();
  } else {
    // Summed in 64 bits: four 32-bit totals need not fit in 32.
    int64_t sum = 0;
    for (const RoleState& role : game.chain.Roles) sum += role.TotalCost;
    line = "End total cost for all roles is " + decimal(sum);
  }

  WriteTrialRecord(game);
  game.services.prompter.ask(line + "\r\n" + "Press the Next Trial button to continue",
                             PromptStyle::Ok, "End Trial");
}

void ApplyDisplayConfiguration(frmMain& f, const std::string& name) {
  Game& game = f.game;
  const DisplayConfiguration config = ReadDisplayConfiguration(game.services.db, name);
  if (config.found) {
    const int slotCount = SlotsUsed(CurrentPlan(game.plan));
    for (int j = 0; j < slotCount; ++j) {
      f.fraTruck[4 * j]->setVisible(config.BottlesF);
      f.fraTruck[4 * j + 1]->setVisible(config.TrucksFD);
      f.fraTruck[4 * j + 2]->setVisible(config.TrucksDW);
      f.fraTruck[4 * j + 3]->setVisible(config.TrucksWR);
    }
    f.fraTotalCost->setVisible(config.TotalCost);
  }
  for (int r = 0; r < kRoleCount; ++r) {
    const RoleDisplay& option = config.roles[r];
    if (!option.found) continue;
    const auto show = [](QLabel* value, QLabel* tag, bool visible) {
      value->setVisible(visible);
      tag->setVisible(visible);
    };
    show(f.lblOrder[r], f.tagOrder[r], option.RecentOrder);
    show(f.lblBackOrder[r], f.tagBackOrder[r], option.BackOrder);
    show(f.lblInventory[r], f.tagInventory[r], option.Inventory);
    show(f.lblSatisfied[r], f.tagSatisfied[r], option.Satisfied);
    show(f.lblDemand[r], f.tagDemand[r], option.Demand);
    show(f.lblSpent[r], f.tagCost[r], option.Cost);
  }
}

void LayoutShipments(frmMain& f) {
  const TrialPlan& trial = CurrentPlan(f.game.plan);
  ShipmentGeometry& g = f.geometry;
  const double start = f.linPath[0]->X1;
  g.ShipmentPathLength = toInt16(Left(f.fraRole[0]) - start, "ShipmentPathLength");
  g.AnimationTickBase = toInt16(g.ShipmentPathLength / kTruckStep, "AnimationTickBase");
  const double slot = static_cast<double>(g.ShipmentPathLength) / trial.Delay;
  g.TruckSlotMargin = toInt16((slot - Width(f.fraTruck[0])) / 2 + start, "TruckSlotMargin");

  for (int j = 0; j < kSlots; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = f.fraTruck[r + 4 * j];
      if (j < trial.Delay) {
        SetWidth(truck, kTruckWidth);
        SetLeft(truck, g.TruckSlotMargin + j * slot);
      } else {
        truck->hide();
      }
    }
  }
}

int16_t AnimationTickCount(const frmMain& f) {
  return toInt16(static_cast<double>(f.geometry.AnimationTickBase) / CurrentPlan(f.game.plan).Delay,
                 "AnimationTickCount");
}

void StartShipmentAnimation(frmMain& f) {
  f.AnimationTicksLeft = std::max<int16_t>(AnimationTickCount(f), 1);
  f.tmrAnimation->start();
  for (Shape* load : f.shpLoad) load->show();
}

void FinishShipmentAnimation(frmMain& f) {
  const TrialPlan& trial = CurrentPlan(f.game.plan);
  const ShipmentGeometry& g = f.geometry;
  const int64_t slot =
      static_cast<int64_t>(roundHalfEven(static_cast<double>(g.ShipmentPathLength) / trial.Delay));
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
