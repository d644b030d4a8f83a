#pragma once

// Per-iteration durations of a benchmark, reported as its median and 99th
// percentile (Google Benchmark itself only reports means).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace quarn::bench {

class Durations {
 public:
  void Add(std::chrono::steady_clock::duration d) {
    ms_.push_back(std::chrono::duration<double, std::milli>(d).count());
  }

  // The q-quantile (0..1) by the nearest rank, in milliseconds.
  double Quantile(double q) const {
    if (ms_.empty()) return 0;
    std::vector<double> sorted = ms_;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
  }

  // Sets the counters p50_ms and p99_ms.
  void Report(benchmark::State& state) const {
    state.counters["p50_ms"] = Quantile(0.50);
    state.counters["p99_ms"] = Quantile(0.99);
    state.counters["max_ms"] = Quantile(1.0);
  }

 private:
  std::vector<double> ms_;
};

// Times `work`, feeds the duration to Google Benchmark's manual time and to
// `into`.
template <class Work>
void TimeIteration(benchmark::State& state, Durations& into, Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  into.Add(elapsed);
  state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
}

// Runs the benchmarks of a window benchmark: the real widgets, offscreen.
inline void RunWindowBenchmarks(int& argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}

}  // namespace quarn::bench
