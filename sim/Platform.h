#pragma once

#include <cstdint>
#include <optional>

namespace quarn {

// The millisecond tick counter: elapsed milliseconds, wrapping at 32 bits.
class TickCounter {
 public:
  virtual ~TickCounter() = default;
  virtual uint32_t Now() = 0;
};

// The uniform random generator on [0, 1), reseedable.
class UniformRandom {
 public:
  virtual ~UniformRandom() = default;
  // Reseeds from a tick count. Implementations mix in a draw counter so that
  // two reseeds within the same millisecond still give different draws.
  virtual void Reseed(uint32_t ticks) = 0;
  virtual double Next() = 0;
};

class SteadyTickCounter final : public TickCounter {
 public:
  uint32_t Now() override;
};

// SplitMix64: a small, well-tested generator whose state is one word, so
// reseeding before every noisy draw costs nothing. The seed mixes the tick
// count with the number of draws taken, so two reseeds within one millisecond
// still give different draws.
class StandardUniformRandom final : public UniformRandom {
 public:
  // Seeded from the system; every reseed takes the tick count.
  StandardUniformRandom();
  // Repeatable: reseeds take `seed` in place of the tick count, so a run with
  // the same seed draws the same numbers (a pilot played again, for one).
  explicit StandardUniformRandom(uint32_t seed);
  void Reseed(uint32_t ticks) override;
  double Next() override;

 private:
  uint64_t state_;
  uint64_t draws_ = 0;
  std::optional<uint32_t> fixedSeed_;
};

// Test double: a clock that only moves when told to. The generator that
// replays fixed draws, FixedRandom, is in tests/support/FixedRandom.h.
class ManualTickCounter final : public TickCounter {
 public:
  uint32_t Now() override { return ticks; }
  uint32_t ticks = 0;
};

}  // namespace quarn
