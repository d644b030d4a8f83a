#pragma once

#include <string>

namespace quarn {

// The fixed password of every experiment database.
inline constexpr const char* kDatabasePassword = "PqZt_*R*_k";

// How a connection opens a file: read only, an existing file to write, or a
// new file (which must not exist yet).
enum class OpenMode {
  ReadOnly,   // SQLITE_OPEN_READONLY
  ReadWrite,  // an existing file only
  Create,     // a new file; refuses a file that already exists
};

// The PRAGMA key statement for the file at `path`: the raw key with its salt
// when the salt can be read (or, for a new file, chosen), the password
// otherwise (an empty or truncated file, which SQLite then reports in its own
// way). The key is derived from the password once per salt and process:
// every open after the first skips the derivation's ~45 ms.
std::string keyStatement(const std::string& path, OpenMode mode);

}  // namespace quarn
