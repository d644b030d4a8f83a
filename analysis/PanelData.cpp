#include "analysis/PanelData.h"

#include <algorithm>
#include <ostream>
#include <span>
#include <string>

#include "analysis/Measures.h"
#include "base/Csv.h"

namespace quarn {

namespace {

// The figures before the pipeline's slots, or those after them.
std::span<const StageFigure> figures(bool beforePipeline) {
  const std::span<const StageFigure> all(kStageFigures);
  return beforePipeline ? all.first(kFiguresBeforePipeline) : all.subspan(kFiguresBeforePipeline);
}

void writeFigures(std::ostream& out, const RecordedStage& stage, bool participant,
                  bool beforePipeline) {
  for (const StageFigure& figure : figures(beforePipeline)) {
    out << ',';
    if (participant || !figure.participantOnly) out << stage.*figure.member;
  }
}

void writeWeeksHeader(std::ostream& out) {
  out << "Subject,Setting,Trial,Week,Stage,Player,Participant";
  for (const StageFigure& figure : figures(true)) out << ',' << figure.panelColumn;
  for (size_t slot = 1; slot <= kDelaySlotColumns; ++slot) out << ",Delay" << slot;
  for (const StageFigure& figure : figures(false)) out << ',' << figure.panelColumn;
  out << '\n';
}

// The rows of weeks.csv's table in the codebook that explain the figures.
std::string figureRows(bool beforePipeline) {
  std::string rows;
  for (const StageFigure& figure : figures(beforePipeline)) {
    rows += std::string("| ") + figure.panelColumn + " | " + figure.unit + " | " + figure.meaning +
            " |\n";
  }
  return rows;
}

}  // namespace

void writeWeeksCsv(std::ostream& out, const std::vector<RecordedTrial>& trials) {
  writeWeeksHeader(out);
  for (const RecordedTrial& trial : trials) {
    const std::string head =
        csvField(trial.subject) + "," + csvField(trial.setting) + "," + std::to_string(trial.trial);
    for (const RecordedWeek& week : trial.weeks) {
      for (size_t r = 0; r < kRoleCount; ++r) {
        const RecordedStage& s = week.stages[r];
        const bool participant = static_cast<int>(r) == trial.participantRole;
        out << head << ',' << week.week << ',' << roleName(static_cast<int>(r)) << ','
            << csvField(trial.players[r]) << ',' << (participant ? 1 : 0);
        writeFigures(out, s, participant, true);
        for (size_t slot = 0; slot < kDelaySlotColumns; ++slot) {
          out << ',';
          if (slot < s.delaySlots.size()) out << s.delaySlots[slot];
        }
        writeFigures(out, s, participant, false);
        out << '\n';
      }
    }
  }
}

void writeCodebook(std::ostream& out) {
  out << R"(# Codebook

Every file is CSV (comma-separated, quoted as RFC 4180 quotes, UTF-8, lines
ended by LF) with a header row. An empty field means "not defined" (never 0).
Costs are in the game's cost units; quantities in units of goods; weeks count
from 1. Stages: Factory, Distributor, Wholesaler, Retailer (upstream to
downstream). Only experiment trials are included, never training.

## measures.csv: one row per participant, setting, trial and stage

| column | unit | meaning |
|---|---|---|
| Subject | text | the participant's ID (P01, P02 ... when anonymised) |
| Setting | text | the experiment setting |
| Trial | number | the experiment trial, from 1 |
| Stage | text | the stage of this row |
| Player | text | who played the stage: Subject (the participant) or the simulated player's name |
| Participant | 0/1 | 1 on the participant's stage |
| Weeks | weeks | weeks recorded |
| DecisionWeeks | weeks | weeks whose orders reach the chain (weeks 1 to PlannedWeeks - 2 that are recorded) |
| TotalCost | cost | the stage's cost over the recorded weeks |
| MeanWeeklyCost | cost/week | TotalCost / Weeks |
| MeanOrder | units/week | mean order over the decision weeks |
| SdOrder | units | standard deviation of the orders over the decision weeks (divided by n) |
| AmplificationRatio | ratio | variance of the orders / variance of the customer demand over the decision weeks; empty when the demand does not vary |
| PeakBacklog | units | the largest backorder of any recorded week |
| WeeksInBacklog | weeks | recorded weeks ending with a backorder |
| Delay | weeks | weeks a shipment travels |
| PlannedWeeks | weeks | the weeks the trial was planned to run |
| DemandSource | text | the customer demand: a demand file's name, or "step A to B in week W" |
| Predicter | text | the demand predicter shown, empty for none |
| DisplayOption | text | the display configuration of the trial |
| FactoryPlayer, DistributorPlayer, WholesalerPlayer, RetailerPlayer | text | who played each stage |
| Complete | 0/1 | 1 when every planned decision week is recorded; 0 for a trial left early or missing a week |
| ChainCost | cost | the four stages' TotalCost together |
| Team | text | the team's name in a team trial, else empty; each member's records have rows of their own, with Participant 1 on the member's stage and the other members' IDs as Player of their stages |
| Member | number | the member number (1 to 4) in the team, empty outside a team trial |

## weeks.csv: one row per participant, setting, trial, week and stage

| column | unit | meaning |
|---|---|---|
| Subject, Setting, Trial, Stage, Player, Participant | | as in measures.csv |
| Week | week | the week, from 1 |
)" << figureRows(true)
      << "| Delay1, Delay2, Delay3 | units | units on the way to the stage, by weeks left to "
         "travel; empty beyond the trial's delay |\n"
      << figureRows(false) << R"(
## fits.csv: the participant's fitted decision rule, one row per trial

The rule: expected demand E_t = Theta x D_t + (1 - Theta) x E_(t-1); order
O_t = max(0, E_t + Alpha x (DesiredStock - stock_t - Beta x supply line_t)).

| column | unit | meaning |
|---|---|---|
| Subject, Setting, Trial, Stage | | as in measures.csv; Stage is the participant's |
| WeeksUsed | weeks | decision weeks fitted |
| Theta | 0..1 | weight of the newest demand in the expected demand |
| Alpha | 0..1 | share of the stock gap ordered each week |
| Beta | 0..1 | weight of the supply line in the stock gap |
| DesiredStock | units | S', the stock aimed at |
| RSquared | ratio | 1 - squared error / total sum of squares of the orders; empty when the orders never change |
| RMSE | units | root mean square error of the fitted orders |
| Identified | 0/1 | 1 when the standard errors hold: Alpha is at least 0.01, DesiredStock below its ceiling (ten times the largest figures of the weeks), the Jacobian has full rank, and every estimate's 95 % interval (1.96 standard errors either side) lies within its bounds (Theta, Alpha, Beta in 0..1, DesiredStock from 0 to its ceiling); else 0. With Alpha near 0 or DesiredStock at its ceiling, Alpha, Beta and DesiredStock are not determined at all |
| ThetaSe, AlphaSe, BetaSe, DesiredStockSe | as the estimate | standard errors from the Jacobian at the optimum; empty when Identified is 0 |

## summary.csv: one row per setting, trial, participant's stage (and grouping column)

Only complete trials count. Any column named with --by follows Stage.

| column | unit | meaning |
|---|---|---|
| Setting, Trial, Stage | | the treatment; Stage is the stage the participants played |
| N | participants | trials summarised |
| CostMean, CostMedian, CostSd | cost | mean, median and sample standard deviation (n - 1) of the participant's stage's cost |
| CostLow, CostHigh | cost | the 95 % confidence interval of the mean cost |
| AmplificationN | participants | trials whose customer demand varied |
| AmplificationMean, AmplificationMedian, AmplificationSd, AmplificationLow, AmplificationHigh | ratio | the same of the participant's stage's amplification ratio |
| Interval | text | how the interval was computed: "t" (Student's t, n - 1 degrees of freedom) or "bootstrap N seed S" (percentile bootstrap of the mean) |
)";
}

}  // namespace quarn
