#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "sim/Platform.h"

namespace quarn::testing {

// A generator that replays a fixed list of draws (cycling) and remembers the
// tick counts it was reseeded with.
class FixedRandom final : public UniformRandom {
 public:
  explicit FixedRandom(std::vector<double> values = {0.5}) : draws(std::move(values)) {}
  void Reseed(uint32_t ticks) override { reseeds.push_back(ticks); }
  double Next() override { return draws[next++ % draws.size()]; }

  std::vector<double> draws;
  std::vector<uint32_t> reseeds;
  size_t next = 0;  // how many draws were taken
};

}  // namespace quarn::testing
