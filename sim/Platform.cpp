#include "sim/Platform.h"

#include <chrono>
#include <random>

namespace quarn {

uint32_t SteadyTickCounter::Now() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));  // wraps at 32 bits
}

namespace {

uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

StandardUniformRandom::StandardUniformRandom() : state_(std::random_device{}()) {}

StandardUniformRandom::StandardUniformRandom(uint32_t seed) : state_(seed), fixedSeed_(seed) {}

void StandardUniformRandom::Reseed(uint32_t ticks) {
  uint64_t mix = (static_cast<uint64_t>(fixedSeed_.value_or(ticks)) << 32) ^ draws_;
  state_ = SplitMix64(mix);
}

double StandardUniformRandom::Next() {
  ++draws_;
  return static_cast<double>(SplitMix64(state_) >> 11) * 0x1.0p-53;  // 53 bits, never 1.0
}

}  // namespace quarn
