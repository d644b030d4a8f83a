#include "analysis/PanelData.h"

#include <gtest/gtest.h>

#include <sstream>

#include "analysis/DecisionRuleFit.h"
#include "analysis/Measures.h"
#include "analysis/TreatmentSummary.h"
#include "tests/support/Trials.h"

namespace quarn::testing {
namespace {

RecordedTrial twoWeeks() {
  RecordedTrial t;
  t.subject = "S1";
  t.setting = "Lab";
  t.trial = 3;
  t.participantRole = kDistributor;
  t.delay = 2;
  t.plannedWeeks = 2;
  t.players = {"Sterman", "Subject", "Sterman", "Follower"};
  for (int16_t w = 1; w <= 2; ++w) {
    RecordedWeek week;
    week.week = w;
    for (int r = 0; r < kRoleCount; ++r) {
      RecordedStage& s = week.stages[static_cast<size_t>(r)];
      s.order = 10 * r + w;
      s.deltaInventory = -w;
      s.inventory = 12 - 7 * w;
      s.delaySlots = {4, 5};
      s.demand = 6;
      s.satisfied = 5;
      s.weeklyCost = 3;
      s.totalCost = 3 * w;
      s.decisionTime = 1500 * w;
    }
    t.weeks.push_back(week);
  }
  return t;
}

std::vector<std::string> lines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

TEST(PanelData, WritesEveryFigureOfEachWeekAndStage) {
  std::ostringstream csv;
  writeWeeksCsv(csv, {twoWeeks()});
  EXPECT_EQ(csv.str().find('\r'), std::string::npos);
  const std::vector<std::string> rows = lines(csv.str());
  ASSERT_EQ(rows.size(), 1u + 2 * 4);
  EXPECT_EQ(rows[0],
            "Subject,Setting,Trial,Week,Stage,Player,Participant,Order,DeltaInventory,Inventory,"
            "Delay1,Delay2,Delay3,Demand,Satisfied,WeeklyCost,TotalCost,DecisionTime");
  // The decision time belongs to the participant's stage only.
  EXPECT_EQ(rows[6], "S1,Lab,3,2,Distributor,Subject,1,12,-2,-2,4,5,,6,5,3,6,3000");
  EXPECT_EQ(rows[5], "S1,Lab,3,2,Factory,Sterman,0,2,-2,-2,4,5,,6,5,3,6,");
}

// Every column of every file the codebook covers is explained in it.
TEST(PanelData, CodebookNamesEveryColumn) {
  std::ostringstream book;
  writeCodebook(book);
  std::ostringstream measures, weeks, fits, summary;
  writeMeasuresCsv(measures, {});
  writeWeeksCsv(weeks, {});
  writeFitsCsv(fits, {});
  writeSummaryCsv(summary, {}, {});
  for (const std::string& csv : {measures.str(), weeks.str(), fits.str(), summary.str()}) {
    std::istringstream header(lines(csv).at(0));
    for (std::string column; std::getline(header, column, ',');) {
      EXPECT_NE(book.str().find(column), std::string::npos) << column;
    }
  }
  EXPECT_EQ(book.str().find('\r'), std::string::npos);
}

}  // namespace
}  // namespace quarn::testing
