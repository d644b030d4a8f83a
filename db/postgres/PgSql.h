#pragma once

#include <string>

namespace quarn {

// The stores' SQL as the server takes it: each `?` parameter becomes $1, $2,
// ... in order. Question marks inside text literals and quoted names stay.
std::string numberedParameters(const std::string& sql);

}  // namespace quarn
