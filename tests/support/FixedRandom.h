#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/Random.h"

namespace quarn::testing {

// A generator that replays a fixed list of draws (cycling) and remembers the
// tick counts it was reseeded with.
class FixedRandom final : public UniformRandom {
 public:
  explicit FixedRandom(std::vector<double> values = {0.5}) : draws(std::move(values)) {}
  void reseed(uint32_t ticks) override { reseeds.push_back(ticks); }
  double next() override { return draws[drawsTaken++ % draws.size()]; }

  std::vector<double> draws;
  std::vector<uint32_t> reseeds;
  size_t drawsTaken = 0;
};

}  // namespace quarn::testing
