#include "analysis/Measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

// A trial of `weeks.size()` recorded weeks in which only the customer demand
// (the Retailer's incoming order) and the Wholesaler's figures are set.
struct WholesalerWeek {
  int32_t customerDemand;
  int32_t order;
  int32_t inventory;
  int32_t totalCost;
};

RecordedTrial wholesalerTrial(int16_t plannedWeeks, const std::vector<WholesalerWeek>& weeks) {
  RecordedTrial trial;
  trial.subject = "S1";
  trial.setting = "Demo";
  trial.trial = 2;
  trial.participantRole = kWholesaler;
  trial.plannedWeeks = plannedWeeks;
  trial.players = {"Sterman", "Follower", "Subject", "Sterman"};
  int16_t number = 0;
  for (const WholesalerWeek& w : weeks) {
    RecordedWeek week;
    week.week = ++number;
    week.stages[kRetailer].demand = w.customerDemand;
    week.stages[kWholesaler].order = w.order;
    week.stages[kWholesaler].inventory = w.inventory;
    week.stages[kWholesaler].totalCost = w.totalCost;
    trial.weeks.push_back(week);
  }
  return trial;
}

// Weeks 1 to 4: demand 4 4 8 8 (mean 6, variance 4), orders 4 6 10 12 (mean
// 8, variance (16 + 4 + 4 + 16) / 4 = 10). Weeks 5 and 6 are the last two of
// the planned six; their orders never reach the chain.
RecordedTrial handComputedTrial() {
  return wholesalerTrial(6, {{4, 4, 12, 6},
                             {4, 6, 3, 8},
                             {8, 10, -2, 10},
                             {8, 12, -7, 17},
                             {8, 100, -1, 18},
                             {8, 100, 0, 18}});
}

TEST(Measures, MeasuresStageAgainstHandComputedValues) {
  const TrialMeasures m = measureTrial(handComputedTrial());
  const StageMeasures& w = m.stages[kWholesaler];
  EXPECT_EQ(m.recordedWeeks, 6u);
  EXPECT_EQ(m.decisionWeeks, 4u);
  EXPECT_EQ(w.totalCost, 18);
  EXPECT_DOUBLE_EQ(w.meanWeeklyCost, 3.0);
  EXPECT_DOUBLE_EQ(*w.meanOrder, 8.0);
  EXPECT_DOUBLE_EQ(*w.sdOrder, std::sqrt(10.0));
  EXPECT_DOUBLE_EQ(*w.amplification, 2.5);
  EXPECT_EQ(w.peakBacklog, 7);
  EXPECT_EQ(w.weeksInBacklog, 3);
}

TEST(Measures, AmplificationRatioIsVarianceOfOrdersOverVarianceOfDemand) {
  struct Case {
    std::vector<double> orders, demand;
    std::optional<double> ratio;
  };
  const std::vector<Case> cases = {
      {{4, 4, 8, 8}, {4, 4, 8, 8}, 1.0},             // orders that pass the demand on
      {{7, 7, 7, 7}, {4, 4, 8, 8}, 0.0},             // steady orders
      {{0, 20, 0, 20}, {5, 6, 5, 6}, 400.0},         // (100) / (0.25)
      {{4, 6, 10, 12}, {5, 5, 5, 5}, std::nullopt},  // the demand never varies
      {{}, {}, std::nullopt},                        // no weeks
  };
  for (const Case& c : cases) {
    const std::optional<double> ratio = amplificationRatio(c.orders, c.demand);
    ASSERT_EQ(ratio.has_value(), c.ratio.has_value()) << c.orders.size();
    if (ratio) {
      EXPECT_DOUBLE_EQ(*ratio, *c.ratio);
    }
  }
}

TEST(Measures, CountsEveryRecordedWeekOfATrialLeftEarly) {
  // Planned for 20 weeks, left after 3: all three orders reached the chain.
  const TrialMeasures m =
      measureTrial(wholesalerTrial(20, {{4, 4, 12, 6}, {4, 6, 3, 8}, {8, 10, -2, 10}}));
  EXPECT_EQ(m.decisionWeeks, 3u);
  EXPECT_DOUBLE_EQ(*m.stages[kWholesaler].meanOrder, 20.0 / 3.0);
  EXPECT_DOUBLE_EQ(m.stages[kWholesaler].meanWeeklyCost, 10.0 / 3.0);
}

TEST(Measures, LeavesOrderMeasuresEmptyWithoutDecisionWeeks) {
  const TrialMeasures m = measureTrial(wholesalerTrial(2, {{4, 4, 12, 6}, {4, 6, -3, 8}}));
  const StageMeasures& w = m.stages[kWholesaler];
  EXPECT_FALSE(w.meanOrder || w.sdOrder || w.amplification);
  EXPECT_EQ(w.totalCost, 8);
  EXPECT_EQ(w.peakBacklog, 3);
}

TEST(Measures, WritesOneTidyRowPerTrialAndStageWithItsTreatment) {
  RecordedTrial trial = handComputedTrial();
  trial.subject = "Ann, \"B\"";
  trial.delay = 2;
  trial.demandSource = "step 4 to 8 in week 3";
  trial.predicter = "Mean";
  trial.displayOption = "Full";
  std::ostringstream csv;
  writeMeasuresCsv(csv, {trial});
  EXPECT_EQ(csv.str().find('\r'), std::string::npos);  // LF line ends
  std::istringstream lines(csv.str());
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0],
            "Subject,Setting,Trial,Stage,Player,Participant,Weeks,DecisionWeeks,TotalCost,"
            "MeanWeeklyCost,MeanOrder,SdOrder,AmplificationRatio,PeakBacklog,WeeksInBacklog,"
            "Delay,PlannedWeeks,DemandSource,Predicter,DisplayOption,FactoryPlayer,"
            "DistributorPlayer,WholesalerPlayer,RetailerPlayer,Complete,ChainCost,Team,Member");
  // One participant's trial: no team, no member.
  const std::string treatment =
      ",2,6,step 4 to 8 in week 3,Mean,Full,Sterman,Follower,Subject,Sterman,1,18,,";
  EXPECT_EQ(rows[3],
            "\"Ann, \"\"B\"\"\",Demo,2,Wholesaler,Subject,1,6,4,18,3,8,3.1622776601683795,2.5,7,3" +
                treatment);
  // The Factory never ordered and the demand varied: a ratio of 0.
  EXPECT_EQ(rows[1], "\"Ann, \"\"B\"\"\",Demo,2,Factory,Sterman,0,6,4,0,0,0,0,0,0,0" + treatment);
}

TEST(Measures, MarksATrialLeftEarlyAsIncomplete) {
  std::ostringstream csv;
  writeMeasuresCsv(csv, {wholesalerTrial(20, {{4, 4, 12, 6}, {4, 6, 3, 8}, {8, 10, -2, 10}})});
  std::istringstream lines(csv.str());
  std::string header, row;
  std::getline(lines, header);
  std::getline(lines, row);
  EXPECT_EQ(row.substr(row.rfind(",0,")), ",0,10,,");  // Complete 0, the chain's cost 10
}

TEST(Measures, NamesTheTeamAndTheMemberOnAMembersRows) {
  RecordedTrial trial = handComputedTrial();
  trial.subject = "P12";
  trial.team = "Red, blue";
  trial.member = 2;
  trial.players[kWholesaler] = "P12";
  trial.players[kFactory] = "P07";
  trial.seats = {{1, kFactory, "P07", "", 0}, {2, kWholesaler, "P12", "", 0}};
  std::ostringstream csv;
  writeMeasuresCsv(csv, {trial});
  std::istringstream lines(csv.str());
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 5u);
  // The member's own stage is the participant's; the other member's is named.
  EXPECT_EQ(rows[3].substr(0, 28), "P12,Demo,2,Wholesaler,P12,1,");
  EXPECT_EQ(rows[1].substr(0, 24), "P12,Demo,2,Factory,P07,0");
  for (size_t r = 1; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].substr(rows[r].size() - 14), ",\"Red, blue\",2") << rows[r];
  }
}

}  // namespace
}  // namespace quarn::testing
