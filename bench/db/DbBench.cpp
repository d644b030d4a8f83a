// A week's write (open datRole, four rows, commit) and a one-row read (the
// participant lookup of the login), each against a real encrypted file. Reported
// as medians over repetitions.
#include <benchmark/benchmark.h>

#include "tests/support/TestDatabase.h"

namespace {

// With argument 1 the participant's workstation mark is refreshed before
// each week, as the game does (its check, and its update stored with the
// week's rows).
void WeekWrite(benchmark::State& state) {
  quarn::testing::TestDatabase db;
  const bool marked = state.range(0) == 1;
  quarn::PlayingMark mine{"S1", "Demo", quarn::thisWorkstation(), 1, 1, {}, "secret-mine"};
  if (marked) {
    db.stores.participants().markPlaying(mine,
                                         [](const quarn::PlayingMark&, auto) { return false; });
  }
  int16_t week = 0;
  for (auto _ : state) {
    ++week;
    if (marked) {
      ++mine.lastWeek;
      if (db.stores.participants().touchPlaying(mine)) state.SkipWithError("the mark is gone");
    }
    auto writer = db.stores.results().openWeekRows();
    for (int r = 0; r < quarn::kRoleCount; ++r) {
      quarn::WeekRow row;
      row.subject = "S1";
      row.setting = "Demo";
      row.trial = 1;
      row.week = week;
      row.role = quarn::roleName(r);
      row.stage.order = row.stage.deltaInventory = row.stage.inventory = row.stage.demand =
          row.stage.satisfied = 4;
      row.stage.weeklyCost = row.stage.totalCost = row.stage.decisionTime = 4;
      row.stage.delaySlots = {4, 4};
      row.date = "2024-01-01";
      row.timeOfDay = "12:00:00";
      writer->insert(row);
    }
    writer->commit();
  }
}
BENCHMARK(WeekWrite)
    ->ArgName("mark")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void OneRowRead(benchmark::State& state) {
  quarn::testing::TestDatabase db;
  db.insert("datUser", {{"Subject", "S1"}, {"Setting", "Demo"}, {"Age", 21}});
  for (int i = 0; i < 200; ++i) {
    std::string subject = std::to_string(i);
    subject.insert(0, 1, 'X');
    db.insert("datUser", {{"Subject", subject}});
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(db.stores.participants().findParticipant("S1"));
  }
}
BENCHMARK(OneRowRead)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
