#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quarn {

// The uniform random generator on [0, 1), reseedable.
class UniformRandom {
 public:
  virtual ~UniformRandom() = default;
  // Reseeds from a tick count. Implementations mix in a draw counter so that
  // two reseeds within the same millisecond still give different draws.
  virtual void reseed(uint32_t ticks) = 0;
  virtual double next() = 0;
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
  void reseed(uint32_t ticks) override;
  double next() override;

 private:
  uint64_t m_state;
  uint64_t m_draws = 0;
  std::optional<uint32_t> m_fixedSeed;
};

// `bytes` bytes from the operating system's random source, as lowercase hex
// digits: a secret that another program cannot guess. Raises QuarnError when
// the source gives nothing.
std::string systemSecret(size_t bytes = 16);

}  // namespace quarn
