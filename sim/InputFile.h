#pragma once

#include <cstddef>
#include <string>

namespace quarn {

// The largest file the plan may name in the Input folder.
inline constexpr size_t kMaxInputBytes = 1 << 20;

// The whole content of the file `name` in `folder` (the application's Input
// folder). `name` must lead to a regular file inside the folder: a relative
// path without "..", no link that leads out of the folder, no device, FIFO or
// folder, at most kMaxInputBytes long. Anything else is refused (QuarnError,
// described as `what` followed by the reason) before a byte of it is read.
// The reasons never quote the file's content.
std::string readInputFile(const std::string& folder, const std::string& name,
                          const std::string& what);

}  // namespace quarn
