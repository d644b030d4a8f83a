#pragma once

namespace quarn {

// The product's version, from CMake's project(VERSION): --version of both
// programs, the splash window and the package show it.
const char* quarnVersion();

}  // namespace quarn
