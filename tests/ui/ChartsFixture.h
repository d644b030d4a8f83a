#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include "analysis/RecordedTrial.h"
#include "tests/support/Trials.h"

namespace quarn::testing {

class ChartsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "charts_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
};
inline const auto* const kChartsEnvironment =
    ::testing::AddGlobalTestEnvironment(new ChartsEnvironment);

// A ten-week trial, the participant as Wholesaler, whose figures tell the
// stage, the week and `offset` apart: stage r orders 10 r + week + offset,
// holds 5 - week units (a backlog from week 6), receives 2 + week and ends
// with a cost of 100 r + offset.
inline RecordedTrial sampleTrial(int16_t number, int offset, int16_t participant = kWholesaler) {
  RecordedTrial t;
  t.subject = "S1";
  t.setting = "Lab";
  t.trial = number;
  t.participantRole = participant;
  t.delay = 2;
  t.plannedWeeks = 10;
  t.players = {"Sterman", "Sterman", participant == kWholesaler ? "Subject" : "Sterman", "Sterman"};
  for (int16_t w = 1; w <= 10; ++w) {
    RecordedWeek week;
    week.week = w;
    for (int r = 0; r < kRoleCount; ++r) {
      RecordedStage& s = week.stages[static_cast<size_t>(r)];
      s.order = 10 * r + w + offset;
      s.inventory = 5 - w;
      s.demand = 2 + w;
      s.delaySlots = {4, 4};
      s.totalCost = 100 * r + offset;
    }
    t.weeks.push_back(week);
  }
  return t;
}

}  // namespace quarn::testing
