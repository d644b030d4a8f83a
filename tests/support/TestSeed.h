#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

namespace quarn::testing {

// The seed of a test's random choices: the environment variable `name` when
// set (to replay a run), a fresh one otherwise. It is printed and recorded in
// the test's results, so that any run can be replayed.
inline unsigned testSeed(const char* name = "QUARN_TEST_SEED") {
  const char* set = std::getenv(name);
  const unsigned seed =
      set ? static_cast<unsigned>(std::strtoul(set, nullptr, 10)) : std::random_device{}();
  std::cout << name << "=" << seed << std::endl;
  ::testing::Test::RecordProperty(name, std::to_string(seed));
  return seed;
}

}  // namespace quarn::testing
