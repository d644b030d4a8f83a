#pragma once

namespace quarn {

// The product's version, from CMake's project(VERSION): --version of both
// programs, the splash window and the package show it.
const char* quarnVersion();

// Where the package installs the user guides; the help of both programs,
// and so their man pages, names it.
inline constexpr const char* kGuideFolder = "/usr/share/doc/quarngame";

}  // namespace quarn
