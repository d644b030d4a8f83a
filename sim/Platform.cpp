#include "sim/Platform.h"

#include <chrono>

namespace quarn {

uint32_t SteadyTickCounter::Now() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));  // wraps at 32 bits
}

StandardUniformRandom::StandardUniformRandom() : engine_(std::random_device{}()) {}

void StandardUniformRandom::Reseed(uint32_t ticks) {
  std::seed_seq seq{ticks, static_cast<uint32_t>(draws_), static_cast<uint32_t>(draws_ >> 32)};
  engine_.seed(seq);
}

double StandardUniformRandom::Next() {
  ++draws_;
  return static_cast<double>(engine_() >> 11) * 0x1.0p-53;  // 53 random bits, never 1.0
}

}  // namespace quarn
