#include "base/Random.h"

#include <random>

namespace quarn {

namespace {

uint64_t splitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

StandardUniformRandom::StandardUniformRandom() : m_state(std::random_device{}()) {}

StandardUniformRandom::StandardUniformRandom(uint32_t seed) : m_state(seed), m_fixedSeed(seed) {}

void StandardUniformRandom::reseed(uint32_t ticks) {
  uint64_t mix = (static_cast<uint64_t>(m_fixedSeed.value_or(ticks)) << 32) ^ m_draws;
  m_state = splitMix64(mix);
}

double StandardUniformRandom::next() {
  ++m_draws;
  return static_cast<double>(splitMix64(m_state) >> 11) * 0x1.0p-53;  // 53 bits, never 1.0
}

}  // namespace quarn
