// Times the plan check of a large setting: 2,000 tblBlock rows of 52 weeks,
// Sterman players around the participant at the Retailer, read from memory
// (the database's part is timed by bench_db). `/0` has no cost rates: any
// order is safe and each row is followed once. `/1` has the usual rates:
// 2,000 trials of a participant ordering 9999 every week could run the
// game's cost sum over, so every row's largest safe order is searched by
// bisection, and searched again for its share of the sum.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plan/SettingCheck.h"

namespace quarn {
namespace {

Row rowOf(const std::vector<std::pair<std::string, CellValue>>& cells) {
  std::vector<std::string> names;
  std::vector<CellValue> values;
  for (const auto& [name, value] : cells) {
    names.push_back(name);
    values.push_back(value);
  }
  return Row(std::make_shared<const ColumnNames>(names), values);
}

class MemoryPlan final : public PlanTables {
 public:
  explicit MemoryPlan(double costRate) {
    for (int64_t index = 1; index <= 2000; ++index) {
      m_blocks.push_back(rowOf({{"Setting", std::string("Large")},
                                {"RandomGroup", int64_t{0}},
                                {"Index", index},
                                {"Runs", int64_t{1}},
                                {"Delay", int64_t{1 + index % 3}},
                                {"numweeks", int64_t{52}},
                                {"Input", CellValue{}},
                                {"InitialDemand", int64_t{4}},
                                {"JumpWeek", int64_t{5}},
                                {"SecondDemand", int64_t{8}},
                                {"Predicter", CellValue{}},
                                {"DisplayOption", std::string("Standard")},
                                {"Factory", std::string("Bot")},
                                {"Distributor", std::string("Bot")},
                                {"Wholesaler", std::string("Bot")},
                                {"Retailer", std::string("Subject")},
                                {"FirstOrder", int64_t{4}},
                                {"MinOrder", int64_t{0}},
                                {"MaxOrder", int64_t{60}},
                                {"MaxNoise", int64_t{2}},
                                {"InitInventory", int64_t{12}},
                                {"InitDelayAmount", int64_t{4}},
                                {"CostInventory", costRate / 2},
                                {"CostBackOrder", costRate},
                                {"CostTransit", costRate / 2},
                                {"DatabaseOutput", int64_t{1}},
                                {"EnableProfit", int64_t{0}},
                                {"PricePerUnit", int64_t{0}}}));
    }
  }
  Rows players() override { return {}; }
  Rows blockRows(const std::string&) override { return m_blocks; }
  Rows trainingRows(const std::string&) override { return {}; }
  Rows pauseRows(const std::string&) override { return {}; }
  std::optional<Row> predicter(const std::string&) override { return std::nullopt; }
  std::optional<Row> displayConfiguration(const std::string&) override {
    return rowOf({{"Configuration", std::string("Standard")},
                  {"BottlesF", int64_t{1}},
                  {"TrucksFD", int64_t{1}},
                  {"TrucksDW", int64_t{1}},
                  {"TrucksWR", int64_t{1}},
                  {"TotalCost", int64_t{1}},
                  {"Factory", std::string("Everything")},
                  {"Distributor", std::string("Everything")},
                  {"Wholesaler", std::string("Everything")},
                  {"Retailer", std::string("Everything")}});
  }
  std::optional<Row> displayOption(const std::string&) override {
    return rowOf({{"Option", std::string("Everything")},
                  {"RecentOrder", int64_t{1}},
                  {"BackOrder", int64_t{1}},
                  {"Inventory", int64_t{1}},
                  {"Satisfied", int64_t{1}},
                  {"Demand", int64_t{1}},
                  {"Cost", int64_t{1}}});
  }

 private:
  Rows m_blocks;
};

void BM_CheckLargeSetting(benchmark::State& state) {
  MemoryPlan plan(state.range(0) == 0 ? 0.0 : 1.0);
  const std::vector<PlayerStrategy> players = {
      {.name = "Bot", .usesSterman = true, .alpha = 0.26, .beta = 0.34, .theta = 0.36}};
  std::vector<PlanFault> found;
  for (auto _ : state) {
    found = checkSetting(plan, players, "Large", ".");
    benchmark::DoNotOptimize(found.data());
  }
  const auto warnings =
      std::count_if(found.begin(), found.end(), [](const PlanFault& f) { return f.warning; });
  state.counters["warnings"] = static_cast<double>(warnings);
  state.counters["faults"] = static_cast<double>(found.size()) - static_cast<double>(warnings);
}
BENCHMARK(BM_CheckLargeSetting)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quarn

BENCHMARK_MAIN();
