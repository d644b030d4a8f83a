#include "base/Random.h"

#include <sys/random.h>

#include <cerrno>
#include <random>
#include <vector>

#include "base/Errors.h"

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

std::string systemSecret(size_t bytes) {
  std::vector<unsigned char> drawn(bytes);
  size_t filled = 0;
  while (filled < bytes) {
    const ssize_t got = ::getrandom(drawn.data() + filled, bytes - filled, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw QuarnError(kErrInternal, "The system's random source gave nothing");
    filled += static_cast<size_t>(got);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string secret;
  for (const unsigned char byte : drawn) {
    secret += kDigits[byte >> 4];
    secret += kDigits[byte & 0xF];
  }
  return secret;
}

}  // namespace quarn
