// A week's write (open datRole, four rows, close) and a one-row read (open a
// SELECT, read a field, close), each against a real encrypted file. Reported
// as medians over repetitions.
#include <benchmark/benchmark.h>

#include "tests/support/TestDatabase.h"

namespace {

using quarn::FieldValue;

void WeekWrite(benchmark::State& state) {
  quarn::testing::TestDatabase db;
  int64_t week = 0;
  for (auto _ : state) {
    ++week;
    auto rs = db.engine->Open(db.Path(), "datRole", false);
    for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
      rs->AddNew();
      rs->Set("Subject", std::string("S1"));
      rs->Set("Setting", std::string("Demo"));
      rs->Set("Trial", int64_t{1});
      rs->Set("Week", week);
      rs->Set("Role", std::string(role));
      for (const char* column :
           {"Order", "DeltaInventory", "Inventory", "Delay1", "Delay2", "Demand", "Satisfied",
            "WeeklyCost", "TotalCost", "TransactionTime"}) {
        rs->Set(column, int64_t{4});
      }
      rs->Set("Date", std::string("2024-01-01"));
      rs->Set("TimeOfDay", std::string("12:00:00"));
      rs->Update();
    }
    rs->Close();
  }
}
BENCHMARK(WeekWrite)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void OneRowRead(benchmark::State& state) {
  quarn::testing::TestDatabase db;
  db.Insert("datUser", {{"Subject", "S1"}, {"Setting", "Demo"}, {"Age", 21}});
  for (int i = 0; i < 200; ++i) {
    std::string subject = std::to_string(i);
    subject.insert(0, 1, 'X');
    db.Insert("datUser", {{"Subject", subject}});
  }
  for (auto _ : state) {
    auto rs =
        db.engine->Open(db.Path(), "SELECT * FROM [datUser] WHERE [datUser.Subject]='S1';", true);
    benchmark::DoNotOptimize(rs->Get("Age").AsInt16());
    rs->Close();
  }
}
BENCHMARK(OneRowRead)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
