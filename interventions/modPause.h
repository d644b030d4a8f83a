#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarn {

struct PauseEntry {
  int16_t Trial = 0;
  std::string Password;
};

// The setting's scheduled pauses. NextPause only ever grows: nothing resets
// it, not even a reload of the plan.
struct PauseState {
  std::vector<PauseEntry> PauseList;
  int16_t PauseCount = 0;
  int16_t NextPause = 0;
};

}  // namespace quarn
